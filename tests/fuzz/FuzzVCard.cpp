// Arbitrary bytes read as a vCard file. Whatever reads must hold only valid UTF-8, and must
// write in each version (2.1, 3.0, 4.0) as text that reads back card for card and property for
// property; the lines of 3.0 and 4.0 must be CR LF lines of at most 75 octets. A failure to
// read must say why.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/CharsetDecoder.h"
#include "db/VCardReader.h"
#include "db/VCardWriter.h"

namespace {

using namespace orvex;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

void CheckUtf8(const std::string& text) {
    if (!CCharsetDecoder::IsUtf8(text)) {
        Fail("a text read is not valid UTF-8:", text);
    }
}

void CheckTexts(const std::vector<SVCard>& cards) {
    for (const SVCard& card : cards) {
        CheckUtf8(card.version);
        for (const SVCardProperty& property : card.properties) {
            CheckUtf8(property.group);
            CheckUtf8(property.name);
            for (const auto& [name, values] : property.params) {
                CheckUtf8(name);
                for (const std::string& value : values) {
                    CheckUtf8(value);
                }
            }
            for (const SVCardProperty::Component& component : property.value) {
                for (const std::string& value : component) {
                    CheckUtf8(value);
                }
            }
        }
    }
}

void CheckLines(const std::string& text) {
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos || end - start > CVCardWriter::kLineOctets ||
            text.substr(start, end - start).find_first_of("\r\n") != std::string::npos) {
            Fail("a line written is too long or not ended by CR LF:", text);
        }
        start = end + 2;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<SVCard> cards;
    std::string error;
    if (!CVCardReader::Read(input, cards, error)) {
        if (error.empty() || !cards.empty()) {
            Fail("a failure without a reason, or with cards:", error);
        }
        CheckUtf8(error);
        return 0;
    }
    CheckTexts(cards);
    for (const EVCardVersion version :
         {EVCardVersion::kV21, EVCardVersion::kV30, EVCardVersion::kV40}) {
        const std::string text = CVCardWriter::Write(cards, version);
        if (version != EVCardVersion::kV21) {
            CheckLines(text);
        }
        std::vector<SVCard> again;
        if (!CVCardReader::Read(text, again, error)) {
            Fail(("what was written does not read back: " + error).c_str(), text);
        }
        if (again.size() != cards.size()) {
            Fail("what was written reads back as another number of cards:", text);
        }
        for (size_t i = 0; i < cards.size(); ++i) {
            if (!again[i].SameContent(cards[i])) {
                Fail("what was written reads back as another card:", text);
            }
        }
    }
    return 0;
}
