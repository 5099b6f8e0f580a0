#include "app/WindowState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <string_view>
#include <vector>

#include "app/settings/AtomicFile.h"

namespace orvex {

namespace {

using EKind = IFileChooser::EKind;

// A window's coordinates stay well inside this on any desktop; anything beyond is garbage.
constexpr int kFarthest = 1000000;

constexpr const char* kFolderKeys[IFileChooser::kKinds] = {"folder.database", "folder.csv",
                                                           "folder.vcard"};

size_t Index(EKind kind) {
    return static_cast<size_t>(kind);
}

bool ReadInt(std::string_view text, int low, int high, int& value) {
    int read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size() || read < low || read > high) {
        return false;
    }
    value = read;
    return true;
}

// "X,Y,WIDTH,HEIGHT" with a width and height of at least one.
bool ReadRect(std::string_view text, QRect& rect) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    if (parts.size() != 4 || !ReadInt(parts[0], -kFarthest, kFarthest, x) ||
        !ReadInt(parts[1], -kFarthest, kFarthest, y) || !ReadInt(parts[2], 1, kFarthest, width) ||
        !ReadInt(parts[3], 1, kFarthest, height)) {
        return false;
    }
    rect = QRect(x, y, width, height);
    return true;
}

// A folder that the dialogs can open: absolute, and nothing a line could not carry.
bool IsStorableFolder(std::string_view folder) {
    return !folder.empty() && folder.front() == '/' &&
           folder.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::string CWindowState::PathIn(const std::string& programDirectory) {
    return programDirectory + kFileName;
}

void CWindowState::Load(const std::string& path) {
    // Non-blocking, so that a pipe or a device put under the name cannot hold up the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kLargestFile) {
        char buffer[8192];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 &&
               text.size() <= static_cast<size_t>(kLargestFile)) {
            text.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    if (text.size() <= static_cast<size_t>(kLargestFile)) {
        Parse(text);
    }
}

void CWindowState::Parse(const std::string& text) {
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;  // a comment, a blank line or garbage
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "window") {
            ReadRect(value, window);
        } else if (key == "maximized" && (value == "0" || value == "1")) {
            maximized = value == "1";
        } else if (key == "columns") {
            const auto decoded =
                QByteArray::fromBase64Encoding(QByteArray(value.data(), qsizetype(value.size())),
                                               QByteArray::AbortOnBase64DecodingErrors);
            if (decoded) {
                columns = *decoded;
            }
        } else {
            for (size_t k = 0; k < IFileChooser::kKinds; ++k) {
                if (key == kFolderKeys[k] && IsStorableFolder(value)) {
                    m_folders[k] = value;
                }
            }
        }
    }
}

std::string CWindowState::Text() const {
    std::string text = "# Orvex Manager: the main window as it was last closed.\n";
    if (window.isValid()) {
        text += "window=" + std::to_string(window.x()) + "," + std::to_string(window.y()) + "," +
                std::to_string(window.width()) + "," + std::to_string(window.height()) + "\n";
    }
    text += std::string("maximized=") + (maximized ? "1" : "0") + "\n";
    if (!columns.isEmpty()) {
        text += "columns=" + columns.toBase64().toStdString() + "\n";
    }
    for (size_t k = 0; k < IFileChooser::kKinds; ++k) {
        if (IsStorableFolder(m_folders[k])) {
            text += std::string(kFolderKeys[k]) + "=" + m_folders[k] + "\n";
        }
    }
    return text;
}

bool CWindowState::Save(const std::string& path, std::string& error) const {
    return CAtomicFile::Replace(path, Text(), error);
}

const std::string& CWindowState::Folder(EKind kind) const {
    return m_folders[Index(kind)];
}

void CWindowState::SetFolder(EKind kind, const std::string& folder) {
    m_folders[Index(kind)] = folder;
}

}  // namespace orvex
