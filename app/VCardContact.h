#pragma once

#include <array>
#include <string>
#include <vector>

#include "contact/ContactFields.h"
#include "db/VCard.h"

namespace orvex {

// A contact as one card describes it, before it is fitted to the table: every text in UTF-8
// and as long as the card has it.
struct SCardContact {
    using F = CContactFields;
    std::array<std::string, F::kColumnCount> texts;  // the text columns; the others stay empty
    EAddressKind preferred = EAddressKind::kNone;    // the address the card prefers
    // The groups of each address (wireless, work, home) when the card carries them per
    // address, as this program writes them; otherwise groups holds CATEGORIES, which a member
    // joins with its default address.
    bool groupsPerAddress = false;
    std::array<std::vector<std::string>, 3> groupsOfAddress;
    std::vector<std::string> groups;
    int ignored = 0;  // properties of the card that nothing here takes
};

// The mapping between a personal contact and a vCard, both ways:
//   wireless address   TEL;TYPE=PAGER, and X-ORVEX-WIRELESS, which wins on reading
//   work, home e-mail  EMAIL;TYPE=WORK / HOME; an untyped EMAIL fills the free one of the two
//   default address    the preferred one of the three (TYPE=pref, PREF=1, a bare PREF)
//   phones             TEL;TYPE=HOME / WORK / CELL / FAX; a TEL of no such type fills the
//                      first free of mobile, home and work
//   company            ORG (its first part)
//   street, city,      the first ADR: street with its extended part after ", ", locality,
//   state, zip         region, postal code
//   note               NOTE
//   names              N (family; given), FN split at its last blank when N is empty
//   groups             CATEGORIES; this program's cards also give each address's groups as
//                      X-ORVEX-GROUPS=i,j (positions in CATEGORIES, from 1)
// Whatever else a card holds is counted in `ignored`.
class CVCardContact {
  public:
    using F = CContactFields;
    static constexpr const char* kWirelessProperty = "X-ORVEX-WIRELESS";
    static constexpr const char* kGroupsParam = "X-ORVEX-GROUPS";

    static SCardContact FromCard(const SVCard& card);

    // texts: the columns as stored (Windows-1252); byDefault as stored; groupsOfAddress: the
    // names (Windows-1252) of the groups each address is in.
    static SVCard ToCard(const std::array<std::string, F::kColumnCount>& texts, int byDefault,
                         const std::array<std::vector<std::string>, 3>& groupsOfAddress,
                         EVCardVersion version);
};

}  // namespace orvex
