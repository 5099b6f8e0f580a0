#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/VCardProperty.h"
#include "db/VCardVersion.h"

namespace orvex {

// One card of a vCard file, as CVCardReader reads it and CVCardWriter writes it.
struct SVCard {
    // VERSION as read: "2.1", "3.0", "4.0"; "" when the card has none. The writer writes the
    // version it is asked for instead.
    std::string version;
    // In the order of the file, without BEGIN, END and VERSION.
    std::vector<SVCardProperty> properties;
    // The line of BEGIN:VCARD; 0 for a card built in memory.
    int firstLine = 0;

    // The first property of the name (any letter case), or nullptr.
    const SVCardProperty* Find(std::string_view name) const;
    std::vector<const SVCardProperty*> FindAll(std::string_view name) const;
    // kV21 for "2.1", kV40 for "4.0", otherwise kV30.
    EVCardVersion Version() const;
    // The same properties in the same order, line numbers aside.
    bool SameContent(const SVCard& other) const;
};

}  // namespace orvex
