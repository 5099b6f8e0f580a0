#include "db/VCardText.h"

#include <algorithm>

#include "db/CharsetDecoder.h"

namespace orvex {

namespace {

bool IsOneOf(std::string_view name, const std::initializer_list<std::string_view>& names) {
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view each) { return CVCardText::SameNoCase(name, each); });
}

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Escape(std::string_view text, std::string_view toEscape) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (toEscape.find(c) != std::string_view::npos) {
            out += '\\';
            out += c == '\n' ? 'n' : c;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

CVCardText::EShape CVCardText::ShapeOf(const SVCardProperty& property) {
    const std::string_view name = property.name;
    if (IsOneOf(name, {"N", "ADR", "ORG", "GEO", "GENDER", "CLIENTPIDMAP"})) {
        return kStructured;
    }
    if (IsOneOf(name, {"CATEGORIES", "NICKNAME"})) {
        return kList;
    }
    if (IsOneOf(name, {"URL", "SOURCE", "FBURL", "CALURI", "CALADRURI", "IMPP", "MEMBER", "PHOTO",
                       "LOGO", "SOUND", "RELATED"})) {
        return kUri;
    }
    if (const std::vector<std::string>* type = property.FindParam("VALUE")) {
        for (const std::string& each : *type) {
            if (SameNoCase(each, "uri") || SameNoCase(each, "url")) {
                return kUri;
            }
        }
    }
    return kText;
}

bool CVCardText::Split(std::string_view text, EShape shape, size_t maxValues,
                       std::vector<SVCardProperty::Component>& value) {
    value.clear();
    const bool components = shape == kStructured;
    const bool lists = components || shape == kList;
    const auto isSeparator = [&](char c) {
        return lists && (c == ',' || (components && c == ';'));
    };
    // Counted first, so that a line of nothing but separators makes nothing before it fails.
    size_t count = 1;
    for (size_t i = 0; i < text.size(); i += text[i] == '\\' ? 2 : 1) {
        count += isSeparator(text[i]) ? 1 : 0;
    }
    if (count > maxValues) {
        return false;
    }
    value.emplace_back();
    size_t start = 0;
    for (size_t i = 0;;) {
        if (i >= text.size() || isSeparator(text[i])) {
            value.back().push_back(Unescape(text.substr(start, std::min(i, text.size()) - start)));
            if (i >= text.size()) {
                return true;
            }
            if (text[i] == ';') {
                value.emplace_back();
            }
            start = ++i;
        } else {
            i += text[i] == '\\' ? 2 : 1;
        }
    }
}

std::string CVCardText::Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
            case 'n':
            case 'N':
                out += '\n';
                break;
            case '\\':
            case ';':
            case ',':
            case ':':  // not an escape of the RFCs, but some programs write it in addresses
                out += next;
                break;
            default:  // a backslash of no escape is text, as in a 2.1 file's "C:\temp"
                out += '\\';
                out += next;
        }
    }
    return out;
}

std::string CVCardText::Join(const SVCardProperty& property, EVCardVersion version) {
    const EShape shape = ShapeOf(property);
    std::string toEscape = "\\";
    if (version != EVCardVersion::kV21) {
        toEscape += '\n';
    }
    if (shape == kList || shape == kStructured ||
        (shape == kText && version != EVCardVersion::kV21)) {
        toEscape += ",;";
    }
    std::string out;
    for (size_t i = 0; i < property.value.size(); ++i) {
        if (i > 0) {
            out += ';';
        }
        for (size_t j = 0; j < property.value[i].size(); ++j) {
            if (j > 0) {
                out += ',';
            }
            out += Escape(LineBreaksToLf(property.value[i][j]), toEscape);
        }
    }
    return out;
}

std::string CVCardText::LineBreaksToLf(std::string_view text) {
    if (text.find('\r') == std::string_view::npos) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        }
    }
    return out;
}

std::string CVCardText::Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperChar);
    return out;
}

bool CVCardText::SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperChar(x) == UpperChar(y);
           });
}

std::string_view CVCardText::Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string CVCardText::Excerpt(std::string_view text) {
    size_t cut = std::min<size_t>(text.size(), 40);
    while (cut < text.size() && cut > 36 &&
           (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return CCharsetDecoder::Utf8OrWin1252(text.substr(0, cut)) + (cut < text.size() ? "..." : "");
}

bool CVCardText::IsName(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

}  // namespace orvex
