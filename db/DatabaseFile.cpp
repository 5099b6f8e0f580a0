#include "db/DatabaseFile.h"

#include <fcntl.h>
#include <sys/file.h>
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
    if (!SyncPath(temp, O_RDONLY, error)) {
        return false;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + target + ": " + std::strerror(errno);
        return false;
    }
    return SyncPath(Folder(target), O_RDONLY | O_DIRECTORY, error);
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
