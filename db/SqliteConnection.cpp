#include "db/SqliteConnection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <utility>

#include "db/DatabaseFile.h"
#include "db/SqliteValues.h"
#include "db/Win1252.h"

namespace orvex {

namespace {

constexpr const char* kSource = "SQLite";

// SQLite's limits for a connection. The program's statements are a few hundred bytes with at
// most 23 bound values and shallow expressions; its longest text is 255 characters (765 bytes
// as UTF-8) in a table of 22 columns. A file from elsewhere needs no more to be read, and its
// schema can use no more to make a statement or a value costly.
constexpr std::pair<int, int> kLimits[] = {
    {SQLITE_LIMIT_LENGTH, 1000000},            // bytes of one value, or of one stored row
    {SQLITE_LIMIT_SQL_LENGTH, 100000},         // bytes of a statement, the file's schema too
    {SQLITE_LIMIT_COLUMN, 100},                // columns of a table, an index or a result
    {SQLITE_LIMIT_EXPR_DEPTH, 100},            // nesting of an expression
    {SQLITE_LIMIT_COMPOUND_SELECT, 10},        // terms of a UNION
    {SQLITE_LIMIT_VDBE_OP, 100000},            // instructions of one prepared statement
    {SQLITE_LIMIT_FUNCTION_ARG, 16},           // arguments of a function
    {SQLITE_LIMIT_ATTACHED, 0},                // other database files: none
    {SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 1000},  // bytes of a LIKE pattern
    {SQLITE_LIMIT_VARIABLE_NUMBER, 100},       // bound values of a statement
    {SQLITE_LIMIT_TRIGGER_DEPTH, 10},          // triggers setting off triggers
    {SQLITE_LIMIT_WORKER_THREADS, 0},          // no threads behind the program's back
};

// A failure of the layer's own: code 1, source "Orvex".
bool Own(SDbError& error, const char* meaning, const std::string& description) {
    error = {1, meaning, "Orvex", description};
    return false;
}

bool Other(SDbError& error, int code, const std::string& description) {
    error.code = code;
    error.meaning = sqlite3_errstr(code);
    error.source = kSource;
    error.description = description;
    return false;
}

std::string Unbracket(std::string name) {
    if (name.size() > 2 && ((name.front() == '[' && name.back() == ']') ||
                            (name.front() == '"' && name.back() == '"'))) {
        name = name.substr(1, name.size() - 2);
    }
    return name;
}

}  // namespace

CSqliteConnection::~CSqliteConnection() {
    Close();
}

std::string CSqliteConnection::MessageOf(sqlite3* db) {
    if (!db) {
        return "out of memory";
    }
    std::string message = sqlite3_errmsg(db);
    const int primary = sqlite3_extended_errcode(db) & 0xFF;
    const int system = sqlite3_system_errno(db);
    if (system != 0 && (primary == SQLITE_IOERR || primary == SQLITE_FULL ||
                        primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)) {
        message += std::string(": ") + std::strerror(system);
    }
    return message;
}

bool CSqliteConnection::Fail(SDbError& error) const {
    const int code = m_db ? sqlite3_extended_errcode(m_db) : SQLITE_ERROR;
    error.code = code;
    error.meaning = sqlite3_errstr(code);
    error.source = kSource;
    error.description = m_db ? MessageOf(m_db) : "no database is open";
    if (m_deadline.Stopped() && (code & 0xFF) == SQLITE_INTERRUPT) {
        error.description = m_deadline.StoppedDescription();
    }
    return false;
}

bool CSqliteConnection::Harden(SDbError& error) {
    // Defensive: the file's schema and internals cannot be changed behind SQLite's back.
    // Untrusted schema: the file's definitions may call no function with side effects.
    // No views: the program reads none, and a view could stand where a table is expected and
    // compute rows without end. No foreign-key actions, which would change other tables, and
    // no extensions.
    static constexpr std::pair<int, int> kSettings[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
        {SQLITE_DBCONFIG_ENABLE_FKEY, 0},
        {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0},
    };
    for (const auto& [option, value] : kSettings) {
        int now = -1;
        if (sqlite3_db_config(m_db, option, value, &now) != SQLITE_OK || now != value) {
            return Other(error, SQLITE_ERROR,
                         "the safety setting " + std::to_string(option) + " cannot be made");
        }
    }
    for (const auto& [limit, value] : kLimits) {
        sqlite3_limit(m_db, limit, value);
    }
    m_deadline.Watch(m_db);
    return true;
}

// Triggers that came with the file never run: one on t_Contacts could rewrite or remove the
// rows the program writes, and the program defines none in its files. They are switched off
// for a file that has any; on any other, a trigger created through this connection is its
// maker's own and runs.
bool CSqliteConnection::SilenceFileTriggers(SDbError& error) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "select 1 from main.sqlite_schema where type = 'trigger'", -1,
                           &stmt, nullptr) != SQLITE_OK) {
        return Fail(error);
    }
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        Fail(error);
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    int now = -1;
    if (rc == SQLITE_ROW &&
        (sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &now) != SQLITE_OK ||
         now != 0)) {
        return Other(error, SQLITE_ERROR, "the file's triggers cannot be switched off");
    }
    return true;
}

