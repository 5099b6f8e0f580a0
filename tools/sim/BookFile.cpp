#include "tools/sim/BookFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "contact/CharacterCodes.h"

namespace sim {

namespace {

constexpr size_t kEntryColumns = 2 + kFieldCount;  // "P", number, the sixteen fields

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> columns;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        columns.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos) {
            return columns;
        }
        start = tab + 1;
    }
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value <= max;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Hex2(uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    return std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

bool ParseEntry(const std::vector<std::string>& columns, SPersonalEntry& entry,
                std::string& error) {
    if (columns.size() > kEntryColumns) {
        for (size_t i = kEntryColumns; i < columns.size(); ++i) {
            if (!Trim(columns[i]).empty()) {
                error = "P line has " + std::to_string(columns.size()) + " columns, at most " +
                        std::to_string(kEntryColumns);
                return false;
            }
        }
    }
    unsigned long number = 0;
    if (columns.size() < 2 || !ParseNumber(Trim(columns[1]), 0xFFFF, number)) {
        error = "entry number must be 0 to 65535";
        return false;
    }
    entry.number = static_cast<uint16_t>(number);
    for (size_t f = 0; f < kFieldCount && f + 2 < columns.size(); ++f) {
        const std::string& column = columns[f + 2];
        if (f == kByDefault) {
            const std::string value = Trim(column);
            unsigned long byDefault = 0;
            if (!value.empty() && !ParseNumber(value, kAddressHomeMail, byDefault)) {
                error = "default address must be 0 to 3, not '" + value + "'";
                return false;
            }
            entry.byDefault = static_cast<uint8_t>(byDefault);
            continue;
        }
        std::string why;
        if (!CBookFile::Unescape(column, entry.texts[f], why)) {
            error = std::string(CPagerBook::FieldName(static_cast<EField>(f))) + ": " + why;
            return false;
        }
    }
    error = CPagerBook::EntryProblem(entry);
    return error.empty();
}

bool ParseGroup(const std::vector<std::string>& columns, SGroup& group, std::string& error) {
    unsigned long number = 0;
    if (columns.size() < 2 || !ParseNumber(Trim(columns[1]), 0xFFFF, number)) {
        error = "group number must be 0 to 65535";
        return false;
    }
    group.number = static_cast<uint16_t>(number);
    if (columns.size() > 2 && !CBookFile::Unescape(columns[2], group.name, error)) {
        error = "group name: " + error;
        return false;
    }
    for (size_t i = 3; i < columns.size(); ++i) {
        std::istringstream words(columns[i]);
        std::string word;
        while (words >> word) {
            const size_t colon = word.find(':');
            unsigned long id = 0;
            unsigned long kind = 0;
            if (colon == std::string::npos || !ParseNumber(word.substr(0, colon), 0xFFFF, id) ||
                !ParseNumber(word.substr(colon + 1), 0xFF, kind)) {
                error = "member '" + word + "' is not <entry number>:<kind>";
                return false;
            }
            group.members.push_back({static_cast<uint16_t>(id), static_cast<uint8_t>(kind)});
        }
    }
    error = CPagerBook::GroupProblem(group);
    return error.empty();
}

}  // namespace

SBookLoad CBookFile::Parse(const std::string& text) {
    SBookLoad result;
    auto fail = [&result](size_t line, const std::string& message) {
        result.ok = false;
        result.error = "line " + std::to_string(line) + ": " + message;
        return result;
    };
    std::set<uint16_t> entryNumbers;
    std::set<uint16_t> groupNumbers;
    std::vector<size_t> groupLines;
    bool capacitySeen = false;

    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark
    for (size_t lineNumber = 1; start <= text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        const std::vector<std::string> columns = SplitTabs(line);
        const std::string keyword = Trim(columns[0]);
        std::string error;
        if (keyword.rfind("capacity", 0) == 0) {
            unsigned long capacity = 0;
            const std::string value =
                Trim(line.substr(line.find("capacity") + std::strlen("capacity")));
            if (!ParseNumber(value, 0xFFFF, capacity)) {
                return fail(lineNumber, "capacity must be 0 to 65535, not '" + value + "'");
            }
            if (capacitySeen) {
                return fail(lineNumber, "capacity is given twice");
            }
            capacitySeen = true;
            result.book.SetCapacity(static_cast<uint16_t>(capacity));
        } else if (keyword == "P") {
            SPersonalEntry entry;
            if (!ParseEntry(columns, entry, error)) {
                return fail(lineNumber, error);
            }
            if (!entryNumbers.insert(entry.number).second) {
                return fail(lineNumber,
                            "entry number " + std::to_string(entry.number) + " is used twice");
            }
            result.book.PutEntry(entry);
        } else if (keyword == "G") {
            SGroup group;
            if (!ParseGroup(columns, group, error)) {
                return fail(lineNumber, error);
            }
            if (!groupNumbers.insert(group.number).second) {
                return fail(lineNumber,
                            "group number " + std::to_string(group.number) + " is used twice");
            }
            if (groupNumbers.size() > CPagerBook::kMaxGroups) {
                return fail(lineNumber,
                            "more than " + std::to_string(CPagerBook::kMaxGroups) + " groups");
            }
            result.book.PutGroup(group);
            groupLines.push_back(lineNumber);
        } else {
            return fail(lineNumber,
                        "unknown line '" + keyword + "' (expected P, G, capacity or a # comment)");
        }
    }
    // Members may name entries further down the file, so they are checked at the end.
    for (size_t g = 0; g < result.book.Groups().size(); ++g) {
        for (const SGroupMember& member : result.book.Groups()[g].members) {
            if (result.book.FindEntry(member.id) == nullptr) {
                return fail(groupLines[g], "member " + std::to_string(member.id) +
                                               " is no personal entry's number");
            }
        }
    }
    result.ok = true;
    return result;
}

