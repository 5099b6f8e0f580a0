#pragma once

#include <map>
#include <string>
#include <vector>

#include "db/DataConnection.h"
#include "db/SchemaIni.h"

namespace orvex {

// The text driver: a directory of comma-delimited files read as tables. A file is read by
// column position with the names and types its section of the directory's "Schema.ini" gives
// (without one, the header line names the columns and every column is text); the header line
// is skipped; an empty field is null; an Integer column's numbers are 16-bit values, and a
// number that does not fit is delivered whole as a machine-size integer so that no reader takes
// it for a wrapped one. Every record must have as many fields as the file has columns.
// Queries are those of CTextQuery; the files are only read.
class CTextConnection : public IDataConnection {
  public:
    static constexpr const char* kDefaultExtensions = "asc,csv,tab,txt";

    // directory: the folder of the files (a trailing "/" is allowed). extensions: the file
    // name extensions that can be read, comma-separated ("" for the default list).
    bool Open(const std::string& directory, const std::string& extensions, SDbError& error);
    const std::string& Directory() const { return m_directory; }

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

    // The value of one field as a column of that description delivers it.
    static CFieldValue Convert(const CSchemaIni::SColumnDef& column, std::string text);

  private:
    // One file read whole; kept while the file and its description stay as they were.
    struct STable {
        std::string stamp;
        std::vector<SColumn> columns;
        std::vector<std::vector<CFieldValue>> rows;
    };
    bool Load(const std::string& name, const STable*& table, SDbError& error);
    std::string Stamp(const std::string& path) const;

    std::string m_directory;
    std::vector<std::string> m_extensions;
    std::map<std::string, STable> m_tables;
};

}  // namespace orvex
