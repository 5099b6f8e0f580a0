#pragma once

#include <optional>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/SafetyCopy.h"
#include "link/ErrorReport.h"

namespace orvex {

// Reads a comma-delimited contacts file, as the export writes it, into the contacts table:
// replacing the contacts or adding to them, as the user answers. The file is read through the
// text driver, which takes the file's columns from a "Schema.ini" section written beside it.
// Every line is checked before it is stored, the groups and group lists of the file must agree,
// and the rows are written in one transaction after a safety copy of the database file, so a
// bad file leaves the database as it was. The caller shows the one report and restores.
class CCsvImport {
  public:
    static constexpr int kMaxGroups = 20;
    static constexpr int kMaxMembers = 10;
    static constexpr const char* kAllLines =
        "select CONTACT_ID,ENTRY_INDEX,GROUP_OR_PERSONAL,FIRST_NAME,LAST_NAME,WIRELESS_ADDRESS,"
        "WORK_EMAIL,HOME_EMAIL,DEFAULT_ADDRESS,GROUP_OF_WIRELESS_ADDRESS,GROUP_OF_WORK_EMAIL,"
        "GROUP_OF_HOME_EMAIL,COMPANY,HOME_PHONE,WORK_PHONE,MOBILE_PHONE,FAX,STREET,CITY,STATE,"
        "ZIP,NOTE from ";
    static constexpr const char* kGroupLinesWhere = " where GROUP_OR_PERSONAL=1";
    static constexpr const char* kPersonalInGroupsWhere =
        " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS<>';' or "
        "GROUP_OF_WORK_EMAIL<>';' or GROUP_OF_HOME_EMAIL<>';')";
    static constexpr const char* kMembersWhere =
        " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS like '%%;%d;%%' or "
        "GROUP_OF_WORK_EMAIL like '%%;%d;%%' or GROUP_OF_HOME_EMAIL like '%%;%d;%%')";
    static constexpr const char* kSortGroupLines = "CONTACT_ID ASC";
    static constexpr const char* kSortLines = "FIRST_NAME, LAST_NAME";

    // database: the main connection, open on the file at databasePath.
    CCsvImport(CADODatabase& database, const std::string& databasePath, CErrorReport& errors);
    // Puts a user's own "Schema.ini" back, if that has not been done.
    ~CCsvImport();
    CCsvImport(const CCsvImport&) = delete;
    CCsvImport& operator=(const CCsvImport&) = delete;

    // The text driver's connection string for a directory (ending with "/").
    static std::string TextConnectionString(const std::string& directory);

    // Writes the column description of fileName into "Schema.ini" in directory. A file of the
    // user's there keeps its other sections, and RestoreSchemaIni puts it back as it was.
    bool WriteSchemaIni(const std::string& directory, const std::string& fileName);
    // Puts back the "Schema.ini" that was there before WriteSchemaIni, or deletes the one it
    // wrote.
    void RestoreSchemaIni();

    // The whole import, after WriteSchemaIni: asks whether to replace, checks the file and
    // copies its lines. False on any failure (Error() says why).
    bool ImportContacts(const std::string& directory, const std::string& fileName);
    // Checks the file's groups and the group lists of its personal lines; writes nothing.
    bool CheckFileGroups(const std::string& fileName, CADODatabase& textConnection,
                         CADORecordset& groupLines);
    // Makes the safety copy, then in one transaction empties the table (replace) and appends
    // every line, checked, with its identifiers shifted above those in the table.
    bool CopyFileRows(bool replace, CADORecordset& fileLines);

    static bool IsValidGroupList(const std::string& text);
    // Adds offset to every number of a well-formed list (";5;12;" by 10 gives ";15;22;").
    static void ShiftGroupList(std::string& text, int offset);

    // The copy CopyFileRows made; the caller discards it or restores from it.
    CSafetyCopy& SafetyCopy() { return m_copy; }
    // Why the import failed (for the log and the tests; the user sees Error 002).
    const std::string& Error() const { return m_error; }

  private:
    bool Fail(const std::string& why);
    bool CopyRows(bool replace, CADORecordset& fileLines);

    CADODatabase& m_database;
    CErrorReport& m_errors;
    CSafetyCopy m_copy;
    std::string m_error;
    std::string m_schemaPath;                 // the "Schema.ini" written, "" when none
    std::optional<std::string> m_userSchema;  // what was there before
};

}  // namespace orvex
