#pragma once

#include <string>

#include "db/ADODatabase.h"

namespace orvex {

// The whole contacts table, groups and personal contacts alike, as one comma-delimited file in
// ascending identifier order: a header line, then 22 fields a line, lines ended by carriage
// return and line feed, texts as their Windows-1252 bytes. The import reads it back.
class CCsvExport {
  public:
    static constexpr const char* kHeader =
        "CONTACT_ID,ENTRY_INDEX,GROUP_OR_PERSONAL,FIRST_NAME,LAST_NAME,WIRELESS_ADDRESS,"
        "WORK_EMAIL,HOME_EMAIL,DEFAULT_ADDRESS,GROUP_OF_WIRELESS_ADDRESS,GROUP_OF_WORK_EMAIL,"
        "GROUP_OF_HOME_EMAIL,COMPANY,HOME_PHONE,WORK_PHONE,MOBILE_PHONE,FAX,STREET,CITY,STATE,"
        "ZIP,NOTE";
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
