#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvex {

// The kinds of a personal contact's address, numbered as they are stored: byDefault holds the
// kind of the default address (0 for none), and a group member on the device carries the kind
// of the address that belongs to the group.
enum class EAddressKind : uint8_t { kNone = 0, kWireless = 1, kWorkEmail = 2, kHomeEmail = 3 };

// The characters a text column takes (CFieldCheck tells them apart): any from the blank up,
// an address (no blank either), a phone number (digits, "(", ")", "-" and "x"). Numbers and
// group lists have no character set: they keep to rules of their own.
enum class ECharacterSet : uint8_t { kNone, kText, kAddress, kPhone };

// One column of the contacts table and everything the program says about it: the database
// file, the comma-delimited file, the device's records, the grid and the contact editor.
struct SContactField {
    const char* name;        // the column of t_Contacts
    const char* sqlType;     // the type declared in the database file
    const char* sqlDefault;  // the declared default as SQL writes it; null for none
    int maxLength;           // the longest text in bytes (Windows-1252); 0 for a number
    ECharacterSet characters;
    const char* csvName;      // the column of the comma-delimited file
    int csvWidth;             // the width the import's "Schema.ini" gives; 0 for none
    int deviceCode;           // the device's field code of a personal entry; -1 for none
    const char* gridCaption;  // the caption of the contacts grid's column; null when hidden
    const char* editorLabel;  // the label in the contact editor; null when not shown there

    constexpr bool IsNumber() const { return maxLength == 0; }
};

// The one description of a contact: the 22 columns of t_Contacts with their facts, the three
// address kinds, and the limits of the book that the device sets.
class CContactFields {
  public:
    // The columns in table order, which is also the order of the comma-delimited file.
    enum EColumn : int {
        kId,
        kEntryIndex,
        kIsGroup,
        kFirstName,
        kLastName,
        kWireless,
        kWorkEmail,
        kHomeEmail,
        kDefaultAddress,
        kWirelessGroups,
        kWorkEmailGroups,
        kHomeEmailGroups,
        kCompany,
        kHomePhone,
        kWorkPhone,
        kMobilePhone,
        kFax,
        kStreet,
        kCity,
        kState,
        kZip,
        kNote,
        kColumnCount
    };

    // Each: the column, its declared type and default, its length and characters, the column
    // and width of the comma-delimited file, the device's field code, the grid's caption and the
    // editor's label.
    static constexpr std::array<SContactField, kColumnCount> kFields = {{
        {"iCID", "SMALLINT", nullptr, 0, ECharacterSet::kNone, "CONTACT_ID", 0, -1, nullptr,
         nullptr},
        {"iEIdx", "SMALLINT", nullptr, 0, ECharacterSet::kNone, "ENTRY_INDEX", 0, -1, nullptr,
         nullptr},
        {"iGroup", "SMALLINT", nullptr, 0, ECharacterSet::kNone, "GROUP_OR_PERSONAL", 0, -1,
         nullptr, nullptr},
        {"strFName", "VARCHAR(15)", nullptr, 15, ECharacterSet::kText, "FIRST_NAME", 15, 0,
         "First Name", "First Name:"},
        {"strLName", "VARCHAR(18)", nullptr, 18, ECharacterSet::kText, "LAST_NAME", 18, 1,
         "Last Name", "Last Name:"},
        {"strWAddr", "VARCHAR(65)", nullptr, 65, ECharacterSet::kAddress, "WIRELESS_ADDRESS", 65, 2,
         "Wireless Address", "1. Wireless Address:"},
        {"strWEmail", "VARCHAR(65)", nullptr, 65, ECharacterSet::kAddress, "WORK_EMAIL", 65, 3,
         "Work Email", "2. Work Email:"},
        {"strHEmail", "VARCHAR(65)", nullptr, 65, ECharacterSet::kAddress, "HOME_EMAIL", 65, 4,
         "Home Email", "3. Home Email:"},
        {"byDefault", "SMALLINT", nullptr, 0, ECharacterSet::kNone, "DEFAULT_ADDRESS", 0, 5,
         "Default Address", "Default:"},
        // A group list is 255 bytes in the table, but the text driver is given no width for it.
        {"strGrpOfWAddr", "VARCHAR(255)", "';'", 255, ECharacterSet::kNone,
         "GROUP_OF_WIRELESS_ADDRESS", 0, -1, nullptr, nullptr},
        {"strGrpOfWEmail", "VARCHAR(255)", "';'", 255, ECharacterSet::kNone, "GROUP_OF_WORK_EMAIL",
         0, -1, nullptr, nullptr},
        {"strGrpOfHEmail", "VARCHAR(255)", "';'", 255, ECharacterSet::kNone, "GROUP_OF_HOME_EMAIL",
         0, -1, nullptr, nullptr},
        {"strCompany", "VARCHAR(18)", nullptr, 18, ECharacterSet::kText, "COMPANY", 18, 6, nullptr,
         "Company:"},
        {"strHPhone", "VARCHAR(15)", nullptr, 15, ECharacterSet::kPhone, "HOME_PHONE", 15, 7,
         nullptr, "Home:"},
        {"strWPhone", "VARCHAR(18)", nullptr, 18, ECharacterSet::kPhone, "WORK_PHONE", 18, 8,
         nullptr, "Work:"},
        {"strMPhone", "VARCHAR(15)", nullptr, 15, ECharacterSet::kPhone, "MOBILE_PHONE", 15, 9,
         nullptr, "Mobile:"},
        {"strFax", "VARCHAR(15)", nullptr, 15, ECharacterSet::kPhone, "FAX", 15, 10, nullptr,
         "Fax:"},
        {"strStreet", "VARCHAR(70)", nullptr, 70, ECharacterSet::kText, "STREET", 70, 11, nullptr,
         "Street:"},
        {"strCity", "VARCHAR(20)", nullptr, 20, ECharacterSet::kText, "CITY", 20, 12, nullptr,
         "City:"},
        {"strState", "VARCHAR(10)", nullptr, 10, ECharacterSet::kText, "STATE", 10, 13, nullptr,
         "State:"},
        // The zip code keeps to the phone numbers' characters.
        {"strZip", "VARCHAR(10)", nullptr, 10, ECharacterSet::kPhone, "ZIP", 10, 14, nullptr,
         "Zip:"},
        {"strNote", "VARCHAR(72)", nullptr, 72, ECharacterSet::kText, "NOTE", 72, 15, nullptr,
         "Note:"},
    }};

