// A comma-delimited contacts file of arbitrary content, read as the import reads it: staged in
// a folder of its own beside the "Schema.ini" section the import writes for it, opened through
// the text driver's connection string, and queried with the import's own queries (every line,
// the group lines sorted by number, the personal lines that name groups, and the members of
// each group). The same bytes are also read as a "Schema.ini" of their own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/CsvImport.h"
#include "app/ImportStaging.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/SchemaIni.h"
#include "tests/fuzz/FuzzFolder.h"
#include "tests/fuzz/FuzzRows.h"

namespace {

using namespace orvex;
using namespace orvex::fuzz;

// The import's own queries and column description (app/CsvImport.h).
constexpr const char* kFileName = CImportStaging::kFileName;
constexpr const char* kAllLines = CCsvImport::kAllLines;
constexpr const char* kGroupLinesWhere = CCsvImport::kGroupLinesWhere;
constexpr const char* kPersonalInGroupsWhere = CCsvImport::kPersonalInGroupsWhere;
constexpr const char* kMembersWhere = CCsvImport::kMembersWhere;
constexpr const char* kSortGroupLines = CCsvImport::kSortGroupLines;
constexpr const char* kSortLines = CCsvImport::kSortLines;
constexpr int kMaxGroups = 20;

// The staging folder of this process, with the import's "Schema.ini" section in it.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::string& dir = ProcessFolder();
        const std::string section =
            std::string("[") + kFileName + "]\r\n" + CCsvImport::kSchemaColumns;
        WriteFile(dir + "Schema.ini", section.data(), section.size());
        return dir;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        CSchemaIni::SFormat format;
        std::string error;
        CSchemaIni::ParseSection(input, kFileName, format, error);
    }

    const std::string& folder = Folder();
    WriteFile(folder + kFileName, data, size);
    CADODatabase text;
    if (!text.Open("Driver={Microsoft Text Driver (*.txt; *.csv)}; Dbq=" + folder +
                       ";Extensions=asc,csv,tab,txt; Persist Security Info=False",
                   "", "")) {
        return 0;
    }
    CADORecordset lines(&text);
    if (!lines.Open(kAllLines + std::string(kFileName), CADORecordset::openQuery)) {
        return 0;
    }
    ReadAll(lines);
    lines.SortBy(kSortLines);
    ReadAll(lines);

    CADORecordset groupLines(&text);
    std::vector<int> groups;
    if (groupLines.Open(std::string("select * from ") + kFileName + kGroupLinesWhere,
                        CADORecordset::openQuery) &&
        groupLines.SortBy(kSortGroupLines)) {
        for (groupLines.MoveFirst(); !groupLines.IsEOF(); groupLines.MoveNext()) {
            int id = 0;
            if (groupLines.ReadInt("CONTACT_ID", id) &&
                static_cast<int>(groups.size()) < kMaxGroups) {
                groups.push_back(id);
            }
        }
    }

    CADORecordset personal(&text);
    if (personal.Open(std::string("select * from ") + kFileName + kPersonalInGroupsWhere,
                      CADORecordset::openQuery)) {
        ReadAll(personal);
    }

    for (const int id : groups) {
        CADORecordset members(&text);
        if (members.Open(std::string("select * from ") + kFileName +
                             CContactsTable::Format(kMembersWhere, id),
                         CADORecordset::openQuery) &&
            members.SortBy(kSortLines)) {
            ReadAll(members);
        }
    }
    return 0;
}
