#include "db/DatabaseFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace orvex {

namespace {

std::string Folder(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool SyncPath(const std::string& path, int flags, std::string& error) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        error = "cannot sync " + path + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    ::close(fd);
    return true;
}

// The process's umask, read without changing it (umask() itself would, for a moment, for
// every thread).
mode_t CurrentUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                break;
            }
        }
        std::fclose(status);
    }
    return static_cast<mode_t>(mask & 0777);
}

// A replacement takes the permission bits (and, where the process may set it, the owner) of
// the file it replaces; a new file gets what any file the user creates gets.
void TakeAttributesOf(const std::string& target, const std::string& temp) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        ::chmod(temp.c_str(), info.st_mode & 07777);
        if (::geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::chown(temp.c_str(), info.st_uid, info.st_gid);
        }
    } else {
        ::chmod(temp.c_str(), 0666 & ~CurrentUmask());
    }
}

}  // namespace

bool CDatabaseFile::MakeTempBeside(const std::string& target, std::string& temp,
                                   std::string& error) {
    std::string pattern =
        Folder(target) + "/." + std::filesystem::path(target).filename().string() + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file beside " + target + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    temp = pattern;
    return true;
}

bool CDatabaseFile::SyncAndRename(const std::string& temp, const std::string& target,
                                  std::string& error) {
    TakeAttributesOf(target, temp);
    if (!SyncPath(temp, O_RDONLY, error)) {
        return false;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + target + ": " + std::strerror(errno);
        return false;
    }
    return SyncFolder(Folder(target), error);
}

bool CDatabaseFile::SyncFolder(const std::string& folder, std::string& error) {
    return SyncPath(folder, O_RDONLY | O_DIRECTORY, error);
}

bool CDatabaseFile::CanOpenExclusively(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

bool CDatabaseFile::CopyAtomically(const std::string& from, const std::string& to,
                                   std::string& error) {
    std::string temp;
    if (!MakeTempBeside(to, temp, error)) {
        return false;
    }
    std::error_code ec;
    std::filesystem::copy_file(from, temp, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        error = "cannot copy " + from + " to " + to + ": " + ec.message();
    } else if (SyncAndRename(temp, to, error)) {
        return true;
    }
    std::filesystem::remove(temp, ec);
    return false;
}

}  // namespace orvex
