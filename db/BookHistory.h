#pragma once

#include <string>
#include <vector>

#include "db/ADODatabase.h"

namespace orvex {

// One earlier book: a copy of the contacts database as it was before an operation replaced or
// added contacts wholesale.
struct SBookEntry {
    std::string path;       // the copy's file
    std::string when;       // local time of the copy, "2026-12-08 14:03:27"
    std::string operation;  // what replaced it: CBookHistory::kDownload, kImport, ...
    std::string detail;     // e.g. the imported file's name (UTF-8, untrusted); "" when none
    int personal = -1;      // counts read from the copy; -1 when it cannot be read
    int groups = -1;
};

// The earlier books, kept in a folder of their own (the program directory's "history/"):
// every operation that replaces or adds contacts wholesale first keeps the book as it was,
// so that a wrong download or import can be taken back.
//
// Each book is a plain contacts file, which Load DB File accepts as it is, named
// "20261208-130327-123Z-download.mdb": the moment of the copy in UTC to the millisecond (the
// names sort in the order the books were kept, whatever the clocks' summer time does), then
// the operation in lower-case letters, digits and dashes. Beside it "<name>.info" describes
// it in key=value lines (operation, detail, when). The detail never becomes part of a name.
// A copy whose description is missing is still listed, described by its name.
class CBookHistory {
  public:
    static constexpr int kKeep = 30;

    // What replaced a book.
    static constexpr const char* kDownload = "download";
    static constexpr const char* kImport = "import";
    static constexpr const char* kRestore = "restore";
    // A safety copy left behind by an operation that did not end.
    static constexpr const char* kInterrupted = "interrupted";

    explicit CBookHistory(std::string folder);

    const std::string& Folder() const { return m_folder; }

    // A consistent copy of the open database (made before any transaction begins), synced to
    // disk before it takes its name, and its description; then the oldest books beyond kKeep
    // are removed, never the one just made nor `spare` (a book about to be restored, which
    // may be the oldest: the next oldest goes in its place). The folder is made (mode 0700)
    // when missing. False with `error`
    // when no book was kept; then nothing of it is left behind, and the caller does not go
    // on with its operation.
    bool Keep(CADODatabase& database, const std::string& operation, const std::string& detail,
              std::string& error, const std::string& spare = {});
    // Takes an existing file (a safety copy left by an interrupted operation) into the
    // history: renamed, or copied, synced and then removed when the folder is on another file
    // system. On failure the file stays where it was.
    bool Adopt(const std::string& file, const std::string& operation, const std::string& detail,
               std::string& error);
    // The books, newest first, with their counts. A description without its copy is not
    // listed; a copy that cannot be read is, with counts -1.
    std::vector<SBookEntry> List() const;
    // Puts the entry's copy over the database file at databasePath, whose connection the
    // caller has closed: through a synced temporary file beside it that takes the name, with
    // the file's permission bits. A copy that fails the schema check is refused and the file
    // stays as it was. The copy stays in the history.
    bool RestoreInto(const SBookEntry& entry, const std::string& databasePath,
                     std::string& error) const;

    // Opens a book for reading only, without holding it.
    static bool OpenCopy(const std::string& path, CADODatabase& database);
    // The personal and group rows of a book; false (and -1 for both) when it cannot be read.
    static bool ReadCounts(const std::string& path, int& personal, int& groups);

  private:
    bool MakeFolder(std::string& error) const;
    // A free name for a new book: after every book already kept, so the newest is always the
    // last made even when the clock went back.
    std::string NewPath(const std::string& operation) const;
    bool WriteInfo(const std::string& copy, const std::string& operation, const std::string& detail,
                   const std::string& when, std::string& error) const;
    // Removes the oldest books beyond kKeep (and descriptions left without their copies).
    void Prune(const std::string& made, const std::string& spare) const;
    // The names of the books in the folder, oldest first.
    std::vector<std::string> Names() const;

    std::string m_folder;
};

}  // namespace orvex
