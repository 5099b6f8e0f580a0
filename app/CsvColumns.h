#pragma once

#include <array>
#include <cstddef>

#include "contact/ContactFields.h"

namespace orvex {

// The texts that name the comma-delimited file's columns, made from the contact's fields when
// the program is compiled: the header line of the export, the column list of the import's query
// and the columns of the import's "Schema.ini" section. Each writer puts its text at out (when
// out is not null) and returns its length; Make turns one into a zero-ended constant.
class CCsvColumns {
  public:
    // "CONTACT_ID,ENTRY_INDEX,...,NOTE"
    static constexpr std::size_t Header(char* out) {
        SWriter text{out};
        PutNames(text);
        return text.length;
    }
    // "select CONTACT_ID,...,NOTE from "
    static constexpr std::size_t SelectAll(char* out) {
        SWriter text{out};
        text.Put("select ");
        PutNames(text);
        text.Put(" from ");
        return text.length;
    }
    // The lines of the section after its name: the format, then a column a line by position
    // ("Col1=CONTACT_ID Integer", "Col4=FIRST_NAME Char Width 15").
    static constexpr std::size_t Schema(char* out) {
        SWriter text{out};
        text.Put("Format=CSVDelimited\r\nColNameHeader=True\r\nMaxScanRows=0\r\n");
        for (std::size_t i = 0; i < CContactFields::kFields.size(); ++i) {
            const SContactField& field = CContactFields::kFields[i];
            text.Put("Col");
            text.Put(static_cast<int>(i + 1));
            text.Put("=");
            text.Put(field.csvName);
            text.Put(field.IsNumber() ? " Integer" : " Char");
            if (field.csvWidth > 0) {
                text.Put(" Width ");
                text.Put(field.csvWidth);
            }
            text.Put("\r\n");
        }
        return text.length;
    }

    template <std::size_t (*Write)(char*)>
    static constexpr std::array<char, Write(nullptr) + 1> Make() {
        std::array<char, Write(nullptr) + 1> text{};
        Write(text.data());
        return text;
    }

  private:
    struct SWriter {
        char* out;
        std::size_t length = 0;

        constexpr void Put(const char* text) {
            for (; *text; ++text, ++length) {
                if (out) {
                    out[length] = *text;
                }
            }
        }
        constexpr void Put(int number) {
            char digits[12] = {};
            int count = 0;
            do {
                digits[count++] = static_cast<char>('0' + number % 10);
                number /= 10;
            } while (number > 0);
            while (count > 0) {
                const char digit[2] = {digits[--count], '\0'};
                Put(digit);
            }
        }
    };

    static constexpr void PutNames(SWriter& text) {
        for (std::size_t i = 0; i < CContactFields::kFields.size(); ++i) {
            text.Put(i ? "," : "");
            text.Put(CContactFields::kFields[i].csvName);
        }
    }
};

}  // namespace orvex