bool CSqliteConnection::Open(const std::string& path, bool readOnly, int timeoutSeconds,
                             SDbError& error) {
    Close();
    m_deadline.SetBusyWait(std::chrono::seconds(std::max(timeoutSeconds, 0)));
    if (!readOnly) {
        m_lockFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (m_lockFd < 0) {
            return Other(error, SQLITE_CANTOPEN,
                         "cannot open " + path + ": " + std::strerror(errno));
        }
        // Held while the connection is open: another copy of the program cannot use the file.
        if (flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            Close();
            return Other(error, SQLITE_BUSY,
                         e == EWOULDBLOCK ? path + " is in use by another program"
                                          : "cannot lock " + path + ": " + std::strerror(e));
        }
    }
    // One connection serves one thread (the user interface): no locking on every call.
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        Fail(error);
        Close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    if (!Harden(error)) {
        Close();
        return false;
    }
    if (timeoutSeconds > 0) {
        sqlite3_busy_timeout(m_db, timeoutSeconds * 1000);
    }
    // The first read of the schema tells a database file from any other file; a file from
    // elsewhere may use a write-ahead log, and the program keeps everything in the one file.
    // The triggers are looked at before any statement could set one off.
    CStatementDeadline::CCall call(m_deadline);
    int affected = 0;
    if (!Execute("PRAGMA schema_version", affected, error) || !SilenceFileTriggers(error) ||
        (!readOnly && !Execute("PRAGMA journal_mode=DELETE", affected, error))) {
        Close();
        return false;
    }
    return true;
}

void CSqliteConnection::Close() {
    for (auto& [sql, statement] : m_cache) {
        sqlite3_finalize(statement);
    }
    m_cache.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

bool CSqliteConnection::Execute(const std::string& statement, int& affected, SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    CStatementDeadline::CCall call(m_deadline);
    // The program's texts are Windows-1252, the file's are UTF-8: a literal in the statement
    // must be converted like a bound value, or "José" would never match what is stored.
    const std::string utf8 = CWin1252::ToUtf8(statement);
    const char* sql = utf8.c_str();
    affected = 0;
    while (sql && *sql) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, &tail) != SQLITE_OK) {
            return Fail(error);
        }
        if (!stmt) {
            break;  // only white space or a comment was left
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            Fail(error);
            sqlite3_finalize(stmt);
            return false;
        }
        affected = sqlite3_changes(m_db);
        sqlite3_finalize(stmt);
        sql = tail;
    }
    return true;
}

std::string CSqliteConnection::QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

