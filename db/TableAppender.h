#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "db/ADODatabase.h"
#include "db/FieldValue.h"

namespace orvex {

// Appends many rows to a table of an open contacts database file through one prepared
// statement, for the operations that store a whole file of rows and read none of them back
// (the recordset's way reads every new row back). Values are stored as the recordset stores
// them: texts from Windows-1252 to UTF-8, an empty text as null, integers as 16-bit values; an
// integer outside -32768..32767 is refused, never wrapped.
class CTableAppender {
  public:
    explicit CTableAppender(CADODatabase& database) : m_database(database) {}
    ~CTableAppender();
    CTableAppender(const CTableAppender&) = delete;
    CTableAppender& operator=(const CTableAppender&) = delete;

    // The statement for these columns of table ("[t_Contacts]" or t_Contacts).
    bool Prepare(const std::string& table, const std::vector<std::string>& columns);
    // One row, its values in the columns' order.
    bool Append(const std::vector<CFieldValue>& values);
    const std::string& Error() const { return m_error; }

  private:
    bool Fail(const std::string& why);

    CADODatabase& m_database;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    size_t m_columns = 0;
    std::string m_error;
};

}  // namespace orvex
