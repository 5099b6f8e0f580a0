#pragma once

#include <string>

#include "contact/ContactFields.h"

namespace orvex {

// The character sets a contact's texts must keep to, on their Windows-1252 bytes. Lengths are
// not checked: the edits and the import keep to the column limits themselves. The empty text
// passes every check.
class CFieldCheck {
  public:
    // The character sets, as the contact's fields name them.
    using ECheck = ECharacterSet;
    static constexpr ECheck kText = ECharacterSet::kText;
    static constexpr ECheck kAddress = ECharacterSet::kAddress;
    static constexpr ECheck kPhone = ECharacterSet::kPhone;

    // Every byte from the blank up: no control characters, so no tab and no line break.
    static bool IsValidText(const std::string& bytes);
    // As text, but without the blank either.
    static bool IsValidAddress(const std::string& bytes);
    // Digits, "(", ")", "-" and the small "x" of an extension only.
    static bool IsValidPhone(const std::string& bytes);

    // A column without a set of its own (a number, a group list) is checked as text.
    static bool IsValid(ECheck check, const std::string& bytes);
    // The check of a t_Contacts column, as its field gives it (the three addresses take the
    // address set, the phone numbers and the zip code the phone set); the text set for a column
    // without one and for a name of no column.
    static ECheck CheckOf(const std::string& column);
};

}  // namespace orvex
