#include "app/settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/settings/AtomicFile.h"

namespace orvex {

namespace {

// The key lines, at the even indexes 0, 2, 4, 6 of the nine; each is followed by its value.
constexpr const char* kKeys[] = {"[DbFilePath]", "[ProgramDirPath]", "[MaxPersonal]",
                                 "[Communication]"};
constexpr const char* kLastLine = ";.";

// The text between the first ";" and the first "$"; empty when that "$" comes first. False
// when either is missing.
bool ValueOf(const std::string& line, std::string& value) {
    const std::size_t semicolon = line.find(';');
    const std::size_t dollar = line.find('$');
    if (semicolon == std::string::npos || dollar == std::string::npos) {
        return false;
    }
    value = dollar > semicolon ? line.substr(semicolon + 1, dollar - semicolon - 1) : "";
    return true;
}

// Only the letter case of ".mdb" matters to the checks; the file is single-byte text, so
// ASCII letters are all there is to fold.
std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool IsDatabasePath(const std::string& value) {
    const std::string lowered = Lowered(value);
    return lowered.ends_with(".mdb") && lowered.front() == '/';
}

bool IsProgramDirectory(const std::string& value) {
    const std::string lowered = Lowered(value);
    return !lowered.empty() && lowered.back() == '/' && lowered.front() == '/';
}

bool IsDigits(const std::string& value) {
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool IsPort(const std::string& value) {
    return value.size() == 1 && value[0] >= '1' && value[0] <= '4';
}

// Digits only (already checked). The device never holds anywhere near INT_MAX entries, so a
// longer number is clamped rather than left to overflow.
int CapacityOf(const std::string& digits) {
    long long number = 0;
    for (const char c : digits) {
        number = number * 10 + (c - '0');
        if (number > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(number);
}

}  // namespace

std::string CSettingsFile::PathIn(const std::string& programDirectory) {
    return programDirectory + kFileName;
}

CSettingsFile::Lines CSettingsFile::ReadLines(std::istream& in) {
    // A line that is not there reads as empty and so fails its rule.
    Lines lines;
    for (std::string& line : lines) {
        if (!std::getline(in, line)) {
            line.clear();
            break;
        }
        // The CR of a CR LF line end is no part of the line.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    return lines;
}

bool CSettingsFile::Check(const Lines& lines) {
    bool (*const rules[])(const std::string&) = {IsDatabasePath, IsProgramDirectory, IsDigits,
                                                 IsPort};
    for (std::size_t key = 0; key < 4; ++key) {
        if (!lines[key * 2].starts_with(kKeys[key])) {
            return false;
        }
        std::string value;
        if (!ValueOf(lines[key * 2 + 1], value) || !rules[key](value)) {
            return false;
        }
    }
    return lines[8].starts_with(kLastLine);
}

bool CSettingsFile::Validate(std::istream& in) {
    in.clear();
    in.seekg(0, std::ios::beg);
    return Check(ReadLines(in));
}

bool CSettingsFile::Validate(const std::string& text) {
    std::istringstream in(text);
    return Validate(in);
}

bool CSettingsFile::Read(const std::string& path, SValues& values) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const Lines lines = ReadLines(in);
    if (!Check(lines) || lines[8].find('.') == std::string::npos) {
        return false;
    }
    SValues read;
    std::string capacity;
    std::string port;
    ValueOf(lines[1], read.databasePath);
    ValueOf(lines[3], read.programDirectory);
    ValueOf(lines[5], capacity);
    ValueOf(lines[7], port);
    read.maxPersonal = CapacityOf(capacity);
    read.portNumber = port[0] - '0';
    values = read;
    return true;
}

std::string CSettingsFile::Text(const SValues& values, bool defaults) {
    const std::string database =
        defaults ? values.programDirectory + kDefaultDatabase : values.databasePath;
    const int capacity = defaults ? kDefaultMaxPersonal : values.maxPersonal;
    const int port = defaults ? kDefaultPort : values.portNumber;
    return std::string(kKeys[0]) + "\r\n;" + database + "$\r\n" + kKeys[1] + "\r\n;" +
           values.programDirectory + "$\r\n" + kKeys[2] + "\r\n;" + std::to_string(capacity) +
           "$\r\n" + kKeys[3] + "\r\n;" + std::to_string(port) + "$\r\n" + kLastLine;
}

bool CSettingsFile::Write(const std::string& path, const SValues& values, bool defaults,
                          std::string& error) {
    const std::string text = Text(values, defaults);
    // A file that fails its own check would stop every later start with Error 001; keeping
    // the previous file is the lesser harm.
    if (!Validate(text)) {
        const std::string database =
            defaults ? values.programDirectory + kDefaultDatabase : values.databasePath;
        error = "cannot write " + path + ": the settings would not read back (database \"" +
                database + "\", program directory \"" + values.programDirectory + "\"";
        if (!defaults) {
            error += ", capacity " + std::to_string(values.maxPersonal) + ", port " +
                     std::to_string(values.portNumber);
        }
        error += ")";
        return false;
    }
    return CAtomicFile::Replace(path, text, error);
}

CSettingsFile::ELoadResult CSettingsFile::LoadAtStartup(const std::string& programDirectory,
                                                        SValues& values, std::string& error) {
    const std::string path = PathIn(programDirectory);
    // O_NONBLOCK keeps a FIFO under that name from hanging the start; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot open or create " + path + ": " + std::strerror(errno);
        return ELoadResult::CannotCreate;
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        error = "cannot use " + path + ": it is not a regular file";
        return ELoadResult::CannotCreate;
    }

    values.programDirectory = programDirectory;
    if (info.st_size == 0) {
        // Should the defaults not get written, the empty file fails the read below.
        Write(path, values, true, error);
    }
    return Read(path, values) ? ELoadResult::Ok : ELoadResult::Invalid;
}

}  // namespace orvex
