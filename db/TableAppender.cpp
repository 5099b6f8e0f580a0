#include "db/TableAppender.h"

#include <cstdint>

#include "db/SqliteConnection.h"
#include "db/Win1252.h"

namespace orvex {

CTableAppender::~CTableAppender() {
    sqlite3_finalize(m_statement);
}

bool CTableAppender::Fail(const std::string& why) {
    m_error = why;
    return false;
}

bool CTableAppender::Prepare(const std::string& table, const std::vector<std::string>& columns) {
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    auto* sqlite = dynamic_cast<CSqliteConnection*>(m_database.Connection());
    if (!sqlite || !sqlite->Handle()) {
        return Fail("rows can be appended only to an open database file");
    }
    m_db = sqlite->Handle();
    std::string name = table;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    std::string names, marks;
    for (const std::string& column : columns) {
        names +=
            (names.empty() ? "" : ", ") + CSqliteConnection::QuoteName(CWin1252::ToUtf8(column));
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string sql = "insert into " + CSqliteConnection::QuoteName(CWin1252::ToUtf8(name)) +
                            " (" + names + ") values (" + marks + ")";
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_statement, nullptr) != SQLITE_OK) {
        return Fail(CSqliteConnection::MessageOf(m_db));
    }
    m_columns = columns.size();
    return true;
}

bool CTableAppender::Append(const std::vector<CFieldValue>& values) {
    if (!m_statement) {
        return Fail("no statement is prepared");
    }
    if (values.size() != m_columns) {
        return Fail("a row of " + std::to_string(values.size()) + " values for " +
                    std::to_string(m_columns) + " columns");
    }
    // Every parameter is bound anew below.
    sqlite3_reset(m_statement);
    for (size_t i = 0; i < values.size(); ++i) {
        const CFieldValue& v = values[i];
        const int index = static_cast<int>(i + 1);
        if (v.IsNull() || (v.kind == EValueKind::Text && v.text.empty())) {
            sqlite3_bind_null(m_statement, index);
        } else if (v.kind == EValueKind::Text) {
            const std::string utf8 = CWin1252::ToUtf8(v.text);
            sqlite3_bind_text(m_statement, index, utf8.data(), static_cast<int>(utf8.size()),
                              SQLITE_TRANSIENT);
        } else if (v.IsInteger()) {
            if (v.integer < INT16_MIN || v.integer > INT16_MAX) {
                return Fail("the value " + std::to_string(v.integer) +
                            " does not fit a 16-bit field");
            }
            sqlite3_bind_int64(m_statement, index, v.integer);
        } else {
            return Fail("only texts and integers are appended");
        }
    }
    const int rc = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    return rc == SQLITE_DONE ? true : Fail(CSqliteConnection::MessageOf(m_db));
}

}  // namespace orvex
