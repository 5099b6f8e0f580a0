#include "db/VCard.h"

#include "db/VCardText.h"

namespace orvex {

const SVCardProperty* SVCard::Find(std::string_view name) const {
    for (const SVCardProperty& property : properties) {
        if (CVCardText::SameNoCase(property.name, name)) {
            return &property;
        }
    }
    return nullptr;
}

std::vector<const SVCardProperty*> SVCard::FindAll(std::string_view name) const {
    std::vector<const SVCardProperty*> found;
    for (const SVCardProperty& property : properties) {
        if (CVCardText::SameNoCase(property.name, name)) {
            found.push_back(&property);
        }
    }
    return found;
}

EVCardVersion SVCard::Version() const {
    if (version == "2.1") {
        return EVCardVersion::kV21;
    }
    return version == "4.0" ? EVCardVersion::kV40 : EVCardVersion::kV30;
}

bool SVCard::SameContent(const SVCard& other) const {
    if (properties.size() != other.properties.size()) {
        return false;
    }
    for (size_t i = 0; i < properties.size(); ++i) {
        if (!properties[i].SameContent(other.properties[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace orvex