    // One address kind: the column of the address, the column of the groups it belongs to, and
    // how the groups dialog's lists name it.
    struct SAddressKind {
        EAddressKind kind;
        EColumn address;
        EColumn groupList;
        const char* listLabel;

        constexpr int Number() const { return static_cast<int>(kind); }
    };
    static constexpr std::array<SAddressKind, 3> kAddressKinds = {{
        {EAddressKind::kWireless, kWireless, kWirelessGroups, "WA"},
        {EAddressKind::kWorkEmail, kWorkEmail, kWorkEmailGroups, "WE"},
        {EAddressKind::kHomeEmail, kHomeEmail, kHomeEmailGroups, "HE"},
    }};

    // The limits of a book, which the device sets: the groups, the addresses in one group, and
    // the length of a group's name (kept in the first-name column).
    static constexpr int kMaxGroups = 20;
    static constexpr int kMaxGroupMembers = 10;
    static constexpr int kGroupNameLength = kFields[kFirstName].maxLength;
    // The device's field codes of a personal entry run from 0 to 15.
    static constexpr int kDeviceFieldCount = 16;
    static constexpr int kDefaultAddressCode = kFields[kDefaultAddress].deviceCode;

    static constexpr const SContactField& Field(EColumn column) { return kFields[column]; }
    static constexpr const char* Name(EColumn column) { return kFields[column].name; }
    // The field of a column name (case-sensitive); null for a name of no column.
    static const SContactField* Find(std::string_view name);

    // The column of a device field code; -1 for a code the device does not have.
    static constexpr int ColumnOfCode(int code) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (code >= 0 && kFields[static_cast<size_t>(c)].deviceCode == code) {
                return c;
            }
        }
        return -1;
    }

    // The kind a stored number names (byDefault, a group member's kind); null for 0 and for any
    // number that names no kind.
    static constexpr const SAddressKind* AddressKind(int number) {
        for (const SAddressKind& kind : kAddressKinds) {
            if (kind.Number() == number) {
                return &kind;
            }
        }
        return nullptr;
    }
    // Whether a column is one of the three group lists.
    static constexpr bool IsGroupList(int column) {
        for (const SAddressKind& kind : kAddressKinds) {
            if (kind.groupList == column) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace orvex
