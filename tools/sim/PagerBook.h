// The address book the emulated pager holds: personal entries and groups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The sixteen fields of a personal entry, numbered by the code that introduces each one in a
// record. ByDefault is a single binary byte; all the others are single-byte texts.
enum EField : uint8_t {
    kFirstName = 0x00,
    kLastName = 0x01,
    kWireless = 0x02,
    kWorkMail = 0x03,
    kHomeMail = 0x04,
    kByDefault = 0x05,
    kCompany = 0x06,
    kHomePhone = 0x07,
    kWorkPhone = 0x08,
    kMobilePhone = 0x09,
    kFax = 0x0A,
    kStreet = 0x0B,
    kCity = 0x0C,
    kState = 0x0D,
    kZip = 0x0E,
    kNote = 0x0F,
};
inline constexpr size_t kFieldCount = 16;

// Which address a contact is reached at by default, and the kind of a group member's address.
inline constexpr uint8_t kAddressNone = 0;
inline constexpr uint8_t kAddressWireless = 1;
inline constexpr uint8_t kAddressWorkMail = 2;
inline constexpr uint8_t kAddressHomeMail = 3;

struct SPersonalEntry {
    uint16_t number = 0;
    // Indexed by EField; texts[kByDefault] is unused and stays empty.
    std::array<std::string, kFieldCount> texts;
    uint8_t byDefault = kAddressNone;

    bool operator==(const SPersonalEntry&) const = default;
};

struct SGroupMember {
    uint16_t id = 0;  // the number of a personal entry
    uint8_t kind = kAddressWireless;

    bool operator==(const SGroupMember&) const = default;
};

struct SGroup {
    uint16_t number = 0;
    std::string name;
    std::vector<SGroupMember> members;

    bool operator==(const SGroup&) const = default;
};

class CPagerBook {
  public:
    static constexpr uint16_t kDefaultCapacity = 200;
    static constexpr size_t kMaxGroups = 20;
    static constexpr size_t kMaxMembers = 10;
    static constexpr size_t kGroupNameLength = 15;

    // The longest text the device stores in a field (1 for the ByDefault byte).
    static size_t MaxLength(EField field);
    // A short English name of the field for messages, e.g. "work e-mail".
    static const char* FieldName(EField field);

    uint16_t Capacity() const { return m_capacity; }
    void SetCapacity(uint16_t capacity) { m_capacity = capacity; }

    const std::vector<SPersonalEntry>& Entries() const { return m_entries; }
    const std::vector<SGroup>& Groups() const { return m_groups; }
    const SPersonalEntry* FindEntry(uint16_t number) const;
    const SGroup* FindGroup(uint16_t number) const;

    // Replaces the entry or group with the same number in place, or appends it.
    void PutEntry(const SPersonalEntry& entry);
    void PutGroup(const SGroup& group);
    // Empties the book; the capacity stays.
    void Clear();

    // Why the device could not store this entry (a text longer than its field, a ByDefault out
    // of range), or "" when it could.
    static std::string EntryProblem(const SPersonalEntry& entry);
    // The same for a group on its own: name length, member count, member kinds. Whether the
    // members name personal entries is the book's business, not the group's.
    static std::string GroupProblem(const SGroup& group);

    // A few contacts and one group, served when no book file is given.
    static CPagerBook Sample();

    bool operator==(const CPagerBook&) const = default;

  private:
    uint16_t m_capacity = kDefaultCapacity;
    std::vector<SPersonalEntry> m_entries;
    std::vector<SGroup> m_groups;
};

}  // namespace sim
