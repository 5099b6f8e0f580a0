#include "db/ADODatabase.h"

#include <cstdio>

#include "db/SqliteConnection.h"
#include "db/TextConnection.h"
#include "db/Win1252.h"

namespace orvex {

namespace {

CADODatabase::TextDriver& TheTextDriver() {
    static CADODatabase::TextDriver driver;
    return driver;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

CADODatabase::~CADODatabase() {
    Close();
}

void CADODatabase::SetTextDriver(TextDriver driver) {
    TheTextDriver() = std::move(driver);
}

std::string CADODatabase::ConnectionPart(const std::string& connectionString,
                                         const std::string& key) {
    const std::string wanted = CWin1252::Folded(key);
    size_t start = 0;
    while (start < connectionString.size()) {
        // A value in braces may hold semicolons.
        size_t end = start;
        int depth = 0;
        while (end < connectionString.size() && (connectionString[end] != ';' || depth > 0)) {
            depth += connectionString[end] == '{' ? 1 : connectionString[end] == '}' ? -1 : 0;
            ++end;
        }
        const std::string part = connectionString.substr(start, end - start);
        start = end + 1;
        const size_t equals = part.find('=');
        if (equals == std::string::npos ||
            CWin1252::Folded(Trim(part.substr(0, equals))) != wanted) {
            continue;
        }
        std::string value = Trim(part.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    }
    return "";
}

std::string CADODatabase::FormatError(const char* title, const SDbError& e) {
    char code[16];
    std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(e.code) & 0xFFFFFFFFUL);
    return std::string(title) + "\n\tCode = " + code + "\n\tCode meaning = " + e.meaning +
           "\n\tSource = " + e.source + "\n\tDescription = " + e.description + "\n";
}

bool CADODatabase::Record(const SDbError& error) {
    m_errorCode = error.code;
    m_errorDescription = error.description;
    m_lastError = "Connection String = " + m_connectionString + "\n" +
                  FormatError("CADODataBase Error", error);
    return false;
}

bool CADODatabase::Open(const std::string& connectionString, const std::string&,
                        const std::string&) {
    Close();
    if (!connectionString.empty()) {
        m_connectionString = connectionString;
    }
    SDbError error;
    const std::string dataSource = ConnectionPart(m_connectionString, "Data Source");
    const std::string directory = ConnectionPart(m_connectionString, "Dbq");
    if (!dataSource.empty()) {
        auto sqlite = std::make_unique<CSqliteConnection>();
        const bool readOnly =
            CWin1252::Folded(ConnectionPart(m_connectionString, "Mode")) == "read";
        if (!sqlite->Open(dataSource, readOnly, m_timeout, error)) {
            return Record(error);
        }
        m_connection = std::move(sqlite);
        m_filePath = dataSource;
    } else if (!directory.empty() && !ConnectionPart(m_connectionString, "Driver").empty()) {
        if (TheTextDriver()) {
            m_connection = TheTextDriver()(directory, error);
            if (!m_connection) {
                return Record(error);
            }
        } else {
            // The program's own text driver, unless another was put in its place.
            auto text = std::make_unique<CTextConnection>();
            if (!text->Open(directory, ConnectionPart(m_connectionString, "Extensions"), error)) {
                return Record(error);
            }
            m_connection = std::move(text);
        }
    } else {
        error = {1, "Invalid connection string", "Orvex",
                 "the connection string names no data source"};
        return Record(error);
    }
    m_errorCode = 0;
    return true;
}

void CADODatabase::Close() {
    m_connection.reset();
    m_filePath.clear();
}

bool CADODatabase::Execute(const std::string& statement) {
    SDbError error;
    if (!m_connection) {
        return Record({1, "Not open", "Orvex", "the database is not open"});
    }
    if (!m_connection->Execute(statement, m_recordsAffected, error)) {
        error.description += " (in: " + statement + ")";
        return Record(error);
    }
    return true;
}

bool CADODatabase::BeginTrans() {
    SDbError error;
    return m_connection && m_connection->Begin(error) ? true : Record(error);
}

bool CADODatabase::CommitTrans() {
    SDbError error;
    return m_connection && m_connection->Commit(error) ? true : Record(error);
}

bool CADODatabase::RollbackTrans() {
    SDbError error;
    return m_connection && m_connection->Rollback(error) ? true : Record(error);
}

bool CADODatabase::BackupTo(const std::string& path) {
    SDbError error;
    auto* sqlite = dynamic_cast<CSqliteConnection*>(m_connection.get());
    if (!sqlite) {
        return Record({1, "Not supported", "Orvex", "only a database file can be copied"});
    }
    return sqlite->BackupTo(path, error) ? true : Record(error);
}

bool CADODatabase::EndTrans(bool ok, bool began, std::string& failure) {
    if (ok) {
        if (CommitTrans()) {
            return true;
        }
        failure = ReasonOf(GetLastErrorString());
        // A failed commit may have ended the transaction or not; undoing it is tried quietly.
        RollbackTrans();
    } else if (began && !RollbackTrans()) {
        failure += "; undoing the change failed as well: " + ReasonOf(GetLastErrorString());
    }
    return false;
}

std::string CADODatabase::ReasonOf(const std::string& block) {
    static const std::string kKey = "Description = ";
    const size_t start = block.find(kKey);
    if (start != std::string::npos) {
        const size_t from = start + kKey.size();
        const size_t end = block.find('\n', from);
        const std::string line = block.substr(from, end == std::string::npos ? end : end - from);
        if (!line.empty()) {
            return line;
        }
    }
    return block.empty() ? std::string("unknown error") : block;
}

}  // namespace orvex
