#include "db/BookHistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/DatabaseFile.h"

namespace orvex {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".mdb";
constexpr const char* kInfoSuffix = ".info";
// "20261208-130327-123Z-": the moment of the copy, then the operation.
constexpr size_t kStampLength = 21;
constexpr size_t kMaxOperationInName = 32;
// A description is a few short lines; anything longer is not ours and is not read whole.
constexpr size_t kMaxInfoBytes = 64 * 1024;

bool IsNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool Digits(const std::string& text, size_t from, size_t count, int& value) {
    value = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The moment (milliseconds since the epoch) and operation a book's file name carries; false
// for any name that is not a book's.
bool ParseName(const std::string& name, long long& ms, std::string& operation) {
    const size_t suffix = std::strlen(kSuffix);
    if (name.size() <= kStampLength + suffix || !EndsWith(name, kSuffix) || name[8] != '-' ||
        name[15] != '-' || name[19] != 'Z' || name[20] != '-') {
        return false;
    }
    int year, month, day, hour, minute, second, milli;
    if (!Digits(name, 0, 4, year) || !Digits(name, 4, 2, month) || !Digits(name, 6, 2, day) ||
        !Digits(name, 9, 2, hour) || !Digits(name, 11, 2, minute) || !Digits(name, 13, 2, second) ||
        !Digits(name, 16, 3, milli) || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    operation = name.substr(kStampLength, name.size() - kStampLength - suffix);
    if (!std::all_of(operation.begin(), operation.end(), IsNameByte)) {
        return false;
    }
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    ms = static_cast<long long>(timegm(&parts)) * 1000 + milli;
    return true;
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The second of the moment ms, in universal time or the local time zone, as format writes it.
std::string SecondOf(long long ms, bool universal, const char* format) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    if (universal) {
        gmtime_r(&seconds, &parts);
    } else {
        localtime_r(&seconds, &parts);
    }
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string StampOf(long long ms) {
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, "-%03uZ-", static_cast<unsigned>(ms % 1000));
    return SecondOf(ms, true, "%Y%m%d-%H%M%S") + fraction;
}

std::string LocalWhen(long long ms) {
    return SecondOf(ms, false, "%Y-%m-%d %H:%M:%S");
}

// The operation as a name can carry it: lower-case letters, digits and dashes.
std::string OperationInName(const std::string& operation) {
    std::string name;
    for (char c : operation) {
        if (name.size() == kMaxOperationInName) {
            break;
        }
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        name += IsNameByte(c) ? c : '-';
    }
    return name.empty() ? std::string("book") : name;
}

// A value on one line: line breaks, other control bytes and the backslash are written as
// escapes; every other byte stands as it is.
std::string Escape(const std::string& value) {
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[i + 1];
        if (next == '\\' || next == 'n' || next == 'r') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else if (next == 'x' && i + 3 < value.size() && HexValue(value[i + 2]) >= 0 &&
                   HexValue(value[i + 3]) >= 0) {
            out += static_cast<char>(HexValue(value[i + 2]) * 16 + HexValue(value[i + 3]));
            i += 3;
        } else {
            out += value[i];
        }
    }
    return out;
}

// Fills in what a description file says; a missing or foreign file changes nothing.
void ReadInfo(const std::string& path, SBookEntry& entry) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return;
    }
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (text.size() < kMaxInfoBytes && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = Unescape(line.substr(equals + 1));
        if (key == "operation" && !value.empty()) {
            entry.operation = value;
        } else if (key == "detail") {
            entry.detail = value;
        } else if (key == "when" && !value.empty()) {
            entry.when = value;
        }
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool SamePath(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() &&
           fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

void RemoveQuietly(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

}  // namespace

CBookHistory::CBookHistory(std::string folder) : m_folder(std::move(folder)) {
    while (m_folder.size() > 1 && m_folder.back() == '/') {
        m_folder.pop_back();
    }
    if (m_folder.empty()) {
        m_folder = ".";
    }
}

bool CBookHistory::MakeFolder(std::string& error) const {
    struct stat info {};
    if (::stat(m_folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return true;
        }
        error = "The history folder " + m_folder + " is not a folder.";
        return false;
    }
    const std::string parent = FolderOf(m_folder);
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (::mkdir(m_folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "The history folder " + m_folder + " cannot be made: " + std::strerror(errno);
        return false;
    }
    // The new folder's name is on disk before the first book is.
    std::string ignored;
    CDatabaseFile::SyncFolder(parent, ignored);
    return true;
}

std::vector<std::string> CBookHistory::Names() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        long long ms = 0;
        std::string operation;
        std::error_code ignored;
        // A link or folder under a book's name is not a book the history made.
        if (ParseName(name, ms, operation) &&
            it->symlink_status(ignored).type() == fs::file_type::regular) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string CBookHistory::NewPath(const std::string& operation) const {
    long long ms = NowMs();
    const std::vector<std::string> names = Names();
    long long newest = 0;
    std::string ignored;
    if (!names.empty() && ParseName(names.back(), newest, ignored) && ms <= newest) {
        ms = newest + 1;
    }
    for (;; ++ms) {
        const std::string path =
            m_folder + "/" + StampOf(ms) + OperationInName(operation) + kSuffix;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec)) &&
            !fs::exists(fs::symlink_status(path + kInfoSuffix, ec))) {
            return path;
        }
    }
}

bool CBookHistory::WriteInfo(const std::string& copy, const std::string& operation,
                             const std::string& detail, const std::string& when,
                             std::string& error) const {
    const std::string text = "operation=" + Escape(operation) + "\nwhen=" + Escape(when) +
                             "\ndetail=" + Escape(detail) + "\n";
    const std::string info = copy + kInfoSuffix;
    std::string temp;
    if (!CDatabaseFile::MakeTempBeside(info, temp, error)) {
        return false;
    }
    const int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0 && WriteAll(fd, text);
    if (!ok) {
        error = "cannot write " + info + ": " + std::strerror(errno);
    }
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        error = "cannot write " + info + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && CDatabaseFile::SyncAndRename(temp, info, error)) {
        return true;
    }
    RemoveQuietly(temp);
    return false;
}