bool CSqliteConnection::ReadRows(sqlite3_stmt* stmt, bool withRowid, CRowSet& out,
                                 SDbError& error) {
    const int first = withRowid ? 1 : 0;
    const int count = sqlite3_column_count(stmt);
    out.columns.clear();
    std::vector<EValueKind> declared;
    for (int i = first; i < count; ++i) {
        const char* name = sqlite3_column_name(stmt, i);
        std::string bytes;
        CWin1252::FromUtf8(name ? name : "", bytes);
        declared.push_back(CSqliteValues::DeclaredKind(sqlite3_column_decltype(stmt, i)));
        out.columns.push_back({bytes, CSqliteValues::KindFor(declared.back(), SQLITE_INTEGER)});
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const int64_t rowid = withRowid ? sqlite3_column_int64(stmt, 0) : -1;
        std::vector<CFieldValue> row;
        row.reserve(static_cast<size_t>(count - first));
        for (int i = first; i < count; ++i) {
            const auto column = static_cast<size_t>(i - first);
            CFieldValue value;
            std::string misfit;
            if (!CSqliteValues::Read(stmt, i, declared[column], value, misfit)) {
                // A number that does not fit its column would read as another number (a
                // wrong next identifier, say): the read fails.
                const std::string where =
                    withRowid ? "the row with rowid " + std::to_string(rowid)
                              : "row " + std::to_string(out.Rows() + 1) + " of the result";
                return Own(error, "The value is out of range",
                           out.columns[column].name + " of " + where + " holds " + misfit);
            }
            row.push_back(std::move(value));
        }
        std::string why;
        if (!out.AddRow(std::move(row), rowid, why)) {
            return Own(error, "Too much data", why);
        }
    }
    if (rc != SQLITE_DONE) {
        return Fail(error);
    }
    return true;
}

bool CSqliteConnection::Read(const std::string& statement, bool isTable, CRowSet& out,
                             SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    CStatementDeadline::CCall call(m_deadline);
    const std::string source = CWin1252::ToUtf8(statement);
    out = CRowSet();
    std::string sql;
    std::string table;
    if (isTable) {
        table = Unbracket(source);
        sql = "select rowid, * from " + QuoteName(table);
    } else {
        // "select * from T ..." reads rows of one table: take their rowids along, so that
        // changes can go back to the rows they came from.
        static const std::regex kOneTable(
            R"(^\s*select\s+\*\s+from\s+(\[[^\]]+\]|"[^"]+"|[A-Za-z_][A-Za-z0-9_]*)(.*)$)",
            std::regex::icase);
        static const std::regex kJoin(R"(^\s*,|\bjoin\b)", std::regex::icase);
        std::smatch m;
        if (std::regex_match(source, m, kOneTable) && !std::regex_search(m[2].str(), kJoin)) {
            table = Unbracket(m[1].str());
            sql = "select rowid, * from " + m[1].str() + m[2].str();
        } else {
            sql = source;
        }
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        if (!isTable && !table.empty()) {
            // A table without rowids: read it as it stands, not to be written. (A view is
            // not read at all: views are off.)
            table.clear();
            sql = source;
            if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
                return Fail(error);
            }
        } else {
            return Fail(error);
        }
    }
    const bool ok = ReadRows(stmt, !table.empty(), out, error);
    sqlite3_finalize(stmt);
    if (ok) {
        out.table = table;
        out.SetPosition(out.rows.empty() ? -1 : 0);
    }
    return ok;
}

bool CSqliteConnection::Prepare(const std::string& sql, sqlite3_stmt*& stmt, SDbError& error) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) {
        stmt = it->second;
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return true;
    }
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return Fail(error);
    }
    m_cache[sql] = stmt;
    return true;
}

