#include "app/ImportStaging.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "db/SchemaIni.h"

namespace orvex {

namespace {

// A descriptor closed with its scope; Close reports what the last close said.
class CDescriptor {
  public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

std::string Reason() {
    return std::strerror(errno);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new file of the staging folder, only for this user; never through a link put there.
int CreateInFolder(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// The staged files live only while the import runs: they are not synced to disk.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error) {
    CDescriptor out(CreateInFolder(path));
    if (out.Get() < 0 || !WriteAll(out.Get(), bytes.data(), bytes.size()) || !out.Close()) {
        error = path + " cannot be written: " + Reason();
        return false;
    }
    return true;
}

// Copies the file at from into the new file to. The type and size are those of the descriptor
// read, so a file swapped for another after the check is not the one copied.
bool CopyFile(const std::string& from, const std::string& to, std::string& error) {
    // Opening a FIFO does not wait for a writer, and a terminal does not become this
    // process's controlling terminal; neither is copied.
    CDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (in.Get() < 0) {
        error = "the file cannot be opened: " + Reason();
        return false;
    }
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0) {
        error = "the file cannot be examined: " + Reason();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "it is not a regular file";
        return false;
    }
    const std::string limit = std::to_string(CImportStaging::kMaxFileSize);
    if (info.st_size > CImportStaging::kMaxFileSize) {
        error = "it holds " + std::to_string(info.st_size) +
                " bytes; a contacts file holds at most " + limit;
        return false;
    }
    const int flags = ::fcntl(in.Get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(in.Get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    CDescriptor out(CreateInFolder(to));
    if (out.Get() < 0) {
        error = to + " cannot be created: " + Reason();
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    long long total = 0;
    for (;;) {
        const ssize_t n = ::read(in.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = "the file cannot be read: " + Reason();
            return false;
        }
        if (n == 0) {
            break;
        }
        total += n;
        if (total > CImportStaging::kMaxFileSize) {
            // It grew while it was copied.
            error = "it holds more than " + limit + " bytes, the most a contacts file holds";
            return false;
        }
        if (!WriteAll(out.Get(), buffer.data(), static_cast<size_t>(n))) {
            error = "the copy " + to + " cannot be written: " + Reason();
            return false;
        }
    }
    // Some file systems report a full disk only when the file is closed.
    if (!out.Close()) {
        error = "the copy " + to + " cannot be written: " + Reason();
        return false;
    }
    return true;
}

// "<pid>-XXXXXX" after the prefix: the process id, 0 when the name is not of that form.
pid_t ProcessOf(const std::string& name) {
    const std::string prefix = CImportStaging::kPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    const std::string rest = name.substr(prefix.size());
    const size_t dash = rest.find_first_not_of("0123456789");
    if (dash == 0 || dash > 9 || dash == std::string::npos || rest[dash] != '-' ||
        rest.size() != dash + 7) {
        return 0;
    }
    return static_cast<pid_t>(std::strtol(rest.c_str(), nullptr, 10));
}

}  // namespace

CImportStaging::~CImportStaging() {
    Remove();
}

std::string CImportStaging::BaseFolder() {
    std::string base;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    // A relative path is no runtime folder: it would name a folder of the current one.
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &info) == 0 &&
        S_ISDIR(info.st_mode)) {
        base = runtime;
    } else {
        std::error_code ec;
        base = std::filesystem::temp_directory_path(ec).string();
        if (ec || base.empty() || base.front() != '/') {
            base = "/tmp";
        }
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

int CImportStaging::RemoveStale(const std::string& base) {
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) {
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = ProcessOf(entry->d_name);
        // A process that runs as another user answers EPERM: it runs.
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) {
            continue;
        }
        // Only this user's own folders; a link of that name is no folder.
        const std::string path = Join(base, entry->d_name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            stale.push_back(path);
        }
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& path : stale) {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        removed += ec ? 0 : 1;
    }
    return removed;
}

bool CImportStaging::Stage(const std::string& path, const std::string& columns,
                           std::string& error) {
    Remove();
    const std::string base = BaseFolder();
    RemoveStale(base);
    std::string pattern = Join(base, kPrefix + std::to_string(::getpid()) + "-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "no staging folder can be made in " + base + ": " + Reason();
        return false;
    }
    m_folder = pattern + "/";
    const std::string description = std::string("[") + kFileName + "]\r\n" + columns;
    if (!CopyFile(path, FilePath(), error) ||
        !WriteNewFile(m_folder + CSchemaIni::kFileName, description, error)) {
        Remove();
        return false;
    }
    return true;
}

bool CImportStaging::Remove() {
    if (m_folder.empty()) {
        return true;
    }
    std::error_code ec;
    std::filesystem::remove_all(m_folder.substr(0, m_folder.size() - 1), ec);
    if (ec) {
        // The next import removes it once this process has ended.
        std::fprintf(stderr, "Orvex Manager: the staging folder %s cannot be removed: %s\n",
                     m_folder.c_str(), ec.message().c_str());
        return false;
    }
    m_folder.clear();
    return true;
}

}  // namespace orvex
