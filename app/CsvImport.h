#pragma once

#include <string>

#include "app/CsvColumns.h"
#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/BookHistory.h"
#include "db/SafetyCopy.h"
#include "link/ErrorReport.h"

namespace orvex {

// Reads a comma-delimited contacts file, as the export writes it, into the contacts table:
// replacing the contacts or adding to them, as the user answers. The file, of any name and in
// any folder, is copied into a private staging folder (CImportStaging) under a name the text
// driver's queries accept, with the "Schema.ini" section that gives its columns beside it; the
// user's folder is neither written nor read for it. Every line is checked before it is stored,
// the groups and group lists of the file must agree, and the rows are written in one
// transaction after a safety copy of the database file, so a bad file leaves the database as it
// was. The caller shows the one report, with Details(), and restores.
class CCsvImport {
  public:
    static constexpr int kMaxGroups = CContactFields::kMaxGroups;
    static constexpr int kMaxMembers = CContactFields::kMaxGroupMembers;
    // Every column of the file by name, in table order; the file's name follows.
    static constexpr auto kAllLinesText = CCsvColumns::Make<&CCsvColumns::SelectAll>();
    static constexpr const char* kAllLines = kAllLinesText.data();
    static constexpr const char* kGroupLinesWhere = " where GROUP_OR_PERSONAL=1";
    static constexpr const char* kPersonalInGroupsWhere =
        " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS<>';' or "
        "GROUP_OF_WORK_EMAIL<>';' or GROUP_OF_HOME_EMAIL<>';')";
    static constexpr const char* kMembersWhere =
        " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS like '%%;%d;%%' or "
        "GROUP_OF_WORK_EMAIL like '%%;%d;%%' or GROUP_OF_HOME_EMAIL like '%%;%d;%%')";
    // The columns of the file as the text driver is told them in its "Schema.ini" section.
    static constexpr auto kSchemaColumnsText = CCsvColumns::Make<&CCsvColumns::Schema>();
    static constexpr const char* kSchemaColumns = kSchemaColumnsText.data();
    static constexpr const char* kSortGroupLines = "CONTACT_ID ASC";
    static constexpr const char* kSortLines = "FIRST_NAME, LAST_NAME";

    // database: the main connection, open on the file at databasePath.
    CCsvImport(CADODatabase& database, const std::string& databasePath, CErrorReport& errors);
    CCsvImport(const CCsvImport&) = delete;
    CCsvImport& operator=(const CCsvImport&) = delete;

    // The text driver's connection string for a directory (ending with "/").
    static std::string TextConnectionString(const std::string& directory);

    // The whole import of the file at path: stages it, then runs ImportContacts on the staged
    // copy. The staging folder is removed before this returns, whatever the outcome. False on
    // any failure (Error() says why).
    bool ImportFile(const std::string& path);
    // The import of fileName in directory, a name the text driver's queries accept, described
    // by that directory's "Schema.ini": asks whether to replace, checks the file and copies its
    // lines. False on any failure (Error() says why).
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
    // Why the import failed.
    const std::string& Error() const { return m_error; }
    // The details of Error 002 after a failed ImportFile: the user's file and Error().
    std::string Details() const;

    // Where the book as it was is kept before the rows are copied (none: not kept).
    void SetHistory(CBookHistory* history) { m_history = history; }

  private:
    bool Fail(const std::string& why);
    bool CopyRows(bool replace, CADORecordset& fileLines);

    CADODatabase& m_database;
    CErrorReport& m_errors;
    CSafetyCopy m_copy;
    std::string m_error;
    std::string m_path;  // the user's file, given to ImportFile
    CBookHistory* m_history = nullptr;
};

}  // namespace orvex
