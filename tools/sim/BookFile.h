// The text file an address book is kept in, so that a user can write one by hand.
//
//   # a comment; blank lines are ignored too
//   capacity 200
//   P <number> <16 fields, in field-code order>      one personal entry
//   G <number> <name> <id>:<kind> <id>:<kind> ...    one group with its members
//
// Columns are separated by tabs (members may also be separated by spaces). Missing trailing
// fields of a P line are empty. The ByDefault column is 0 to 3 (empty means 0); a member kind
// is 1 to 3. The file is UTF-8; every character must exist in Windows-1252, the device's
// single-byte character set. Escapes: \t tab, \n line feed, \\ backslash, \xHH any byte.
#pragma once

#include <string>

#include "tools/sim/PagerBook.h"

namespace sim {

struct SBookLoad {
    bool ok = false;
    std::string error;  // "line 7: ..." when !ok
    CPagerBook book;
};

class CBookFile {
  public:
    static SBookLoad Parse(const std::string& text);
    // As Parse; the error names the file, e.g. "book.txt: line 7: ...".
    static SBookLoad Load(const std::string& path);

    // A file Parse reads back into the same book, with a comment naming the columns.
    static std::string Format(const CPagerBook& book);
    // Writes Format(book) to a temporary file beside path and renames it over path, so a reader
    // never sees half a book. Returns "" or what went wrong.
    static std::string Save(const CPagerBook& book, const std::string& path);

    // One field: Windows-1252 bytes to UTF-8 with escapes, and back. Unescape returns false and
    // sets error when the text has a bad escape, bad UTF-8 or a character outside the set.
    static std::string Escape(const std::string& bytes);
    static bool Unescape(const std::string& text, std::string& bytes, std::string& error);
};

}  // namespace sim
