#include "app/settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace orvex {

namespace {

namespace fs = std::filesystem;

std::string Reason() {
    return std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// A new hidden file beside `target`, opened for writing. The mode goes through the umask like
// that of any file the user creates; mkstemp would force 0600 instead.
int CreateTempBeside(const std::string& target, std::string& temp, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = FolderOf(target) + "/." + fs::path(target).filename().string() + "." +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temp = stem + std::to_string(counter++) + ".tmp";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error = "cannot create a temporary file beside " + target + ": " + Reason();
    temp.clear();
    return -1;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

void RemoveQuietly(const std::string& temp) {
    std::error_code ignored;
    fs::remove(temp, ignored);
}

// Gives up the temporary file `temp`, open as `fd`: closed and removed.
bool Abandon(int fd, const std::string& temp) {
    ::close(fd);
    RemoveQuietly(temp);
    return false;
}

// Syncs and closes `fd`, which was written as `temp` for `target`; it is closed in any case,
// and removed when it cannot be made whole on disk.
bool SyncAndClose(int fd, const std::string& temp, const std::string& target, std::string& error) {
    if (::fsync(fd) != 0) {
        error = "cannot write " + target + " to disk: " + Reason();
        return Abandon(fd, temp);
    }
    if (::close(fd) != 0) {
        error = "cannot write " + target + ": " + Reason();
        RemoveQuietly(temp);
        return false;
    }
    return true;
}

// Makes a rename or link in the folder of `path` durable. File systems that cannot sync a
// folder say EINVAL; there is nothing more to do on them.
bool SyncFolderOf(const std::string& path, std::string& error) {
    const std::string folder = FolderOf(path);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the folder " + folder + " to sync it: " + Reason();
        return false;
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    if (!synced) {
        error = "cannot sync the folder " + folder + ": " + Reason();
    }
    ::close(fd);
    return synced;
}

}  // namespace

bool CAtomicFile::Replace(const std::string& path, const std::string& bytes, std::string& error) {
    std::string target = path;
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(path, ec);
    if (fs::is_symlink(link)) {
        target = fs::canonical(path, ec).string();
        if (ec) {
            error = "cannot follow the link " + path + ": " + ec.message();
            return false;
        }
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = "cannot write " + target + ": it is a folder";
        return false;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = "cannot write " + target + ": " + Reason();
        return false;
    }

    std::string temp;
    const int fd = CreateTempBeside(target, temp, error);
    if (fd < 0) {
        return false;
    }
    // The replacement keeps the old file's permission bits. Failing to set them costs only
    // those bits, never the content, so it does not stop the write.
    if (exists) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    if (!WriteAll(fd, bytes.data(), bytes.size())) {
        error = "cannot write " + target + ": " + Reason();
        return Abandon(fd, temp);
    }
    if (!SyncAndClose(fd, temp, target, error)) {
        return false;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + target + ": " + Reason();
        RemoveQuietly(temp);
        return false;
    }
    return SyncFolderOf(target, error);
}

bool CAtomicFile::CopyIfAbsent(const std::string& from, const std::string& to, bool& created,
                               std::string& error) {
    created = false;
    std::error_code ec;
    // A dangling link counts as present too: whatever is there belongs to the user.
    if (fs::exists(fs::symlink_status(to, ec))) {
        return true;
    }
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "cannot read " + from + ": " + Reason();
        return false;
    }
    struct stat source {};
    if (::fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        error = "cannot copy " + from + ": it is not a regular file";
        ::close(in);
        return false;
    }

    std::string temp;
    const int out = CreateTempBeside(to, temp, error);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool copied = true;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = "cannot read " + from + ": " + Reason();
            copied = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (!WriteAll(out, buffer, static_cast<std::size_t>(got))) {
            error = "cannot write " + to + ": " + Reason();
            copied = false;
            break;
        }
    }
    ::close(in);
    if (!copied) {
        return Abandon(out, temp);
    }
    if (!SyncAndClose(out, temp, to, error)) {
        return false;
    }

    // link() fails with EEXIST instead of replacing; a file system without hard links gets
    // the same guarantee from renameat2's RENAME_NOREPLACE.
    int result = ::link(temp.c_str(), to.c_str());
    if (result != 0 && errno != EEXIST) {
        result = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    }
    if (result != 0 && errno != EEXIST) {
        error = "cannot create " + to + ": " + Reason();
        RemoveQuietly(temp);
        return false;
    }
    created = result == 0;
    RemoveQuietly(temp);
    return !created || SyncFolderOf(to, error);
}

}  // namespace orvex
