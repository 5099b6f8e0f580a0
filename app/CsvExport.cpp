#include "app/CsvExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace orvex {

namespace {

// The file as it is written: whole blocks, every failure kept with the system's reason.
//
// A file of the user's is never truncated in place: the lines go to a hidden temporary file
// in the same folder, which takes the name (with the old file's permission bits) only once it
// is complete and on disk. A failure at any point leaves the old file as it was. A target that
// is not a regular file (a device, a pipe) is written directly, since it cannot be replaced.
class COutputFile {
  public:
    ~COutputFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_temp.empty()) {
            ::unlink(m_temp.c_str());
        }
    }
    bool Create(const std::string& path) {
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
        const std::string stem =
            (target.parent_path() / ("." + target.filename().string())).string() + "." +
            std::to_string(::getpid()) + "-";
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
    // Text mode: every line feed goes out as carriage return and line feed.
    void Write(const std::string& text) {
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
    bool Flush() {
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
    // Completes the file: written, on disk, and under its name. False leaves the old file.
    bool Commit() {
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
    const char* Reason() const { return std::strerror(m_errno); }

  private:
    bool Opened() {
        if (m_fd < 0) {
            m_errno = errno;
            return false;
        }
        return true;
    }

    int m_fd = -1;
    int m_errno = 0;
    std::string m_target;
    std::string m_temp;  // while it has not taken the target's name
    std::string m_buffer;
};

}  // namespace

void CCsvExport::QuoteCsvField(std::string& value) {
    bool quote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
    bool quotes = false;
    for (char c : value) {
        quotes = quotes || c == '"';
        quote = quote || c == ',' || c == '\n' || c == '"';
    }
    if (quotes) {
        std::string doubled;
        doubled.reserve(value.size() + 4);
        for (char c : value) {
            doubled += c;
            if (c == '"') {
                doubled += '"';
            }
        }
        value.swap(doubled);
    }
    if (quote) {
        value = '"' + value + '"';
    }
}

bool CCsvExport::ExportContacts(CADODatabase& database, const std::string& path,
                                std::string& error) {
    COutputFile file;
    if (!file.Create(path)) {
        error = "The file " + path + " could not be created:\n" + file.Reason();
        return false;
    }
    file.Write(std::string(kHeader) + "\n");

    CADORecordset table(&database);
    std::string failure;
    int columns[CContactsTable::kColumnCount];
    if (!table.Open(CContactsTable::kTable, CADORecordset::openTable) ||
        !table.SortBy(CContactsTable::kSortById)) {
        failure = table.GetLastErrorString();
    }
    // The file's order of the columns, whatever order the table keeps them in.
    for (int i = 0; failure.empty() && i < CContactsTable::kColumnCount; ++i) {
        columns[i] = -1;
        for (int f = 0; f < table.FieldCount(); ++f) {
            if (table.FieldName(f) == CContactsTable::kColumns[i].name) {
                columns[i] = f;
            }
        }
        if (columns[i] < 0) {
            failure = std::string("the table has no column ") + CContactsTable::kColumns[i].name;
        }
    }
    const int rows = failure.empty() ? table.RowCount() : 0;
    if (rows > 0) {
        table.MoveFirst();
    }
    std::string line;
    std::string value;
    for (int r = 0; failure.empty() && r < rows; ++r) {
        line.clear();
        for (int i = 0; i < CContactsTable::kColumnCount; ++i) {
            if (!table.ReadText(columns[i], value)) {
                failure = table.GetLastErrorString();
                break;
            }
            QuoteCsvField(value);
            if (i > 0) {
                line += ',';
            }
            line += value;
        }
        line += '\n';
        file.Write(line);
        table.MoveNext();
    }
    table.Close();

    if (!failure.empty()) {
        // The table's own record of the failure stays in the recordset's error text; the
        // temporary file goes with `file`, and the old file stays.
        error = "The contacts could not be read from the database; the file " + path +
                " was not written.";
        return false;
    }
    if (!file.Commit()) {
        error = "The file " + path + " could not be written:\n" + file.Reason();
        return false;
    }
    return true;
}

}  // namespace orvex
