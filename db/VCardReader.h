#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/VCard.h"

namespace orvex {

// Reads vCard files of versions 2.1, 3.0 (RFC 2426) and 4.0 (RFC 6350) as phones, mail
// programs and contact servers write them: CR LF or LF line ends, folded lines, a byte-order
// mark (UTF-8, or UTF-16, which is converted), several cards with blank lines between them,
// groups, parameters in all their forms, quoted-printable with soft line breaks, base64
// values (also 2.1's, which run on unindented lines to a blank line) kept undecoded, and any
// CHARSET iconv knows. A value without CHARSET is UTF-8 when it is valid UTF-8 and otherwise
// Windows-1252, whatever the version says. A 2.1 AGENT's embedded card is passed over.
class CVCardReader {
  public:
    // Limits, so that no file can take all the memory.
    static constexpr size_t kMaxBytes = 64 * 1024 * 1024;
    static constexpr size_t kMaxCards = 100000;
    // Properties, parameter values and values (each component's list entries) together.
    static constexpr size_t kMaxValues = 8000000;

    // False, with no cards and the reason in `error` ("line 12: ..."), for a card without
    // END:VCARD, END:VCARD without BEGIN:VCARD, a line that is not a property, a property
    // outside any card, a name or parameter that is not well formed, an unknown CHARSET or
    // ENCODING, invalid quoted-printable, or a file beyond the limits.
    static bool Read(const std::string& bytes, std::vector<SVCard>& cards, std::string& error);
    // Reads the file and then its text; error names the file.
    static bool ReadFile(const std::string& path, std::vector<SVCard>& cards, std::string& error);
};

}  // namespace orvex
