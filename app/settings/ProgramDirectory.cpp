#include "app/settings/ProgramDirectory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/settings/AtomicFile.h"
#include "app/settings/SettingsFile.h"

namespace orvex {

namespace {

namespace fs = std::filesystem;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Normalised ("//" and "/./" folded), always with a final "/".
std::string AsFolder(const fs::path& path) {
    std::string text = path.lexically_normal().string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// The whole of a regular file of a sane size (the help page is some tens of kilobytes).
bool ReadWhole(const std::string& path, std::string& bytes) {
    constexpr std::uintmax_t kLargest = 16u << 20;
    std::error_code ec;
    if (!fs::is_regular_file(fs::status(path, ec)) || fs::file_size(path, ec) > kLargest || ec) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(fs::status(path, ec));
}

// Creates `dir` and any missing parent, each readable by the user alone.
bool MakeFolders(const fs::path& dir, std::string& error) {
    fs::path prefix;
    for (const fs::path& part : dir) {
        if (part.empty()) {
            continue;
        }
        prefix /= part;
        if (IsFolder(prefix)) {
            continue;
        }
        if (::mkdir(prefix.c_str(), 0700) != 0 && !(errno == EEXIST && IsFolder(prefix))) {
            error = errno == EEXIST ? "cannot create the folder " + prefix.string() +
                                          ": a file of that name is in the way"
                                    : "cannot create the folder " + prefix.string() + ": " +
                                          std::strerror(errno);
            return false;
        }
    }
    return true;
}

void AddError(std::string& errors, const std::string& error) {
    errors += errors.empty() ? error : "; " + error;
}

}  // namespace

std::string CProgramDirectory::HomeFolder() {
    const std::string home = Variable("HOME");
    if (!home.empty() && home.front() == '/') {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return entry->pw_dir;
    }
    return "";
}

bool CProgramDirectory::Locate(std::string& dir, std::string& error) {
    const std::string own = Variable(kHomeVariable);
    if (!own.empty()) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(own, ec);
        if (ec) {
            error = std::string("cannot make ") + kHomeVariable + "=" + own +
                    " an absolute path: " + ec.message();
            return false;
        }
        dir = AsFolder(absolute);
        return true;
    }
    // Relative values of XDG_DATA_HOME are invalid by the XDG rules and are ignored.
    const std::string data = Variable("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/') {
        dir = AsFolder(fs::path(data) / kFolderName);
        return true;
    }
    const std::string home = HomeFolder();
    if (home.empty()) {
        error = std::string("cannot find the home folder for the program's files; set ") +
                kHomeVariable + " to a folder";
        return false;
    }
    dir = AsFolder(fs::path(home) / ".local/share" / kFolderName);
    return true;
}

bool CProgramDirectory::IsFirstStart(const std::string& dir) {
    return !IsFolder(dir) || !Exists(fs::path(dir) / CSettingsFile::kFileName);
}

bool CProgramDirectory::Prepare(const std::string& dir, const std::string& shippedDatabase,
                                const std::string& shippedHelp, std::string& error) {
    if (!IsFirstStart(dir)) {
        return true;
    }
    if (!MakeFolders(dir, error)) {
        return false;
    }
    std::string errors;
    const std::pair<const char*, const std::string*> files[] = {{kDatabaseFile, &shippedDatabase},
                                                                {kHelpFile, &shippedHelp}};
    for (const auto& [name, shipped] : files) {
        const std::string target = (fs::path(dir) / name).string();
        if (Exists(target)) {
            continue;
        }
        if (shipped->empty()) {
            AddError(errors, std::string("no shipped ") + name + " was found to copy into " + dir);
            continue;
        }
        std::error_code ec;
        const fs::file_status status = fs::status(*shipped, ec);
        if (!fs::exists(status)) {
            AddError(errors, "the shipped file " + *shipped + " does not exist");
            continue;
        }
        if (!fs::is_regular_file(status)) {
            AddError(errors, "the shipped file " + *shipped + " is not a regular file");
            continue;
        }
        bool created = false;
        std::string copyError;
        if (!CAtomicFile::CopyIfAbsent(*shipped, target, created, copyError)) {
            AddError(errors, copyError);
        }
    }
    if (!errors.empty()) {
        error = errors;
        return false;
    }
    return true;
}

bool CProgramDirectory::RefreshHelp(const std::string& dir, const std::string& shippedHelp,
                                    bool& replaced, std::string& error) {
    replaced = false;
    if (shippedHelp.empty() || !IsFolder(dir)) {
        return true;
    }
    std::string shipped;
    if (!ReadWhole(shippedHelp, shipped)) {
        error = "the shipped help page " + shippedHelp + " could not be read";
        return false;
    }
    const std::string target = (fs::path(dir) / kHelpFile).string();
    std::string current;
    if (ReadWhole(target, current) && current == shipped) {
        return true;
    }
    if (!CAtomicFile::Replace(target, shipped, error)) {
        return false;
    }
    replaced = true;
    return true;
}

std::vector<std::string> CProgramDirectory::ShippedFolders(const std::string& exePath) {
    const fs::path exeDir = fs::path(exePath).parent_path();
    return {AsFolder(exeDir / ".." / "share" / kFolderName), AsFolder(exeDir / ".." / "res"),
            AsFolder(exeDir / ".." / ".." / "res")};
}

std::string CProgramDirectory::FindShipped(const std::string& exePath,
                                           const std::string& fileName) {
    for (const std::string& folder : ShippedFolders(exePath)) {
        const std::string candidate = folder + fileName;
        std::error_code ec;
        if (fs::is_regular_file(fs::status(candidate, ec))) {
            return candidate;
        }
    }
    return "";
}

std::string CProgramDirectory::RunningExecutable() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? "" : exe.string();
}

}  // namespace orvex
