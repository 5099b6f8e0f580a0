#pragma once

#include <string>

namespace orvex {

// One address of one personal contact as the groups dialog lists it: the item chosen in the
// members list or in the list of all contacts. The kind is the number of an EAddressKind
// (contact/ContactFields.h); 0 means none (an empty record).
class CAddressSelection {
  public:
    // "WA", "WE", "HE", and "N/A" for any other kind.
    static const char* LabelOf(int kind);
    // The t_Contacts column of the address of a kind; null for kind 0.
    static const char* AddressColumnOf(int kind);

    bool IsEmpty() const { return kind == 0; }
    void Clear() { *this = CAddressSelection(); }

    int index = -1;  // the item's row in its list
    int contactId = 0;
    std::string first;
    std::string last;
    std::string address;
    int kind = 0;
};

}  // namespace orvex
