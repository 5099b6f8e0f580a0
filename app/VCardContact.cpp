#include "app/VCardContact.h"

#include <algorithm>
#include <cctype>

#include "db/Win1252.h"

namespace orvex {

namespace {

using F = CContactFields;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// Marks the preferred address as the version writes it.
void Prefer(SVCardProperty& property, EVCardVersion version) {
    if (version == EVCardVersion::kV40) {
        property.AddParam("PREF", "1");
    } else {
        property.AddType("PREF");
    }
}

EAddressKind KindOfColumn(F::EColumn column) {
    for (const auto& address : F::kAddressKinds) {
        if (address.address == column) {
            return address.kind;
        }
    }
    return EAddressKind::kNone;
}

int KindIndex(EAddressKind kind) {
    return static_cast<int>(kind) - 1;
}

// Remembers where each address came from, for the preferred one and its groups.
struct SReading {
    SCardContact contact;
    int bestPreference = 0;
    std::array<std::vector<int>, 3> groupPositions;

    void Prefer(const SVCardProperty& property, EAddressKind kind) {
        const int preference = property.Preference();
        if (preference != 0 && (bestPreference == 0 || preference < bestPreference)) {
            bestPreference = preference;
            contact.preferred = kind;
        }
    }
    void GroupsOf(const SVCardProperty& property, EAddressKind kind) {
        const auto* positions = property.FindParam(CVCardContact::kGroupsParam);
        if (positions == nullptr) {
            return;
        }
        contact.groupsPerAddress = true;
        for (const std::string& position : *positions) {
            const int n = std::atoi(position.c_str());
            if (n > 0) {
                groupPositions[static_cast<size_t>(KindIndex(kind))].push_back(n);
            }
        }
    }
    // Puts text into the first of columns that is still empty; false when none is.
    bool Fill(const std::string& text, std::initializer_list<F::EColumn> columns,
              F::EColumn* where = nullptr) {
        for (const F::EColumn column : columns) {
            if (contact.texts[column].empty()) {
                contact.texts[column] = text;
                if (where) {
                    *where = column;
                }
                return true;
            }
        }
        return false;
    }
    void Address(const SVCardProperty& property, const std::string& text,
                 std::initializer_list<F::EColumn> columns) {
        F::EColumn where = F::kWireless;
        if (text.empty() || !Fill(text, columns, &where)) {
            ++contact.ignored;
            return;
        }
        const EAddressKind kind = KindOfColumn(where);
        Prefer(property, kind);
        GroupsOf(property, kind);
    }
};

}  // namespace

SCardContact CVCardContact::FromCard(const SVCard& card) {
    SReading r;
    SCardContact& c = r.contact;
    const SVCardProperty* wireless = card.Find(kWirelessProperty);
    for (const SVCardProperty& p : card.properties) {
        const std::string text = Trimmed(p.Text());
        if (p.name == "N") {
            c.texts[F::kLastName] = Trimmed(p.ComponentText(0));
            c.texts[F::kFirstName] = Trimmed(p.ComponentText(1));
        } else if (p.name == kWirelessProperty) {
            if (&p == wireless) {
                r.Address(p, text, {F::kWireless});
            }
        } else if (p.name == "TEL" && p.HasType("PAGER")) {
            if (wireless == nullptr) {
                r.Address(p, text, {F::kWireless});
            } else if (text != Trimmed(wireless->Text())) {
                ++c.ignored;  // the wireless address is the one of our own property
            }
        } else if (p.name == "TEL") {
            const bool placed =
                !text.empty() &&
                (p.HasType("FAX")    ? r.Fill(text, {F::kFax})
                 : p.HasType("CELL") ? r.Fill(text, {F::kMobilePhone})
                 : p.HasType("WORK") ? r.Fill(text, {F::kWorkPhone})
                 : p.HasType("HOME")
                     ? r.Fill(text, {F::kHomePhone})
                     : r.Fill(text, {F::kMobilePhone, F::kHomePhone, F::kWorkPhone}));
            c.ignored += placed ? 0 : 1;
        } else if (p.name == "EMAIL") {
            if (p.HasType("WORK")) {
                r.Address(p, text, {F::kWorkEmail});
            } else if (p.HasType("HOME")) {
                r.Address(p, text, {F::kHomeEmail});
            } else {
                r.Address(p, text, {F::kWorkEmail, F::kHomeEmail});
            }
        } else if (p.name == "ORG") {
            c.ignored += r.Fill(Trimmed(p.ComponentText(0)), {F::kCompany}) ? 0 : 1;
        } else if (p.name == "ADR") {
            if (!c.texts[F::kStreet].empty() || !c.texts[F::kCity].empty() ||
                !c.texts[F::kState].empty() || !c.texts[F::kZip].empty()) {
                ++c.ignored;  // only the first address is kept
                continue;
            }
            const std::string street = Trimmed(p.ComponentText(2));
            const std::string extended = Trimmed(p.ComponentText(1));
            c.texts[F::kStreet] =
                street + (!street.empty() && !extended.empty() ? ", " : "") + extended;
            c.texts[F::kCity] = Trimmed(p.ComponentText(3));
            c.texts[F::kState] = Trimmed(p.ComponentText(4));
            c.texts[F::kZip] = Trimmed(p.ComponentText(5));
        } else if (p.name == "NOTE") {
            c.ignored += r.Fill(text, {F::kNote}) ? 0 : 1;
        } else if (p.name == "CATEGORIES") {
            for (const auto& component : p.value) {
                for (const std::string& group : component) {
                    if (!Trimmed(group).empty()) {
                        c.groups.push_back(Trimmed(group));
                    }
                }
            }
        } else if (!IsOneOf(p.name, {"FN", "PRODID", "UID", "REV"})) {
            ++c.ignored;
        }
    }
    if (c.texts[F::kFirstName].empty() && c.texts[F::kLastName].empty()) {
        const SVCardProperty* fn = card.Find("FN");
        const std::string name = fn ? Trimmed(fn->Text()) : "";
        // A card without a name shows its company or an address there, which is no name.
        bool isName = !name.empty();
        for (const F::EColumn column : {F::kCompany, F::kWireless, F::kWorkEmail, F::kHomeEmail}) {
            isName = isName && name != c.texts[column];
        }
        if (isName) {
            const size_t blank = name.find_last_of(' ');
            if (blank == std::string::npos) {
                c.texts[F::kFirstName] = name;
            } else {
                c.texts[F::kFirstName] = Trimmed(name.substr(0, blank));
                c.texts[F::kLastName] = Trimmed(name.substr(blank + 1));
            }
        }
    }
    if (c.groupsPerAddress) {
        // Positions in CATEGORIES; one outside it means the card was changed elsewhere, and
        // then CATEGORIES alone counts.
        bool inRange = true;
        for (size_t k = 0; k < 3; ++k) {
            for (const int n : r.groupPositions[k]) {
                if (n > static_cast<int>(c.groups.size())) {
                    inRange = false;
                } else {
                    c.groupsOfAddress[k].push_back(c.groups[static_cast<size_t>(n - 1)]);
                }
            }
        }
        if (!inRange) {
            c.groupsPerAddress = false;
            c.groupsOfAddress = {};
        }
    }
    return c;
}

SVCard CVCardContact::ToCard(const std::array<std::string, F::kColumnCount>& texts, int byDefault,
                             const std::array<std::vector<std::string>, 3>& groupsOfAddress,
                             EVCardVersion version) {
    auto utf8 = [&](F::EColumn column) { return CWin1252::ToUtf8(texts[column]); };
    SVCard card;
    const std::string first = utf8(F::kFirstName);
    const std::string last = utf8(F::kLastName);
    card.properties.push_back(SVCardProperty::MakeStructured("N", {last, first, "", "", ""}));
    std::string fullName = Trimmed(first + " " + last);
    for (const F::EColumn fallback : {F::kCompany, F::kWireless, F::kWorkEmail, F::kHomeEmail}) {
        if (fullName.empty()) {
            fullName = utf8(fallback);
        }
    }
    card.properties.push_back(SVCardProperty::Make("FN", fullName));

    // Every group once, in the order of the addresses; each address names its own by position.
    std::vector<std::string> groups;
    std::array<std::vector<std::string>, 3> positions;
    for (size_t k = 0; k < 3; ++k) {
        for (const std::string& group : groupsOfAddress[k]) {
            auto it = std::find(groups.begin(), groups.end(), group);
            if (it == groups.end()) {
                groups.push_back(group);
                it = groups.end() - 1;
            }
            positions[k].push_back(std::to_string(it - groups.begin() + 1));
        }
    }
    auto mark = [&](SVCardProperty& property, EAddressKind kind) {
        if (static_cast<int>(kind) == byDefault) {
            Prefer(property, version);
        }
        for (const std::string& position : positions[static_cast<size_t>(KindIndex(kind))]) {
            property.AddParam(kGroupsParam, position);
        }
    };
    if (!texts[F::kWireless].empty()) {
        SVCardProperty pager = SVCardProperty::Make("TEL", utf8(F::kWireless));
        pager.AddType("PAGER");
        if (byDefault == static_cast<int>(EAddressKind::kWireless)) {
            Prefer(pager, version);
        }
        card.properties.push_back(pager);
        SVCardProperty own = SVCardProperty::Make(kWirelessProperty, utf8(F::kWireless));
        mark(own, EAddressKind::kWireless);
        card.properties.push_back(own);
    }
    const std::pair<F::EColumn, const char*> mails[] = {{F::kWorkEmail, "WORK"},
                                                        {F::kHomeEmail, "HOME"}};
    for (const auto& [column, type] : mails) {
        if (!texts[column].empty()) {
            SVCardProperty mail = SVCardProperty::Make("EMAIL", utf8(column));
            mail.AddType(type);
            mark(mail, KindOfColumn(column));
            card.properties.push_back(mail);
        }
    }
    const std::pair<F::EColumn, std::vector<const char*>> phones[] = {
        {F::kHomePhone, {"HOME", "VOICE"}},
        {F::kWorkPhone, {"WORK", "VOICE"}},
        {F::kMobilePhone, {"CELL"}},
        {F::kFax, {"FAX"}}};
    for (const auto& [column, types] : phones) {
        if (!texts[column].empty()) {
            SVCardProperty phone = SVCardProperty::Make("TEL", utf8(column));
            for (const char* type : types) {
                phone.AddType(type);
            }
            card.properties.push_back(phone);
        }
    }
    if (!texts[F::kCompany].empty()) {
        card.properties.push_back(SVCardProperty::MakeStructured("ORG", {utf8(F::kCompany)}));
    }
    if (!texts[F::kStreet].empty() || !texts[F::kCity].empty() || !texts[F::kState].empty() ||
        !texts[F::kZip].empty()) {
        card.properties.push_back(SVCardProperty::MakeStructured(
            "ADR", {"", "", utf8(F::kStreet), utf8(F::kCity), utf8(F::kState), utf8(F::kZip), ""}));
    }
    if (!texts[F::kNote].empty()) {
        card.properties.push_back(SVCardProperty::Make("NOTE", utf8(F::kNote)));
    }
    if (!groups.empty()) {
        SVCardProperty categories;
        categories.name = "CATEGORIES";
        categories.value = {groups};
        card.properties.push_back(categories);
    }
    return card;
}

}  // namespace orvex
