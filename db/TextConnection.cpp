#include "db/TextConnection.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "db/CsvReader.h"
#include "db/TextQuery.h"
#include "db/Win1252.h"

namespace orvex {

namespace {

constexpr const char* kSource = "Orvex text driver";

bool Fail(SDbError& error, const std::string& meaning, const std::string& description) {
    error.code = 1;
    error.meaning = meaning;
    error.source = kSource;
    error.description = description;
    return false;
}

std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

bool CTextConnection::Open(const std::string& directory, const std::string& extensions,
                           SDbError& error) {
    struct stat info {};
    const int found = directory.empty() ? -1 : ::stat(directory.c_str(), &info);
    if (found != 0 || !S_ISDIR(info.st_mode)) {
        const int e = directory.empty() ? ENOENT : found != 0 ? errno : ENOTDIR;
        return Fail(
            error, "Not a directory",
            "the folder " + directory + " of the text files cannot be opened: " + std::strerror(e));
    }
    m_directory = directory.back() == '/' ? directory : directory + "/";
    m_extensions.clear();
    const std::string list = extensions.empty() ? kDefaultExtensions : extensions;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        comma = comma == std::string::npos ? list.size() : comma;
        const std::string ext = CWin1252::Folded(TrimBlanks(list.substr(start, comma - start)));
        if (!ext.empty()) {
            m_extensions.push_back(ext);
        }
        start = comma + 1;
    }
    m_tables.clear();
    return true;
}

std::string CTextConnection::Stamp(const std::string& path) const {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return "-";
    }
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ino);
}

CFieldValue CTextConnection::Convert(const CSchemaIni::SColumnDef& column, std::string text) {
    if (text.empty()) {
        return CFieldValue::Null();
    }
    if (column.kind == EValueKind::Text) {
        return CFieldValue::Text(std::move(text));
    }
    const std::string number = TrimBlanks(text);
    errno = 0;
    char* end = nullptr;
    if (column.kind == EValueKind::Double) {
        const double v = std::strtod(number.c_str(), &end);
        if (!number.empty() && *end == '\0' && errno != ERANGE) {
            return CFieldValue::Real(EValueKind::Double, v);
        }
        return CFieldValue::Text(std::move(text));
    }
    const long long v = std::strtoll(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || errno == ERANGE) {
        // Not a number: it stays the text it is, and reading it as a number fails.
        return CFieldValue::Text(std::move(text));
    }
    if (v < INT_MIN || v > INT_MAX) {
        return CFieldValue{EValueKind::Other, 0, 0, std::move(text)};
    }
    const long long limit = column.bits == 8 ? 0xFF : column.bits == 16 ? 0x7FFF : INT_MAX;
    const long long low = column.bits == 8 ? 0 : column.bits == 16 ? -0x8000 : INT_MIN;
    if (v < low || v > limit) {
        return CFieldValue::Int(EValueKind::MachineInt, v);
    }
    return CFieldValue::Int(column.kind, v);
}

