#pragma once

#include <sqlite3.h>

#include <string>

#include "db/FieldValue.h"

namespace orvex {

// How SQLite's stored values become the program's typed fields, and a field a bound value
// again. A field takes the type its column declares (SMALLINT is 16-bit, INTEGER 32-bit,
// VARCHAR text) unless what is stored cannot be of that type; texts are Windows-1252 in the
// field and UTF-8 in the file.
class CSqliteValues {
  public:
    // The value type a declared column type gives (Null: none declared, Other: unknown)...
    static EValueKind DeclaredKind(const char* declaredType);
    // ...and the type of one field, from that and the stored value.
    static EValueKind KindFor(EValueKind declared, int storageClass);
    // Column i of the statement's current row as a field of a column declared `declared`.
    // A number that does not fit the width the column declares is no value the program can
    // use: false, and `misfit` says what the column holds.
    static bool Read(sqlite3_stmt* statement, int i, EValueKind declared, CFieldValue& value,
                     std::string& misfit);
    static void Bind(sqlite3_stmt* statement, int index, const CFieldValue& value);
};

}  // namespace orvex
