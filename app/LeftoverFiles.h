#pragma once

#include <string>
#include <vector>

namespace orvex {

class CBookHistory;

// What an interrupted run of the program may leave beside a database file, taken care of
// before the file is used again. Nothing of the user's is ever deleted unseen:
// - the safety copy "<file>.bak" of a download or import that did not end holds a whole book
//   (the one before the operation): it goes into the history as "interrupted", where the user
//   can see and restore it; if that fails it stays where it is;
// - a rollback journal that holds nothing (empty or with a zeroed header) is removed; one
//   with content is left for SQLite, which rolls it back when the file is opened;
// - the temporary files of the program's own atomic copies beside the file
//   (".<file>.XXXXXX", ".<file>.bak.XXXXXX", and their journals) are removed.
// It runs only while no program holds the database file, so no operation can be under way.
class CLeftoverFiles {
  public:
    struct SResult {
        std::vector<std::string> adopted;  // safety copies taken into the history
        std::vector<std::string> removed;  // journals and temporary files removed
        std::string error;                 // why a safety copy stays where it was
    };

    static SResult TidyBeside(const std::string& databasePath, CBookHistory& history);
    // The temporary files of the program's own atomic writes in the program directory
    // (".OrvexMgr.ini.<pid>-<n>.tmp" and the like) whose process no longer runs.
    static std::vector<std::string> TidyProgramDirectory(const std::string& programDirectory);

    // The copies in the history folder that an interrupted keep left before they took their
    // name. Only while this copy of the program is the only one (no keep can be under way).
    static std::vector<std::string> TidyHistory(const std::string& historyFolder);

    // A journal that cannot roll anything back: empty, or its magic number zeroed.
    static bool IsEmptyJournal(const std::string& path);
};

}  // namespace orvex
