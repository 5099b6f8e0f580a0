#include "app/CsvExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace orvex {

namespace {

// The file as it is written: whole blocks, every failure kept with the system's reason.
class COutputFile {
  public:
    ~COutputFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool Create(const std::string& path) {
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_errno = errno;
            return false;
        }
        struct stat info {};
        m_regular = ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
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
    bool Close() {
        Flush();
        if (::close(m_fd) != 0 && m_errno == 0) {
            m_errno = errno;
        }
        m_fd = -1;
        return m_errno == 0;
    }
    // Removes what was written, if the name is a file of its own (not a device).
    void Discard(const std::string& path) {
        if (m_regular) {
            ::unlink(path.c_str());
        }
    }
    const char* Reason() const { return std::strerror(m_errno); }

  private:
    int m_fd = -1;
    int m_errno = 0;
    bool m_regular = false;
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
        file.Close();
        file.Discard(path);
        // The table's own record of the failure stays in the recordset's error text.
        error = "The contacts could not be read from the database; the file " + path +
                " was not written.";
        return false;
    }
    if (!file.Close()) {
        file.Discard(path);
        error = "The file " + path + " could not be written:\n" + file.Reason();
        return false;
    }
    return true;
}

}  // namespace orvex