SBookLoad CBookFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SBookLoad result;
        result.error = path + ": cannot be read: " + std::strerror(errno);
        return result;
    }
    std::ostringstream content;
    content << in.rdbuf();
    SBookLoad result = Parse(content.str());
    if (!result.ok) {
        result.error = path + ": " + result.error;
    }
    return result;
}

std::string CBookFile::Format(const CPagerBook& book) {
    std::string out =
        "# Address book of the pager emulator. Columns are separated by tabs.\n"
        "# P number first last wireless work-mail home-mail default(0-3) company home-phone\n"
        "#   work-phone mobile fax street city state zip note\n"
        "# G number name id:kind ...   (kind 1 wireless, 2 work e-mail, 3 home e-mail)\n";
    out += "capacity " + std::to_string(book.Capacity()) + "\n";
    for (const SPersonalEntry& entry : book.Entries()) {
        out += "P\t" + std::to_string(entry.number);
        for (size_t f = 0; f < kFieldCount; ++f) {
            out += '\t';
            out += f == kByDefault ? std::to_string(entry.byDefault) : Escape(entry.texts[f]);
        }
        out += '\n';
    }
    for (const SGroup& group : book.Groups()) {
        out += "G\t" + std::to_string(group.number) + '\t' + Escape(group.name);
        for (const SGroupMember& member : group.members) {
            out += '\t' + std::to_string(member.id) + ':' + std::to_string(member.kind);
        }
        out += '\n';
    }
    return out;
}

std::string CBookFile::Save(const CPagerBook& book, const std::string& path) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return temporary + ": cannot be written: " + std::strerror(errno);
        }
        out << Format(book);
        out.flush();
        if (!out) {
            return temporary + ": write failed";
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = path + ": cannot be replaced: " + std::strerror(errno);
        std::remove(temporary.c_str());
        return error;
    }
    return "";
}

std::string CBookFile::Escape(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += Hex2(byte);
        } else if (byte < 0x80) {
            out += c;
        } else if (const char32_t cp = orvex::CCharacterCodes::CodePoint(byte);
                   cp != 0 && byte != 0xA0) {
            orvex::CCharacterCodes::AppendUtf8(out, cp);
        } else {
            // Undefined bytes, and the no-break space, which no reader tells from a space.
            out += Hex2(byte);
        }
    }
    return out;
}

bool CBookFile::Unescape(const std::string& text, std::string& bytes, std::string& error) {
    bytes.clear();
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\\') {
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            if (next == '\\' || next == 't' || next == 'n') {
                bytes += next == 't' ? '\t' : next == 'n' ? '\n' : '\\';
                i += 2;
                continue;
            }
            if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                HexDigit(text[i + 3]) >= 0) {
                bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
                i += 4;
                continue;
            }
            error = "bad escape at position " + std::to_string(i + 1) +
                    " (use \\t, \\n, \\\\ or \\xHH)";
            return false;
        }
        char32_t cp = 0;
        const size_t length = orvex::CCharacterCodes::DecodeUtf8(text, i, cp);
        if (length == 0) {
            error =
                "not UTF-8 at position " + std::to_string(i + 1) + " (write raw bytes as \\xHH)";
            return false;
        }
        const int byte = orvex::CCharacterCodes::Byte(cp);
        if (byte < 0) {
            error = "character at position " + std::to_string(i + 1) +
                    " does not exist in Windows-1252";
            return false;
        }
        bytes += static_cast<char>(byte);
        i += length;
    }
    return true;
}

}  // namespace sim
