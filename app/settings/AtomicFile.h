#pragma once

#include <string>

namespace orvex {

// Writes that never leave a half-written file under the real name. The bytes go to a hidden
// temporary file in the target's own folder (so that the final step is a rename within one
// file system), are synced to disk, and only then does the temporary file take the name.
// Every failure removes the temporary file and says why in `error`, naming the path.
class CAtomicFile {
  public:
    // Creates or replaces `path` with exactly `bytes`. An existing file keeps its permission
    // bits; one that we may not write (read-only file) is refused rather than replaced behind
    // the user's back. A symbolic link is followed, so the file it names is replaced.
    static bool Replace(const std::string& path, const std::string& bytes, std::string& error);

    // Copies `from` to `to` unless something already exists under `to`; that is checked again
    // at the moment the copy takes the name, so a file made meanwhile by someone else is never
    // overwritten either. `created` tells whether the copy was made.
    static bool CopyIfAbsent(const std::string& from, const std::string& to, bool& created,
                             std::string& error);
};

}  // namespace orvex
