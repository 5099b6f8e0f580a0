#include "db/SafetyCopy.h"

#include <filesystem>
#include <system_error>

#include "db/DatabaseFile.h"

namespace orvex {

CSafetyCopy::CSafetyCopy(const std::string& databasePath)
    : m_databasePath(databasePath), m_path(databasePath + ".bak") {}

bool CSafetyCopy::Exists() const {
    std::error_code ec;
    return std::filesystem::is_regular_file(m_path, ec);
}

bool CSafetyCopy::Make(CADODatabase& database, std::string& error) {
    if (!database.IsOpen()) {
        error = "The database " + m_databasePath + " is not open.";
        return false;
    }
    if (!database.BackupTo(m_path)) {
        error = "The safety copy " + m_path +
                " could not be written: " + database.GetErrorDescription();
        return false;
    }
    return true;
}

bool CSafetyCopy::Restore(std::string& error) {
    if (!CDatabaseFile::CopyAtomically(m_path, m_databasePath, error)) {
        return false;
    }
    return Discard(error);
}

bool CSafetyCopy::Discard(std::string& error) {
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
    if (ec) {
        error = "The safety copy " + m_path + " could not be deleted: " + ec.message();
        return false;
    }
    return true;
}

}  // namespace orvex
