#include "app/CsvExport.h"

#include "app/OutputFile.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace orvex {

void CCsvExport::QuoteCsvField(std::string& value) {
    bool quote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
    bool quotes = false;
    for (char c : value) {
        quotes = quotes || c == '"';
        quote = quote || c == ',' || c == '\n' || c == '"';
    }
    if (quotes) {
        std::string doubled;
        doubled.reserve(value.size() + 4);
        for (char c : value) {
            doubled += c;
            if (c == '"') {
                doubled += '"';
            }
        }
        value.swap(doubled);
    }
    if (quote) {
        value = '"' + value + '"';
    }
}

bool CCsvExport::ExportContacts(CADODatabase& database, const std::string& path,
                                std::string& error) {
    COutputFile file;
    if (!file.Create(path)) {
        error = "The file " + path + " could not be created:\n" + file.Reason();
        return false;
    }
    file.Write(std::string(kHeader) + "\n");

    CADORecordset table(&database);
    std::string failure;
    int columns[CContactsTable::kColumnCount];
    if (!table.Open(CContactsTable::kTable, CADORecordset::openTable) ||
        !table.SortBy(CContactsTable::kSortById)) {
        failure = table.GetLastErrorString();
    }
    // The file's order of the columns, whatever order the table keeps them in.
    for (int i = 0; failure.empty() && i < CContactsTable::kColumnCount; ++i) {
        columns[i] = -1;
        for (int f = 0; f < table.FieldCount(); ++f) {
            if (table.FieldName(f) == CContactsTable::kColumns[i].name) {
                columns[i] = f;
            }
        }
        if (columns[i] < 0) {
            failure = std::string("the table has no column ") + CContactsTable::kColumns[i].name;
        }
    }
    const int rows = failure.empty() ? table.RowCount() : 0;
    if (rows > 0) {
        table.MoveFirst();
    }
    std::string line;
    std::string value;
    for (int r = 0; failure.empty() && r < rows; ++r) {
        line.clear();
        for (int i = 0; i < CContactsTable::kColumnCount; ++i) {
            if (!table.ReadText(columns[i], value)) {
                failure = table.GetLastErrorString();
                break;
            }
            QuoteCsvField(value);
            if (i > 0) {
                line += ',';
            }
            line += value;
        }
        line += '\n';
        file.Write(line);
        table.MoveNext();
    }
    table.Close();
    // The table's own record of a failure stays in the recordset's error text.
    return file.CommitExport(path, failure.empty(), error);
}

}  // namespace orvex
