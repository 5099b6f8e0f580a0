#include "db/SchemaIni.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "db/Win1252.h"

namespace orvex {

namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The lines of a text, each with its line end.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The name of a section header line ("[contacts.csv]"), false for any other line.
bool SectionName(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.find(']') == std::string::npos) {
        return false;
    }
    name = t.substr(1, t.find(']') - 1);
    return true;
}

bool ColumnType(const std::string& type, CSchemaIni::SColumnDef& def) {
    const std::string t = CWin1252::Folded(type);
    if (t == "integer" || t == "short") {
        def.kind = EValueKind::Int16;
        def.bits = 16;
    } else if (t == "long") {
        def.kind = EValueKind::Int32;
        def.bits = 32;
    } else if (t == "byte") {
        def.kind = EValueKind::Byte;
        def.bits = 8;
    } else if (t == "single" || t == "float" || t == "double" || t == "currency") {
        def.kind = EValueKind::Double;
    } else if (t == "char" || t == "text" || t == "memo" || t == "longchar" || t == "date" ||
               t == "datetime") {
        def.kind = EValueKind::Text;
    } else {
        return false;
    }
    return true;
}

// "CONTACT_ID Integer", "FIRST_NAME Char Width 15", "\"First Name\" Text".
bool ParseColumn(const std::string& value, CSchemaIni::SColumnDef& def, std::string& error) {
    std::string rest = Trim(value);
    if (!rest.empty() && rest.front() == '"') {
        const size_t close = rest.find('"', 1);
        if (close == std::string::npos) {
            error = "the column name in \"" + value + "\" has no closing quote";
            return false;
        }
        def.name = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
    } else {
        const size_t blank = rest.find_first_of(" \t");
        def.name = rest.substr(0, blank);
        rest = blank == std::string::npos ? "" : rest.substr(blank);
    }
    std::istringstream words(rest);
    std::string type, widthWord, width, extra;
    words >> type >> widthWord >> width >> extra;
    if (def.name.empty() || type.empty() || !ColumnType(type, def)) {
        error = "the column \"" + value + "\" has no name or no known type";
        return false;
    }
    if (!widthWord.empty()) {
        char* end = nullptr;
        const long w = std::strtol(width.c_str(), &end, 10);
        if (CWin1252::Folded(widthWord) != "width" || width.empty() || *end != '\0' || w <= 0 ||
            w > INT_MAX || !extra.empty()) {
            error = "the column \"" + value + "\" has an unknown width";
            return false;
        }
        def.width = static_cast<int>(w);
    }
    return true;
}

}  // namespace

std::string CSchemaIni::FindFile(const std::string& directory) {
    std::error_code ec;
    const std::filesystem::path exact = std::filesystem::path(directory) / kFileName;
    if (std::filesystem::is_regular_file(exact, ec)) {
        return exact.string();
    }
    std::string found;
    const std::string wanted = CWin1252::Folded(kFileName);
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        if (CWin1252::Folded(entry.path().filename().string()) == wanted &&
            entry.is_regular_file(ec)) {
            found = entry.path().string();
            break;
        }
    }
    return found;
}

bool CSchemaIni::Load(const std::string& directory, const std::string& fileName, SFormat& format,
                      std::string& error) {
    format = SFormat();
    const std::string path = FindFile(directory);
    if (path.empty()) {
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseSection(text.str(), fileName, format, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool CSchemaIni::ParseSection(const std::string& text, const std::string& fileName, SFormat& format,
                              std::string& error) {
    format = SFormat();
    const std::string wanted = CWin1252::Folded(fileName);
    std::map<int, SColumnDef> columns;
    bool inSection = false;
    for (const std::string& raw : Lines(text)) {
        std::string name;
        if (SectionName(raw, name)) {
            if (format.found) {
                break;  // only the first section of that name counts
            }
            inSection = CWin1252::Folded(Trim(name)) == wanted;
            format.found = inSection;
            continue;
        }
        const std::string line = Trim(raw);
        if (!inSection || line.empty() || line.front() == ';') {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = CWin1252::Folded(Trim(line.substr(0, equals)));
        const std::string value = Trim(line.substr(equals + 1));
        if (key == "format") {
            const std::string f = CWin1252::Folded(value);
            if (f != "csvdelimited" && f != "delimited(,)") {
                error = "the format " + value + " of " + fileName + " is not supported";
                return false;
            }
        } else if (key == "colnameheader") {
            const std::string h = CWin1252::Folded(value);
            if (h != "true" && h != "false") {
                error = "ColNameHeader of " + fileName + " is neither True nor False";
                return false;
            }
            format.header = h == "true";
        } else if (key.size() > 3 && key.compare(0, 3, "col") == 0 &&
                   key.find_first_not_of("0123456789", 3) == std::string::npos) {
            const int number = std::atoi(key.c_str() + 3);
            SColumnDef def;
            std::string why;
            if (number <= 0 || number > 255) {
                why = "no such column number";
            }
            if (!why.empty() || !ParseColumn(value, def, why)) {
                error = Trim(line.substr(0, equals)) + " of " + fileName + ": " + why;
                return false;
            }
            columns[number] = def;
        }
        // Other keys (MaxScanRows, CharacterSet, ...) change nothing in how the file reads.
    }
    int expected = 1;
    for (auto& [number, def] : columns) {
        if (number != expected) {
            error = "Col" + std::to_string(expected) + " of " + fileName + " is missing";
            return false;
        }
        format.columns.push_back(std::move(def));
        ++expected;
    }
    return true;
}

std::string CSchemaIni::ReplaceSection(const std::string& text, const std::string& sectionName,
                                       const std::string& section) {
    const std::string wanted = CWin1252::Folded(sectionName);
    std::string out;
    bool skipping = false;
    bool replaced = false;
    for (const std::string& line : Lines(text)) {
        std::string name;
        if (SectionName(line, name)) {
            skipping = CWin1252::Folded(Trim(name)) == wanted;
            if (skipping && !replaced) {
                out += section;
                replaced = true;
            }
        }
        if (!skipping) {
            out += line;
        }
    }
    if (!replaced) {
        if (!out.empty() && out.back() != '\n') {
            out += "\r\n";
        }
        out += section;
    }
    return out;
}

}  // namespace orvex
