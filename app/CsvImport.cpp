#include "app/CsvImport.h"

#include <filesystem>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "app/ImportStaging.h"
#include "contact/ContactFields.h"
#include "db/ContactsTable.h"
#include "db/TableAppender.h"
#include "link/MessageBox.h"
#include "ui/FieldCheck.h"

namespace orvex {

namespace {

using F = CContactFields;

// The file's columns by position are the table's; the lines' own columns by name.
constexpr int kId = F::kId, kEntry = F::kEntryIndex, kKind = F::kIsGroup,
              kDefault = F::kDefaultAddress;

const char* FileColumn(int column) {
    return F::kFields[static_cast<size_t>(column)].csvName;
}

// The numbers of a well-formed list, in order.
std::vector<std::string> Elements(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 1;
    while (start < list.size()) {
        const size_t end = list.find(';', start);
        if (end == std::string::npos) {
            break;
        }
        if (end > start) {
            out.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

}  // namespace

CCsvImport::CCsvImport(CADODatabase& database, const std::string& databasePath,
                       CErrorReport& errors)
    : m_database(database), m_errors(errors), m_copy(databasePath) {}

bool CCsvImport::Fail(const std::string& why) {
    if (m_error.empty()) {
        m_error = why;
    }
    return false;
}

std::string CCsvImport::TextConnectionString(const std::string& directory) {
    // A folder whose name holds a semicolon or a brace goes in braces, so that the connection
    // string cannot be cut short there and name another folder.
    const bool braces = directory.find_first_of(";{}") != std::string::npos;
    return "Driver={Microsoft Text Driver (*.txt; *.csv)}; Dbq=" +
           (braces ? "{" + directory + "}" : directory) +
           ";Extensions=asc,csv,tab,txt; Persist Security Info=False";
}

bool CCsvImport::IsValidGroupList(const std::string& text) {
    if (text == ";") {
        return true;
    }
    if (text.size() < 3 || text.front() != ';' || text.back() != ';' ||
        text.find(";;") != std::string::npos ||
        text.find_first_not_of("0123456789;") != std::string::npos) {
        return false;
    }
    // No number twice: without one occurrence, the list must not hold it again.
    for (const std::string& element : Elements(text)) {
        const std::string token = ";" + element + ";";
        std::string rest = text;
        rest.erase(rest.find(token), token.size() - 1);
        if (rest.find(token) != std::string::npos) {
            return false;
        }
    }
    return true;
}

void CCsvImport::ShiftGroupList(std::string& text, int offset) {
    std::string shifted = ";";
    for (const std::string& element : Elements(text)) {
        // Digits only; a number too long for any identifier stays too long, never wraps.
        const long long n = std::strtoll(element.c_str(), nullptr, 10);
        const long long v = offset > 0 && n > LLONG_MAX - offset ? LLONG_MAX : n + offset;
        shifted += std::to_string(v) + ";";
    }
    text = shifted;
}

bool CCsvImport::ImportFile(const std::string& path) {
    m_path = path;
    m_error.clear();
    CImportStaging staging;
    std::string error;
    if (!staging.Stage(path, CCsvImport::kSchemaColumns, error)) {
        return Fail(error);
    }
    const bool imported = ImportContacts(staging.Folder(), CImportStaging::kFileName);
    // The reasons of the text driver name the copy; the user knows the file by its own name.
    const std::string staged = staging.FilePath();
    for (size_t at = m_error.find(staged); at != std::string::npos;
         at = m_error.find(staged, at + path.size())) {
        m_error.replace(at, staged.size(), path);
    }
    return imported;
}

std::string CCsvImport::Details() const {
    const bool stop = !m_error.empty() && m_error.back() == '.';
    return m_path + " could not be imported: " + m_error + (stop ? "" : ".");
}

bool CCsvImport::ImportContacts(const std::string& directory, const std::string& fileName) {
    CADODatabase text;
    if (!text.Open(TextConnectionString(directory), "", "")) {
        return Fail(text.GetErrorDescription());
    }
    CADORecordset lines(&text);
    if (!lines.Open(kAllLines + fileName, CADORecordset::openQuery)) {
        return Fail(CADODatabase::ReasonOf(lines.GetLastErrorString()));
    }
    if (lines.FieldCount() != CContactsTable::kColumnCount) {
        return Fail("the file has " + std::to_string(lines.FieldCount()) + " columns");
    }
    CADORecordset groupLines(&text);
    if (!groupLines.Open("select * from " + fileName + kGroupLinesWhere,
                         CADORecordset::openQuery)) {
        return Fail(CADODatabase::ReasonOf(groupLines.GetLastErrorString()));
    }
    const bool replace = m_errors.AskReplaceContacts() == IDYES;
    int groups = groupLines.RowCount();
    if (!replace) {
        CADORecordset existing(&m_database);
        if (!existing.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)) {
            return Fail(CADODatabase::ReasonOf(existing.GetLastErrorString()));
        }
        groups += existing.RowCount();
    }
    if (groups > kMaxGroups) {
        return Fail("there would be " + std::to_string(groups) + " groups");
    }
    return CheckFileGroups(fileName, text, groupLines) && CopyFileRows(replace, lines);
}

bool CCsvImport::CheckFileGroups(const std::string& fileName, CADODatabase& textConnection,
                                 CADORecordset& groupLines) {
    std::set<int> groups;
    std::vector<int> ordered;
    if (!groupLines.SortBy(kSortGroupLines)) {
        return Fail(CADODatabase::ReasonOf(groupLines.GetLastErrorString()));
    }
    for (groupLines.MoveFirst(); !groupLines.IsEOF(); groupLines.MoveNext()) {
        int id = 0;
        if (!groupLines.ReadInt(FileColumn(kId), id)) {
            return Fail("a group line has no number: " +
                        CADODatabase::ReasonOf(groupLines.GetLastErrorString()));
        }
        groups.insert(id);
        ordered.push_back(id);
    }

    CADORecordset members(&textConnection);
    if (!members.Open("select * from " + fileName + kPersonalInGroupsWhere,
                      CADORecordset::openQuery)) {
        return Fail(CADODatabase::ReasonOf(members.GetLastErrorString()));
    }
    for (members.MoveFirst(); !members.IsEOF(); members.MoveNext()) {
        for (const F::SAddressKind& kind : F::kAddressKinds) {
            std::string address, list;
            if (!members.ReadText(FileColumn(kind.address), address) ||
                !members.ReadText(FileColumn(kind.groupList), list)) {
                return Fail(CADODatabase::ReasonOf(members.GetLastErrorString()));
            }
            const std::string where = std::string(FileColumn(kind.groupList)) + " \"" + list +
                                      "\" of the line of " + address;
            if (!IsValidGroupList(list)) {
                return Fail(where + " is not a group list");
            }
            if (address.empty() && list != ";") {
                return Fail(where + ": an empty address is in no group");
            }
            const std::vector<std::string> numbers = Elements(list);
            if (numbers.size() > static_cast<size_t>(kMaxGroups)) {
                return Fail(where + " names more than " + std::to_string(kMaxGroups) + " groups");
            }
            for (const std::string& n : numbers) {
                if (n.size() > 6 || groups.count(std::stoi(n)) == 0) {
                    return Fail(where + " names group " + n + ", which the file has not");
                }
            }
        }
    }
    members.Close();

    for (int group : ordered) {
        if (!members.Open(
                "select * from " + fileName + CContactsTable::Format(kMembersWhere, group),
                CADORecordset::openQuery)) {
            return Fail(CADODatabase::ReasonOf(members.GetLastErrorString()));
        }
        if (members.RowCount() > kMaxMembers) {
            return Fail("group " + std::to_string(group) + " has more than " +
                        std::to_string(kMaxMembers) + " members");
        }
    }
    return true;
}

bool CCsvImport::CopyFileRows(bool replace, CADORecordset& fileLines) {
    std::string error;
    // Both taken before the transaction begins, so they hold the table as it was: the book in
    // the history, which the user can restore later, and the safety copy for this import.
    if (m_history && !m_history->Keep(m_database, CBookHistory::kImport,
                                      std::filesystem::path(m_path).filename().string(), error)) {
        return Fail(error);
    }
    if (!m_copy.Make(m_database, error)) {
        return Fail(error);
    }
    if (!m_database.BeginTrans()) {
        return Fail(m_database.GetErrorDescription());
    }
    if (CopyRows(replace, fileLines)) {
        if (m_database.CommitTrans()) {
            return true;
        }
        Fail(m_database.GetErrorDescription());
    }
    m_database.RollbackTrans();
    return false;
}

bool CCsvImport::CopyRows(bool replace, CADORecordset& lines) {
    if (replace && !m_database.Execute(CContactsTable::kDeleteAll)) {
        return Fail(m_database.GetErrorDescription());
    }
    const int offset = CContactsTable::NextContactId(m_database);
    if (offset <= 0) {
        return Fail("the highest identifier of the table cannot be read");
    }
    // The rows go in through one prepared statement: nothing reads them back before the
    // contacts view reloads the table.
    CTableAppender table(m_database);
    std::vector<std::string> columns;
    for (const auto& column : CContactsTable::kColumns) {
        columns.emplace_back(column.name);
    }
    if (!table.Prepare(CContactsTable::kTable, columns)) {
        return Fail(table.Error());
    }
    if (!lines.SortBy(kSortLines)) {
        return Fail(CADODatabase::ReasonOf(lines.GetLastErrorString()));
    }
    int index[CContactsTable::kColumnCount];
    for (int c = 0; c < CContactsTable::kColumnCount; ++c) {
        index[c] = -1;
        for (int f = 0; f < lines.FieldCount(); ++f) {
            if (lines.FieldName(f) == FileColumn(c)) {
                index[c] = f;
            }
        }
        if (index[c] < 0) {
            return Fail(std::string("the file has no column ") + FileColumn(c));
        }
    }
    // The limit and the character check of each text column, looked up once.
    int limits[CContactsTable::kColumnCount] = {};
    CFieldCheck::ECheck checks[CContactsTable::kColumnCount] = {};
    for (int c = 0; c < CContactsTable::kColumnCount; ++c) {
        limits[c] = F::kFields[static_cast<size_t>(c)].maxLength;
        checks[c] = CFieldCheck::CheckOf(F::kFields[static_cast<size_t>(c)].name);
    }
    std::set<int> ids;
    int numbers[CContactsTable::kColumnCount] = {};
    std::string texts[CContactsTable::kColumnCount];
    std::vector<CFieldValue> row;
    for (lines.MoveFirst(); !lines.IsEOF(); lines.MoveNext()) {
        std::string errors;
        auto problem = [&](int c, const std::string& what) {
            errors += std::string(errors.empty() ? "" : "; ") + FileColumn(c) + " " + what;
        };
        for (int c = 0; c < CContactsTable::kColumnCount; ++c) {
            // Every field is read as text too: an empty number field is told from a 0.
            const bool integer = F::kFields[static_cast<size_t>(c)].IsNumber();
            if (!lines.ReadText(index[c], texts[c]) ||
                (integer && !lines.ReadInt(index[c], numbers[c]))) {
                problem(c, "cannot be read");
                continue;
            }
            const std::string& text = texts[c];
            if (integer) {
                continue;
            }
            if (F::IsGroupList(c)) {
                // Only a well-formed list can be shifted; the other lines' lists are checked
                // here as those of the personal lines in groups were before.
                if (!text.empty() && !IsValidGroupList(text)) {
                    problem(c, "\"" + text + "\" is not a group list");
                } else if (text.size() > 1) {
                    ShiftGroupList(texts[c], offset);
                    for (const std::string& n : Elements(texts[c])) {
                        if (n.size() > 5 || std::stoi(n) > INT16_MAX) {
                            problem(c, "names group " + n + ", which is no identifier");
                            break;
                        }
                    }
                    if (static_cast<int>(texts[c].size()) > limits[c]) {
                        problem(c, "is longer than " + std::to_string(limits[c]) + " characters");
                    }
                }
                continue;
            }
            if (static_cast<int>(text.size()) > limits[c]) {
                problem(c, "is longer than " + std::to_string(limits[c]) + " characters");
            }
            if (!CFieldCheck::IsValid(checks[c], text)) {
                problem(c, "holds characters that are not allowed");
            }
        }
        if (errors.empty()) {
            if (texts[kId].empty() || numbers[kId] < 0) {
                problem(kId, "is not an identifier");
            } else if (!ids.insert(numbers[kId]).second) {
                problem(kId, "is used by two lines");
            }
            if (texts[kKind].empty() || (numbers[kKind] != 0 && numbers[kKind] != 1)) {
                problem(kKind, "is neither 0 nor 1");
            }
            // No default address (0), or the number of an address kind.
            if (numbers[kDefault] != 0 && !F::AddressKind(numbers[kDefault])) {
                problem(kDefault, "is not 0 to 3");
            }
        }
        if (!errors.empty()) {
            return Fail("the line of CONTACT_ID " + texts[kId] + ": " + errors);
        }
        // Shifted identifiers that no longer fit the 16-bit columns are refused, not wrapped.
        row.clear();
        for (int c = 0; c < CContactsTable::kColumnCount; ++c) {
            if (!F::kFields[static_cast<size_t>(c)].IsNumber()) {
                row.push_back(CFieldValue::Text(std::move(texts[c])));
                continue;
            }
            const long long value =
                static_cast<long long>(numbers[c]) + (c == kId || c == kEntry ? offset : 0);
            if (value < INT16_MIN || value > INT16_MAX) {
                return Fail("the line of CONTACT_ID " + texts[kId] + ": " + FileColumn(c) +
                            " becomes " + std::to_string(value) + ", which does not fit the table");
            }
            row.push_back(CFieldValue::Int(EValueKind::Int16, value));
        }
        if (!table.Append(row)) {
            return Fail("the line of CONTACT_ID " + texts[kId] +
                        " cannot be stored: " + table.Error());
        }
    }
    return true;
}

}  // namespace orvex
