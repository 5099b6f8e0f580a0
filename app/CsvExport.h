#pragma once

#include <string>

#include "app/CsvColumns.h"
#include "db/ADODatabase.h"

namespace orvex {

// The whole contacts table, groups and personal contacts alike, as one comma-delimited file in
// ascending identifier order: a header line, then 22 fields a line, lines ended by carriage
// return and line feed, texts as their Windows-1252 bytes. The import reads it back.
class CCsvExport {
  public:
    // The file's column names in table order, comma-separated.
    static constexpr auto kHeaderText = CCsvColumns::Make<&CCsvColumns::Header>();
    static constexpr const char* kHeader = kHeaderText.data();
    // The file dialogs' filter of Export and Import.
    static constexpr const char* kFileFilter =
        "CSV (Comma delimited) (*.csv)|*.csv|Text Documents (*.txt)|*.txt||";

    // Writes the file at path (an existing one is replaced, whole, once the new one is on disk,
    // keeping its permission bits). False when the file cannot be created or written, or the
    // table cannot be read; error then is the message for the user, naming the file and the
    // reason; an existing file is then as it was and no incomplete file is left behind.
    static bool ExportContacts(CADODatabase& database, const std::string& path, std::string& error);
    // Puts a value in double quotes, its own double quotes doubled, when it begins or ends with
    // a blank or holds a comma, a line feed or a double quote.
    static void QuoteCsvField(std::string& value);
};

}  // namespace orvex
