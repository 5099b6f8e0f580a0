#pragma once

#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"

namespace orvex {

// The contacts file the program works on: its path, the one connection to it and the
// recordset bound to that connection that the contacts view shows (the personal contacts
// sorted by name). The reports of a file that does not open are the caller's.
class CBookConnection {
  public:
    enum class EOpenResult { kOk, kConnectionFailed, kRecordsetFailed };

    CADODatabase& Database() { return m_database; }
    CADORecordset& Personal() { return m_personal; }
    const std::string& Path() const { return m_path; }
    const std::string& ConnectionString() const { return m_connectionString; }
    // The file to open next (the settings' last used one), before anything is open.
    void SetPath(const std::string& path) { m_path = path; }

    // Closes the recordset and then the connection.
    void Close();
    // Switches to the file at path: closes what is open, opens the file, binds the two
    // recordset to it and opens the personal contacts sorted by name.
    EOpenResult Open(const std::string& path);
    // Opens the same file again after Close (its contents were replaced); false when the
    // connection fails. The personal contacts are opened again as far as they can be.
    bool Reopen();
    // The rows of the contacts table, personal and group; 0 when the table cannot be read.
    int CountTableRows();

    // Why a database file that fails the start-up check cannot be used although it exists
    // (another program holds it, say); empty when it does not exist.
    static std::string WhyUnusable(const std::string& path);

  private:
    // The connection outlives the recordset bound to it.
    CADODatabase m_database;
    CADORecordset m_personal{&m_database};
    std::string m_path;
    std::string m_connectionString;
};

}  // namespace orvex
