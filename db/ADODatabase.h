#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/DataConnection.h"

namespace orvex {

// One connection to a data source: a contacts database file ("Provider=...;Data Source=PATH")
// or a directory of comma-delimited files through the text driver ("Driver={...};Dbq=DIR;...").
// Failures are results: the operation returns false and the object keeps the error's code and
// text.
class CADODatabase {
  public:
    // Opens the text driver's data source on a directory.
    using TextDriver = std::function<std::unique_ptr<IDataConnection>(const std::string& directory,
                                                                      SDbError& error)>;

    CADODatabase() = default;
    virtual ~CADODatabase();
    CADODatabase(const CADODatabase&) = delete;
    CADODatabase& operator=(const CADODatabase&) = delete;

    // A non-empty connection string replaces the stored one. A "Mode=Read" part opens a
    // database file for reading only, without holding it.
    bool Open(const std::string& connectionString = "", const std::string& user = "",
              const std::string& password = "");
    bool IsOpen() const { return m_connection != nullptr; }
    void Close();
    bool Execute(const std::string& statement);
    int GetRecordsAffected() const { return m_recordsAffected; }

    bool BeginTrans();
    bool CommitTrans();
    bool RollbackTrans();
    // Ends a change of several steps begun with BeginTrans (began): commits when every step
    // succeeded (ok), otherwise undoes what began. On a failed commit failure becomes its
    // reason; a failed undo adds its reason to failure.
    bool EndTrans(bool ok, bool began, std::string& failure);

    // A consistent copy of the open database file, synced to disk before it takes the name.
    bool BackupTo(const std::string& path);

    void SetConnectionTimeout(int seconds) { m_timeout = seconds; }
    int GetConnectionTimeout() const { return m_timeout; }
    const std::string& GetConnectionString() const { return m_connectionString; }
    // The file a "Data Source" connection opened, empty otherwise.
    const std::string& GetFilePath() const { return m_filePath; }
    const std::string& GetLastErrorString() const { return m_lastError; }
    const std::string& GetErrorDescription() const { return m_errorDescription; }
    long GetLastError() const { return m_errorCode; }

    IDataConnection* Connection() const { return m_connection.get(); }

    // Puts another text driver in place of the program's own (CTextConnection); an empty one
    // brings the program's own back.
    static void SetTextDriver(TextDriver driver);
    // The value of one "Key=Value" part of a connection string ("" when absent); keys are
    // compared without regard to letter case, and {braces} around a value are taken off.
    static std::string ConnectionPart(const std::string& connectionString, const std::string& key);
    // The error block of a failed operation, as the recordset and the database record it.
    static std::string FormatError(const char* title, const SDbError& error);
    // The line of an error block that says what went wrong (its description), or the whole
    // block when it has none: what a user is shown.
    static std::string ReasonOf(const std::string& errorBlock);

  private:
    bool Record(const SDbError& error);

    std::unique_ptr<IDataConnection> m_connection;
    std::string m_connectionString;
    std::string m_filePath;
    std::string m_lastError;
    std::string m_errorDescription;
    long m_errorCode = 0;
    int m_recordsAffected = 0;
    int m_timeout = 0;
};

}  // namespace orvex