bool CSqliteConnection::Insert(const std::string& table, const std::vector<SColumnValue>& values,
                               const std::vector<SColumn>& columns, int64_t& rowid,
                               std::vector<CFieldValue>& stored, SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    CStatementDeadline::CCall call(m_deadline);
    std::string sql = "insert into " + QuoteName(table);
    if (values.empty()) {
        sql += " default values";
    } else {
        std::string names, marks;
        for (const SColumnValue& v : values) {
            names += (names.empty() ? "" : ", ") + QuoteName(CWin1252::ToUtf8(v.column));
            marks += marks.empty() ? "?" : ", ?";
        }
        sql += " (" + names + ") values (" + marks + ")";
    }
    sqlite3_stmt* stmt = nullptr;
    if (!Prepare(sql, stmt, error)) {
        return false;
    }
    for (size_t i = 0; i < values.size(); ++i) {
        CSqliteValues::Bind(stmt, static_cast<int>(i + 1), values[i].value);
    }
    if (sqlite3_step(stmt) != SQLITE_DONE) {
        Fail(error);
        sqlite3_reset(stmt);
        return false;
    }
    sqlite3_reset(stmt);
    rowid = sqlite3_last_insert_rowid(m_db);

    // Read the row back, so the recordset holds what the table made of it (its defaults).
    std::string names;
    for (const SColumn& c : columns) {
        names += (names.empty() ? "" : ", ") + QuoteName(CWin1252::ToUtf8(c.name));
    }
    if (!Prepare("select rowid, " + names + " from " + QuoteName(table) + " where rowid = ?", stmt,
                 error)) {
        return false;
    }
    sqlite3_bind_int64(stmt, 1, rowid);
    CRowSet row;
    const bool ok = ReadRows(stmt, true, row, error);
    sqlite3_reset(stmt);
    if (!ok || row.rows.size() != 1) {
        return ok ? Other(error, SQLITE_ERROR, "the new row cannot be read back") : false;
    }
    stored = std::move(row.rows.front());
    return true;
}

bool CSqliteConnection::Update(const std::string& table, int64_t rowid,
                               const std::vector<SColumnValue>& values, SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    CStatementDeadline::CCall call(m_deadline);
    std::string sets;
    for (const SColumnValue& v : values) {
        sets += (sets.empty() ? "" : ", ") + QuoteName(CWin1252::ToUtf8(v.column)) + " = ?";
    }
    sqlite3_stmt* stmt = nullptr;
    if (!Prepare("update " + QuoteName(table) + " set " + sets + " where rowid = ?", stmt, error)) {
        return false;
    }
    for (size_t i = 0; i < values.size(); ++i) {
        CSqliteValues::Bind(stmt, static_cast<int>(i + 1), values[i].value);
    }
    sqlite3_bind_int64(stmt, static_cast<int>(values.size() + 1), rowid);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        return Fail(error);
    }
    if (sqlite3_changes(m_db) != 1) {
        return Other(error, SQLITE_NOTFOUND, "the row is no longer in the table");
    }
    return true;
}

bool CSqliteConnection::Delete(const std::string& table, int64_t rowid, SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    CStatementDeadline::CCall call(m_deadline);
    sqlite3_stmt* stmt = nullptr;
    if (!Prepare("delete from " + QuoteName(table) + " where rowid = ?", stmt, error)) {
        return false;
    }
    sqlite3_bind_int64(stmt, 1, rowid);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE ? true : Fail(error);
}

bool CSqliteConnection::Begin(SDbError& error) {
    int affected = 0;
    return Execute("begin immediate", affected, error);
}

bool CSqliteConnection::Commit(SDbError& error) {
    int affected = 0;
    return Execute("commit", affected, error);
}

bool CSqliteConnection::Rollback(SDbError& error) {
    int affected = 0;
    return Execute("rollback", affected, error);
}

bool CSqliteConnection::InTransaction() const {
    return m_db && !sqlite3_get_autocommit(m_db);
}

bool CSqliteConnection::BackupTo(const std::string& path, SDbError& error) {
    if (!m_db) {
        return Fail(error);
    }
    std::string temp;
    std::string why;
    if (!CDatabaseFile::MakeTempBeside(path, temp, why)) {
        return Other(error, SQLITE_CANTOPEN, why);
    }
    sqlite3* target = nullptr;
    bool ok = sqlite3_open_v2(temp.c_str(), &target, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", m_db, "main");
        ok = backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE;
        sqlite3_backup_finish(backup);
        if (!ok) {
            const int code = sqlite3_extended_errcode(target);
            Other(error, code, MessageOf(target));
        }
    } else {
        Other(error, SQLITE_CANTOPEN, MessageOf(target));
    }
    sqlite3_close_v2(target);
    if (ok && !CDatabaseFile::SyncAndRename(temp, path, why)) {
        ok = Other(error, SQLITE_IOERR, why);
    }
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
    }
    return ok;
}

}  // namespace orvex
