#pragma once

#include <array>
#include <string>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"

namespace orvex {

// The contacts table t_Contacts, made from the contact's fields (CContactFields): personal rows
// (iGroup 0) and group rows (iGroup 1) side by side, group membership kept in three group lists
// per personal row.
class CContactsTable {
  public:
    static constexpr int kColumnCount = CContactFields::kColumnCount;
    // In table order: the order of the schema check and of the comma-delimited file.
    static constexpr const std::array<SContactField, kColumnCount>& kColumns =
        CContactFields::kFields;

    // The longest text a column takes, 0 for numbers and unknown names.
    static int MaxLength(const std::string& column);
    // The statement that creates the table; the group lists default to ";".
    static std::string CreateStatement();
    // Writes a new empty contacts database file at path (replacing none).
    static bool CreateEmptyDatabase(const std::string& path, std::string& error);

    // The connection string of a contacts database file.
    static std::string ConnectionString(const std::string& path);

    // Fixed statements; "%d" is filled in by Format ("%%" gives "%").
    static constexpr const char* kTable = "[t_Contacts]";
    static constexpr const char* kSelectPersonal = "select * from [t_Contacts] where iGroup=0";
    static constexpr const char* kSelectGroups = "select * from [t_Contacts] where iGroup=1";
    static constexpr const char* kSelectMaxId = "select max(iCID) from [t_Contacts]";
    static constexpr const char* kDeleteAll = "delete from [t_Contacts]";
    static constexpr const char* kSelectPersonalMembers =
        "select * from [t_Contacts] where iGroup=0 and (strGrpOfWAddr like '%%;%d;%%' or "
        "strGrpOfWEmail like '%%;%d;%%' or strGrpOfHEmail like '%%;%d;%%')";
    static constexpr const char* kSelectMembers =
        "select * from [t_Contacts] where strGrpOfWAddr like '%%;%d;%%' or strGrpOfWEmail like "
        "'%%;%d;%%' or strGrpOfHEmail like '%%;%d;%%'";
    static constexpr const char* kDeleteById = "delete from [t_Contacts] where iCID=%d";
    static constexpr const char* kSelectById = "select * from [t_Contacts] where iCID=%d";
    // A device numbers its groups apart from its personal entries, so after a download a group
    // and a contact may share an iCID: lookups by number say which kind of row they mean.
    static constexpr const char* kSelectPersonalById =
        "select * from [t_Contacts] where iCID=%d and iGroup=0";
    static constexpr const char* kDeleteGroupById =
        "delete from [t_Contacts] where iCID=%d and iGroup=1";
    static constexpr const char* kSortByName = "strFName, strLName";
    static constexpr const char* kSortById = "iCID ASC";

    // A fixed statement with its "%d" places (one or three) filled with n.
    static std::string Format(const char* statement, int n);

    // Opens the personal contacts as the grid shows them: sorted by first and last name.
    static bool OpenPersonal(CADORecordset& personal);

    // The highest iCID plus one (1 in an empty table); 0 when it cannot be read.
    static int NextContactId(CADODatabase& database);
    // Sets iEIdx of every row, personal or group, to its place in the table ordered by first
    // and last name. personalRow receives the place among the personal rows of the contact
    // numbered contactId (-1 when there is none). On failure error holds the error block.
    static bool RenumberEntries(CADODatabase& database, int contactId, int& personalRow,
                                std::string& error);

    // The schema check of a database file from elsewhere: an SQLite file that passes its
    // integrity check and whose t_Contacts is a plain table with exactly the 22 columns, by
    // name (case-sensitive), whose rows can all be read (within the connection's bounds, every
    // number fitting its column). reason says why a file fails, in a few words.
    static bool IsValidContactsDatabase(const std::string& path);
    static bool IsValidContactsDatabase(const std::string& path, std::string& reason);
};

}  // namespace orvex
