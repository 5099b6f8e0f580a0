#include "app/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orvex {

COutputFile::~COutputFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
    }
}

bool COutputFile::Create(const std::string& path) {
    m_target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // The file the link names is replaced; the link stays.
        std::error_code ec;
        const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
        if (!ec) {
            m_target = resolved.string();
        }
    }
    const bool exists = ::stat(m_target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return Opened();
    }
    if (exists && ::access(m_target.c_str(), W_OK) != 0) {
        m_errno = errno;  // a read-only file is not replaced behind the user's back
        return false;
    }
    static int counter = 0;
    const std::filesystem::path target(m_target);
    const std::string stem = (target.parent_path() / ("." + target.filename().string())).string() +
                             "." + std::to_string(::getpid()) + "-";
    do {
        m_temp = stem + std::to_string(counter++) + ".tmp";
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EEXIST);
    if (!Opened()) {
        m_temp.clear();
        return false;
    }
    if (exists) {
        // The replacement keeps what the user set on the old file.
        ::fchmod(m_fd, info.st_mode & 07777);
        if (::geteuid() == 0) {
            [[maybe_unused]] int ignored = ::fchown(m_fd, info.st_uid, info.st_gid);
        }
    }
    return true;
}

void COutputFile::Write(const std::string& text) {
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        m_buffer.append(text, start, lf - start).append("\r\n");
        start = lf + 1;
    }
    m_buffer.append(text, start, std::string::npos);
    if (m_buffer.size() >= (size_t{1} << 16)) {
        Flush();
    }
}

bool COutputFile::Flush() {
    size_t done = 0;
    while (m_errno == 0 && done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno != EINTR) {
            m_errno = errno;
        } else if (n > 0) {
            done += static_cast<size_t>(n);
        }
    }
    m_buffer.clear();
    return m_errno == 0;
}

bool COutputFile::Commit() {
    Flush();
    if (m_errno == 0 && !m_temp.empty() && ::fsync(m_fd) != 0) {
        m_errno = errno;
    }
    if (::close(m_fd) != 0 && m_errno == 0) {
        m_errno = errno;
    }
    m_fd = -1;
    if (m_errno != 0 || m_temp.empty()) {
        return m_errno == 0;
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        m_errno = errno;
        return false;
    }
    m_temp.clear();
    // The new name itself is made durable with its folder.
    const std::string folder = std::filesystem::path(m_target).parent_path().string();
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool COutputFile::CommitExport(const std::string& path, bool contactsRead, std::string& error) {
    if (!contactsRead) {
        // The temporary file goes with this object, and the old file stays.
        error = "The contacts could not be read from the database; the file " + path +
                " was not written.";
        return false;
    }
    if (!Commit()) {
        error = "The file " + path + " could not be written:\n" + Reason();
        return false;
    }
    return true;
}

const char* COutputFile::Reason() const {
    return std::strerror(m_errno);
}

void COutputFile::WriteBytes(const std::string& bytes) {
    m_buffer += bytes;
    if (m_buffer.size() >= (size_t{1} << 16)) {
        Flush();
    }
}

bool COutputFile::Opened() {
    if (m_fd < 0) {
        m_errno = errno;
        return false;
    }
    return true;
}

}  // namespace orvex
