#include "tools/sim/PagerBook.h"

#include <algorithm>

namespace sim {

namespace {

struct SFieldInfo {
    size_t maxLength;
    const char* name;
};

constexpr SFieldInfo kFields[kFieldCount] = {
    {15, "first name"},   {18, "last name"},   {65, "wireless address"},
    {65, "work e-mail"},  {65, "home e-mail"}, {1, "default address"},
    {18, "company"},      {15, "home phone"},  {18, "work phone"},
    {15, "mobile phone"}, {15, "fax"},         {70, "street"},
    {20, "city"},         {10, "state"},       {10, "zip"},
    {72, "note"},
};

SPersonalEntry MakeEntry(uint16_t number, const char* first, const char* last, const char* wireless,
                         const char* company, const char* mobile, uint8_t byDefault) {
    SPersonalEntry entry;
    entry.number = number;
    entry.texts[kFirstName] = first;
    entry.texts[kLastName] = last;
    entry.texts[kWireless] = wireless;
    entry.texts[kCompany] = company;
    entry.texts[kMobilePhone] = mobile;
    entry.byDefault = byDefault;
    return entry;
}

// The record of a number among entries or groups, or null.
template <typename T>
const T* Find(const std::vector<T>& records, uint16_t number) {
    auto it = std::find_if(records.begin(), records.end(),
                           [number](const T& r) { return r.number == number; });
    return it == records.end() ? nullptr : &*it;
}

// Stores a record in place of the one of its number, or adds it.
template <typename T>
void Put(std::vector<T>& records, const T& record) {
    for (T& existing : records) {
        if (existing.number == record.number) {
            existing = record;
            return;
        }
    }
    records.push_back(record);
}

}  // namespace

size_t CPagerBook::MaxLength(EField field) {
    return field < kFieldCount ? kFields[field].maxLength : 0;
}

const char* CPagerBook::FieldName(EField field) {
    return field < kFieldCount ? kFields[field].name : "unknown field";
}

const SPersonalEntry* CPagerBook::FindEntry(uint16_t number) const {
    return Find(m_entries, number);
}

const SGroup* CPagerBook::FindGroup(uint16_t number) const {
    return Find(m_groups, number);
}

void CPagerBook::PutEntry(const SPersonalEntry& entry) {
    Put(m_entries, entry);
}

void CPagerBook::PutGroup(const SGroup& group) {
    Put(m_groups, group);
}

void CPagerBook::Clear() {
    m_entries.clear();
    m_groups.clear();
}

std::string CPagerBook::EntryProblem(const SPersonalEntry& entry) {
    for (size_t f = 0; f < kFieldCount; ++f) {
        const EField field = static_cast<EField>(f);
        if (field != kByDefault && entry.texts[f].size() > MaxLength(field)) {
            return std::string(FieldName(field)) + " is " + std::to_string(entry.texts[f].size()) +
                   " bytes, at most " + std::to_string(MaxLength(field)) + " fit";
        }
    }
    if (entry.byDefault > kAddressHomeMail) {
        return "default address must be 0 to 3";
    }
    return "";
}

std::string CPagerBook::GroupProblem(const SGroup& group) {
    if (group.name.size() > kGroupNameLength) {
        return "group name is " + std::to_string(group.name.size()) + " bytes, at most " +
               std::to_string(kGroupNameLength) + " fit";
    }
    if (group.members.size() > kMaxMembers) {
        return std::to_string(group.members.size()) + " members, at most " +
               std::to_string(kMaxMembers) + " fit";
    }
    for (const SGroupMember& member : group.members) {
        if (member.kind < kAddressWireless || member.kind > kAddressHomeMail) {
            return "member kind must be 1 to 3";
        }
    }
    return "";
}

CPagerBook CPagerBook::Sample() {
    CPagerBook book;
    SPersonalEntry anna = MakeEntry(1, "Anna", "Berger", "anna.berger@wave.example", "Lindholm AG",
                                    "0171 5550101", kAddressWireless);
    anna.texts[kWorkMail] = "a.berger@lindholm.example";
    anna.texts[kCity] = "Hamburg";
    book.PutEntry(anna);
    // "Jörg Wäller": the two umlauts are single Windows-1252 bytes, as the device stores them.
    SPersonalEntry joerg = MakeEntry(2, "J\xF6rg", "W\xE4ller", "joerg@wave.example", "Kramer & Co",
                                     "0160 5550202", kAddressWireless);
    joerg.texts[kNote] = "Prefers pages after 9 o'clock";
    book.PutEntry(joerg);
    SPersonalEntry mia = MakeEntry(3, "Mia", "Santos", "", "", "", kAddressHomeMail);
    mia.texts[kHomeMail] = "mia.santos@home.example";
    mia.texts[kHomePhone] = "040 5550303";
    mia.texts[kStreet] = "Hafenweg 12";
    mia.texts[kZip] = "20457";
    book.PutEntry(mia);
    book.PutEntry(MakeEntry(4, "Ole", "", "ole@wave.example", "", "", kAddressWireless));

    SGroup team;
    team.number = 1;
    team.name = "Field team";
    team.members = {{1, kAddressWireless}, {2, kAddressWireless}, {3, kAddressHomeMail}};
    book.PutGroup(team);
    return book;
}

}  // namespace sim