bool CTextConnection::Load(const std::string& name, const STable*& table, SDbError& error) {
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : CWin1252::Folded(name.substr(dot + 1));
    bool allowed = false;
    for (const std::string& e : m_extensions) {
        allowed = allowed || e == ext;
    }
    if (!allowed) {
        return Fail(error, "Cannot update. Database or object is read-only.",
                    "the text driver does not read files named " + name);
    }
    const std::string path = m_directory + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Fail(error, "Object not found", "the text file " + path + " cannot be found");
    }
    const std::string stamp = Stamp(path) + "|" + Stamp(CSchemaIni::FindFile(m_directory));
    auto cached = m_tables.find(name);
    if (cached != m_tables.end() && cached->second.stamp == stamp) {
        table = &cached->second;
        return true;
    }

    CSchemaIni::SFormat format;
    std::string why;
    if (!CSchemaIni::Load(m_directory, name, format, why)) {
        return Fail(error, "Invalid column description", why);
    }
    std::vector<CCsvReader::Record> records;
    if (!CCsvReader::ReadFile(path, records, why)) {
        return Fail(error, "Invalid file format", why);
    }
    STable loaded;
    loaded.stamp = stamp;
    size_t first = 0;
    if (format.columns.empty()) {
        // No description of the columns: the header names them, and all are texts.
        if (!records.empty() && format.header) {
            for (const CCsvReader::Field& field : records.front()) {
                format.columns.push_back({field.value_or(""), EValueKind::Text, 0, 0});
            }
        } else if (!records.empty()) {
            for (size_t i = 0; i < records.front().size(); ++i) {
                format.columns.push_back({"F" + std::to_string(i + 1), EValueKind::Text, 0, 0});
            }
        }
    }
    if (format.header && !records.empty()) {
        first = 1;
    }
    for (const CSchemaIni::SColumnDef& def : format.columns) {
        loaded.columns.push_back({def.name, def.kind});
    }
    loaded.rows.reserve(records.size() - first);
    for (size_t r = first; r < records.size(); ++r) {
        CCsvReader::Record& record = records[r];
        if (record.size() != format.columns.size()) {
            return Fail(error, "Invalid file format",
                        path + ": record " + std::to_string(r + 1) + " has " +
                            std::to_string(record.size()) + " fields, the file has " +
                            std::to_string(format.columns.size()) + " columns");
        }
        std::vector<CFieldValue> row;
        row.reserve(record.size());
        for (size_t c = 0; c < record.size(); ++c) {
            row.push_back(Convert(format.columns[c], std::move(record[c]).value_or("")));
        }
        loaded.rows.push_back(std::move(row));
    }
    STable& slot = m_tables[name];
    slot = std::move(loaded);
    table = &slot;
    return true;
}

bool CTextConnection::Read(const std::string& source, bool isTable, CRowSet& out, SDbError& error) {
    out = CRowSet();
    CTextQuery query;
    std::string why;
    if (!query.Parse(isTable ? "select * from " + source : source, why)) {
        return Fail(error, "Syntax error in the query", why + " (in: " + source + ")");
    }
    const STable* table = nullptr;
    if (!Load(query.Table(), table, error)) {
        return false;
    }
    if (!query.Bind(table->columns, why)) {
        return Fail(error, "Invalid query", why + " (in: " + source + ")");
    }
    const std::vector<int>& selected = query.Selected();
    for (int column : selected) {
        out.columns.push_back(table->columns[static_cast<size_t>(column)]);
    }
    for (const auto& row : table->rows) {
        if (!query.Matches(row)) {
            continue;
        }
        std::vector<CFieldValue> picked;
        picked.reserve(selected.size());
        for (int column : selected) {
            picked.push_back(row[static_cast<size_t>(column)]);
        }
        out.rows.push_back(std::move(picked));
        out.rowids.push_back(-1);
    }
    out.SetPosition(out.rows.empty() ? -1 : 0);
    return true;
}

bool CTextConnection::Execute(const std::string& statement, int& affected, SDbError& error) {
    affected = 0;
    return Fail(error, "Operation not supported",
                "the text driver only reads; it cannot run: " + statement);
}

bool CTextConnection::Insert(const std::string& table, const std::vector<SColumnValue>&,
                             const std::vector<SColumn>&, int64_t&, std::vector<CFieldValue>&,
                             SDbError& error) {
    return Fail(error, "Operation not supported", "the text file " + table + " is only read");
}

bool CTextConnection::Update(const std::string& table, int64_t, const std::vector<SColumnValue>&,
                             SDbError& error) {
    return Fail(error, "Operation not supported", "the text file " + table + " is only read");
}

bool CTextConnection::Delete(const std::string& table, int64_t, SDbError& error) {
    return Fail(error, "Operation not supported", "the text file " + table + " is only read");
}

bool CTextConnection::Begin(SDbError& error) {
    return Fail(error, "Operation not supported", "the text driver has no transactions");
}

bool CTextConnection::Commit(SDbError& error) {
    return Begin(error);
}

bool CTextConnection::Rollback(SDbError& error) {
    return Begin(error);
}

}  // namespace orvex
