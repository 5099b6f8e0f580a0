#pragma once

#include <string>

namespace orvex {

// Copies of database files that never leave a half-written file under the target's name:
// the bytes go to a temporary file in the target's folder, are synced to disk, and only then
// does the temporary file take the name.
class CDatabaseFile {
  public:
    // Replaces (or creates) `to` with a copy of `from`. On failure `to` is as it was and
    // `error` says why, naming the file.
    static bool CopyAtomically(const std::string& from, const std::string& to, std::string& error);
    // A new empty temporary file in the folder of `target`.
    static bool MakeTempBeside(const std::string& target, std::string& temp, std::string& error);
    // The file exists, can be read, and no other program holds it (the start-up check).
    static bool CanOpenExclusively(const std::string& path);
    // Gives `temp` the permission bits (and owner, for root) of an existing `target`, or those
    // of a new file under the umask, syncs it to disk, renames it to `target` and syncs the
    // folder.
    static bool SyncAndRename(const std::string& temp, const std::string& target,
                              std::string& error);
    // Syncs a folder to disk, so that the names last that were given in it.
    static bool SyncFolder(const std::string& folder, std::string& error);
};

}  // namespace orvex
