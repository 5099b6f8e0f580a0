#include "app/LeftoverFiles.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "db/BookHistory.h"
#include "db/DatabaseFile.h"

namespace orvex {

namespace {

namespace fs = std::filesystem;

// A rollback journal whose first bytes (its magic number) are zero holds nothing SQLite
// would play back: it treats such a file as no journal at all. A kill before the journal's
// first sync leaves exactly that.
constexpr std::streamsize kJournalMagic = 8;

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// "<prefix>XXXXXX": the name mkstemp gave a temporary file made from that prefix, or the
// rollback journal SQLite made beside such a file ("<prefix>XXXXXX-journal").
bool IsTempOf(std::string name, const std::string& prefix) {
    const std::string journal = "-journal";
    if (name.size() > journal.size() &&
        name.compare(name.size() - journal.size(), journal.size(), journal) == 0) {
        name.resize(name.size() - journal.size());
    }
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

void Remove(const fs::path& path, std::vector<std::string>& removed) {
    std::error_code ec;
    if (fs::remove(path, ec)) {
        removed.push_back(path.string());
    }
}

// Removes the regular files of a folder whose names `leftover` picks.
void RemoveFrom(const fs::path& folder, const std::function<bool(const std::string&)>& leftover,
                std::vector<std::string>& removed) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (leftover(entry.path().filename().string()) && IsRegularFile(entry.path())) {
            Remove(entry.path(), removed);
        }
    }
}

// ".<name>.<pid>-<n>.tmp", as the program's atomic writes name their temporary files, of a
// process that has ended.
bool IsOrphanedTemp(const std::string& file) {
    if (file.size() < 8 || file[0] != '.' || file.compare(file.size() - 4, 4, ".tmp") != 0) {
        return false;
    }
    const size_t dash = file.rfind('-');
    const size_t dot = dash == std::string::npos ? std::string::npos : file.rfind('.', dash);
    if (dot == std::string::npos || dot == 0) {
        return false;
    }
    const std::string pidText = file.substr(dot + 1, dash - dot - 1);
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long pid = std::strtol(pidText.c_str(), nullptr, 10);
    const bool running =
        pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    return !running;
}

}  // namespace

bool CLeftoverFiles::IsEmptyJournal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    char header[kJournalMagic] = {};
    in.read(header, kJournalMagic);
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
        if (header[i] != 0) {
            return false;
        }
    }
    return true;
}

CLeftoverFiles::SResult CLeftoverFiles::TidyBeside(const std::string& databasePath,
                                                   CBookHistory& history) {
    SResult result;
    // A file that another program holds may be in the middle of an operation.
    if (!CDatabaseFile::CanOpenExclusively(databasePath)) {
        return result;
    }
    const fs::path database(databasePath);
    const std::string bak = databasePath + ".bak";
    if (IsRegularFile(bak)) {
        std::string error;
        if (history.Adopt(bak, CBookHistory::kInterrupted, database.filename().string(), error)) {
            result.adopted.push_back(bak);
        } else {
            result.error = error;
        }
    }
    const std::string journal = databasePath + "-journal";
    if (IsRegularFile(journal) && IsEmptyJournal(journal)) {
        Remove(journal, result.removed);
    }
    const fs::path folder = database.has_parent_path() ? database.parent_path() : fs::path(".");
    const std::string name = database.filename().string();
    RemoveFrom(
        folder,
        [&name](const std::string& file) {
            return IsTempOf(file, "." + name + ".") || IsTempOf(file, "." + name + ".bak.");
        },
        result.removed);
    return result;
}

std::vector<std::string> CLeftoverFiles::TidyHistory(const std::string& historyFolder) {
    std::vector<std::string> removed;
    // ".<book>.mdb.XXXXXX" (and its journal): a copy that never took its name;
    // ".<book>.mdb.info.XXXXXX": its description, likewise.
    RemoveFrom(
        historyFolder,
        [](const std::string& file) {
            const size_t mdb = file.find(".mdb.");
            const size_t info = file.find(".mdb.info.");
            return file.size() > 1 && file[0] == '.' &&
                   ((mdb != std::string::npos && IsTempOf(file, file.substr(0, mdb + 5))) ||
                    (info != std::string::npos && IsTempOf(file, file.substr(0, info + 10))));
        },
        removed);
    return removed;
}

std::vector<std::string> CLeftoverFiles::TidyProgramDirectory(const std::string& programDirectory) {
    std::vector<std::string> removed;
    RemoveFrom(programDirectory, IsOrphanedTemp, removed);
    return removed;
}

}  // namespace orvex