bool CBookHistory::Keep(CADODatabase& database, const std::string& operation,
                        const std::string& detail, std::string& error, const std::string& spare) {
    if (!database.IsOpen()) {
        error = "The contacts database is not open, so it cannot be kept as an earlier book.";
        return false;
    }
    if (!MakeFolder(error)) {
        return false;
    }
    const std::string when = LocalWhen(NowMs());
    const std::string copy = NewPath(operation);
    if (!database.BackupTo(copy)) {
        error = "The contacts could not be kept as an earlier book in " + copy + ": " +
                database.GetErrorDescription();
        return false;
    }
    std::string why;
    if (!WriteInfo(copy, operation, detail, when, why)) {
        error = "The contacts could not be kept as an earlier book: " + why;
        RemoveQuietly(copy);
        return false;
    }
    Prune(copy, spare);
    return true;
}

bool CBookHistory::Adopt(const std::string& file, const std::string& operation,
                         const std::string& detail, std::string& error) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        error = "The file " + file + " cannot be taken into the history: " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "The file " + file + " cannot be taken into the history: it is not a regular file";
        return false;
    }
    if (!MakeFolder(error)) {
        return false;
    }
    // The book is as it was when the file was last written, not when it was found.
    const std::string when = LocalWhen(static_cast<long long>(info.st_mtime) * 1000);
    const std::string copy = NewPath(operation);
    std::string why;
    if (::rename(file.c_str(), copy.c_str()) == 0) {
        CDatabaseFile::SyncFolder(m_folder, why);
        CDatabaseFile::SyncFolder(FolderOf(file), why);
        if (!WriteInfo(copy, operation, detail, when, why)) {
            // Back where it was, so that the next attempt finds it again.
            ::rename(copy.c_str(), file.c_str());
            error = "The file " + file + " could not be taken into the history: " + why;
            return false;
        }
        Prune(copy, {});
        return true;
    }
    if (errno != EXDEV) {
        error = "The file " + file + " could not be moved into the history " + m_folder + ": " +
                std::strerror(errno);
        return false;
    }
    // Another file system: a synced copy first, the original removed only once it is there.
    if (!CDatabaseFile::CopyAtomically(file, copy, why) ||
        !WriteInfo(copy, operation, detail, when, why)) {
        RemoveQuietly(copy);
        error = "The file " + file + " could not be taken into the history: " + why;
        return false;
    }
    if (::unlink(file.c_str()) != 0) {
        error =
            "The file " + file +
            " could not be removed after it was copied into the history: " + std::strerror(errno);
        RemoveQuietly(copy + kInfoSuffix);
        RemoveQuietly(copy);
        return false;
    }
    CDatabaseFile::SyncFolder(FolderOf(file), why);
    Prune(copy, {});
    return true;
}

