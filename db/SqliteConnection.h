#pragma once

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <string>

#include "db/DataConnection.h"
#include "db/StatementDeadline.h"

namespace orvex {

// A contacts database file through SQLite. The file is held with an exclusive advisory lock
// for as long as the connection is open (unless opened for reading only), so a second copy of
// the program cannot open it; it keeps the rollback journal, so the one file is the whole
// database. Texts are Windows-1252 in memory and UTF-8 in the file.
//
// Any file may come from elsewhere, so every connection is made safe for untrusted input:
// SQLite's defensive settings, an untrusted schema, no views, no foreign-key actions, the
// file's own triggers switched off, tight limits on statement and value sizes, a time limit on
// every statement and bounds on what a read holds (CRowSet). Numbers that do not fit the width
// their column declares fail the read.
class CSqliteConnection : public IDataConnection {
  public:
    // A statement of the connection's own still running after this long (plus the busy
    // timeout) is stopped and fails: no file can hold the program up for longer.
    static constexpr std::chrono::seconds kTimeLimit{10};

    CSqliteConnection() = default;
    ~CSqliteConnection() override;
    CSqliteConnection(const CSqliteConnection&) = delete;
    CSqliteConnection& operator=(const CSqliteConnection&) = delete;

    // Opens an existing database file. readOnly: no lock, no writes (for checking a file).
    bool Open(const std::string& path, bool readOnly, int timeoutSeconds, SDbError& error);
    void Close();

    bool Execute(const std::string& statement, int& affected, SDbError& error) override;
    bool Read(const std::string& source, bool isTable, CRowSet& out, SDbError& error) override;
    bool Insert(const std::string& table, const std::vector<SColumnValue>& values,
                const std::vector<SColumn>& columns, int64_t& rowid,
                std::vector<CFieldValue>& stored, SDbError& error) override;
    bool Update(const std::string& table, int64_t rowid, const std::vector<SColumnValue>& values,
                SDbError& error) override;
    bool Delete(const std::string& table, int64_t rowid, SDbError& error) override;
    bool Begin(SDbError& error) override;
    bool Commit(SDbError& error) override;
    bool Rollback(SDbError& error) override;

    // A consistent copy of the open database in path, synced to disk before it takes the
    // name (a temporary file in the same folder is renamed over it).
    bool BackupTo(const std::string& path, SDbError& error);
    bool InTransaction() const;
    sqlite3* Handle() const { return m_db; }
    // Another time limit for the statements from now on (kTimeLimit unless changed).
    void SetTimeLimit(std::chrono::milliseconds limit) { m_deadline.SetLimit(limit); }

    static std::string QuoteName(const std::string& name);
    // SQLite's message for the last failure on db, with the system's reason after it when the
    // failure came from the file (a full disk reads "disk I/O error: No space left on device").
    static std::string MessageOf(sqlite3* db);

  private:
    bool Fail(SDbError& error) const;
    bool Harden(SDbError& error);
    bool SilenceFileTriggers(SDbError& error);
    bool Prepare(const std::string& sql, sqlite3_stmt*& statement, SDbError& error);
    bool ReadRows(sqlite3_stmt* statement, bool withRowid, CRowSet& out, SDbError& error);

    sqlite3* m_db = nullptr;
    int m_lockFd = -1;
    std::map<std::string, sqlite3_stmt*> m_cache;  // statements that write rows
    CStatementDeadline m_deadline{kTimeLimit};
};

}  // namespace orvex
