#include "db/VCardProperty.h"

#include <algorithm>

#include "db/VCardText.h"

namespace orvex {

SVCardProperty SVCardProperty::Make(std::string_view name, std::string text) {
    SVCardProperty property;
    property.name = CVCardText::Upper(name);
    property.value.push_back({std::move(text)});
    return property;
}

SVCardProperty SVCardProperty::MakeStructured(std::string_view name,
                                              const std::vector<std::string>& components) {
    SVCardProperty property;
    property.name = CVCardText::Upper(name);
    for (const std::string& component : components) {
        property.value.push_back({component});
    }
    return property;
}

void SVCardProperty::AddParam(std::string_view param, std::string paramValue) {
    const std::string upper = CVCardText::Upper(param);
    for (Param& existing : params) {
        if (existing.first == upper) {
            existing.second.push_back(std::move(paramValue));
            return;
        }
    }
    params.push_back({upper, {std::move(paramValue)}});
}

const std::vector<std::string>* SVCardProperty::FindParam(std::string_view param) const {
    for (const Param& existing : params) {
        if (CVCardText::SameNoCase(existing.first, param)) {
            return &existing.second;
        }
    }
    return nullptr;
}

bool SVCardProperty::HasType(std::string_view type) const {
    if (const std::vector<std::string>* types = FindParam("TYPE")) {
        for (const std::string& each : *types) {
            if (CVCardText::SameNoCase(each, type)) {
                return true;
            }
        }
    }
    return false;
}

int SVCardProperty::Preference() const {
    if (const std::vector<std::string>* pref = FindParam("PREF")) {
        int number = 0;
        for (const char c : pref->empty() ? std::string() : pref->front()) {
            if (c < '0' || c > '9') {
                number = 0;
                break;
            }
            number = std::min(number * 10 + (c - '0'), 100);
        }
        return number > 0 ? number : 1;
    }
    return HasType("PREF") ? 1 : 0;
}

std::string SVCardProperty::ComponentText(size_t index) const {
    std::string text;
    if (index < value.size()) {
        for (size_t i = 0; i < value[index].size(); ++i) {
            text += (i > 0 ? "," : "") + value[index][i];
        }
    }
    return text;
}

std::string SVCardProperty::Text() const {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        text += (i > 0 ? ";" : "") + ComponentText(i);
    }
    return text;
}

bool SVCardProperty::SameContent(const SVCardProperty& other) const {
    return group == other.group && name == other.name && params == other.params &&
           value == other.value && base64 == other.base64;
}

}  // namespace orvex