void CBookHistory::Prune(const std::string& made, const std::string& spare) const {
    const std::vector<std::string> names = Names();
    long excess = static_cast<long>(names.size()) - kKeep;
    for (const std::string& name : names) {
        if (excess <= 0) {
            break;
        }
        const std::string path = m_folder + "/" + name;
        if (SamePath(path, made) || SamePath(path, spare)) {
            continue;
        }
        RemoveQuietly(path + kInfoSuffix);
        RemoveQuietly(path);
        --excess;
    }
    // Descriptions whose books are gone (removed by hand, say) go as well.
    std::error_code ec;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        long long ms = 0;
        std::string operation;
        if (!EndsWith(name, kInfoSuffix)) {
            continue;
        }
        const std::string book = name.substr(0, name.size() - std::strlen(kInfoSuffix));
        std::error_code ignored;
        if (ParseName(book, ms, operation) &&
            !fs::exists(fs::symlink_status(m_folder + "/" + book, ignored))) {
            RemoveQuietly(it->path().string());
        }
    }
}

std::vector<SBookEntry> CBookHistory::List() const {
    std::vector<SBookEntry> entries;
    const std::vector<std::string> names = Names();
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        SBookEntry entry;
        long long ms = 0;
        ParseName(*name, ms, entry.operation);
        entry.path = m_folder + "/" + *name;
        entry.when = LocalWhen(ms);
        ReadInfo(entry.path + kInfoSuffix, entry);
        ReadCounts(entry.path, entry.personal, entry.groups);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool CBookHistory::RestoreInto(const SBookEntry& entry, const std::string& databasePath,
                               std::string& error) const {
    std::string reason;
    if (!CContactsTable::IsValidContactsDatabase(entry.path, reason)) {
        error = "The earlier book " + entry.path + " cannot be restored: " + reason + ".";
        return false;
    }
    return CDatabaseFile::CopyAtomically(entry.path, databasePath, error);
}

bool CBookHistory::OpenCopy(const std::string& path, CADODatabase& database) {
    return database.Open(CContactsTable::ConnectionString(path) + ";Mode=Read");
}

bool CBookHistory::ReadCounts(const std::string& path, int& personal, int& groups) {
    personal = -1;
    groups = -1;
    CADODatabase database;
    if (!OpenCopy(path, database)) {
        return false;
    }
    const auto count = [&database](const char* statement, int& n) {
        CADORecordset rs(&database);
        if (!rs.Open(statement, CADORecordset::openQuery) || rs.RowCount() != 1) {
            return false;
        }
        rs.MoveFirst();
        return rs.ReadInt(0, n);
    };
    int p = 0;
    int g = 0;
    if (!count("select count(*) from [t_Contacts] where iGroup=0", p) ||
        !count("select count(*) from [t_Contacts] where iGroup=1", g)) {
        return false;
    }
    personal = p;
    groups = g;
    return true;
}

}  // namespace orvex
