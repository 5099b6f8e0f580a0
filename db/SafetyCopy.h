#pragma once

#include <string>

#include "db/ADODatabase.h"

namespace orvex {

// The safety copy an operation that replaces all contacts makes first: the database file's
// full name with ".bak" appended, beside it. It lives only while that operation runs: made
// before the first contact is touched, discarded on success, copied back on failure.
class CSafetyCopy {
  public:
    explicit CSafetyCopy(const std::string& databasePath);

    const std::string& Path() const { return m_path; }
    const std::string& DatabasePath() const { return m_databasePath; }
    bool Exists() const;

    // A consistent copy of the open database, synced to disk (an older copy is replaced).
    // On failure nothing may be replaced: error says why.
    bool Make(CADODatabase& database, std::string& error);
    // Puts the copy back over the database file (its connection closed) and deletes the copy.
    // The database file is replaced whole or not at all; the copy is deleted only once the
    // file holds it again, so a failed restore never loses the only good copy.
    bool Restore(std::string& error);
    // Deletes the copy; a missing copy is no failure.
    bool Discard(std::string& error);

  private:
    std::string m_databasePath;
    std::string m_path;
};

}  // namespace orvex
