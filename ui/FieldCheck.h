#pragma once

#include <string>

namespace orvex {

// The character sets a contact's texts must keep to, on their Windows-1252 bytes. Lengths are
// not checked: the edits and the import keep to the column limits themselves. The empty text
// passes every check.
class CFieldCheck {
  public:
    enum ECheck { kText, kAddress, kPhone };

    // Every byte from the blank up: no control characters, so no tab and no line break.
    static bool IsValidText(const std::string& bytes);
    // As text, but without the blank either.
    static bool IsValidAddress(const std::string& bytes);
    // Digits, "(", ")", "-" and the small "x" of an extension only.
    static bool IsValidPhone(const std::string& bytes);

    static bool IsValid(ECheck check, const std::string& bytes);
    // The check of a t_Contacts text column: the three addresses take the address set, the
    // phone numbers and the zip code the phone set, every other column the text set.
    static ECheck CheckOf(const std::string& column);
};

}  // namespace orvex
