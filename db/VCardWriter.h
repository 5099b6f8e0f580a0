#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/VCard.h"
#include "db/VCardVersion.h"

namespace orvex {

// Writes cards as vCard text that CVCardReader reads back property for property: UTF-8, CR LF
// line ends, VERSION right after BEGIN. 3.0 and 4.0 escape the values and fold lines at 75
// octets, never inside a UTF-8 sequence. 2.1 writes a value that holds a line break or a
// character beyond ASCII, or would make the line longer than 75 octets, in quoted-printable
// (with CHARSET=UTF-8 where it is not ASCII), and the types bare (TEL;WORK;VOICE). Base64
// values are written as ENCODING=b (ENCODING=BASE64 in 2.1, which ends them with a blank
// line).
//
// What a version cannot hold is written as near as it can be: 2.1 has no lists, so a list
// (ADR's street "a,b") reads back as it would from any 2.1 file; a property of one text value
// read back from several components has them as text ("a;b"). Properties and parameters whose
// names are not well formed, and BEGIN, END and VERSION, are left out; CHARSET and ENCODING
// parameters are replaced by the writer's own.
class CVCardWriter {
  public:
    static constexpr size_t kLineOctets = 75;

    static std::string Write(const std::vector<SVCard>& cards,
                             EVCardVersion version = EVCardVersion::kV30);
    static std::string WriteCard(const SVCard& card, EVCardVersion version = EVCardVersion::kV30);
};

}  // namespace orvex
