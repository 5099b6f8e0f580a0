#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/FieldValue.h"
#include "db/RowSet.h"

namespace orvex {

// A failure as the data source reports it: its result code, the meaning of that code, the
// source and the source's own description.
struct SDbError {
    long code = 0;
    std::string meaning;
    std::string source;
    std::string description;
};

struct SColumnValue {
    std::string column;
    CFieldValue value;
};

// One data source behind a CADODatabase: an SQLite contacts file, or the text driver's
// directory of comma-delimited files.
class IDataConnection {
  public:
    virtual ~IDataConnection() = default;

    // Runs a statement that returns no rows.
    virtual bool Execute(const std::string& statement, int& affected, SDbError& error) = 0;
    // Reads a whole result into out: a query, or (isTable) the table of that name. Rows that
    // can be written back carry their rowid and out.table names their table.
    virtual bool Read(const std::string& source, bool isTable, CRowSet& out, SDbError& error) = 0;
    // Appends a row and returns the stored row (defaults filled in) in columns' order.
    virtual bool Insert(const std::string& table, const std::vector<SColumnValue>& values,
                        const std::vector<SColumn>& columns, int64_t& rowid,
                        std::vector<CFieldValue>& stored, SDbError& error) = 0;
    virtual bool Update(const std::string& table, int64_t rowid,
                        const std::vector<SColumnValue>& values, SDbError& error) = 0;
    virtual bool Delete(const std::string& table, int64_t rowid, SDbError& error) = 0;

    virtual bool Begin(SDbError& error) = 0;
    virtual bool Commit(SDbError& error) = 0;
    virtual bool Rollback(SDbError& error) = 0;
};

}  // namespace orvex
