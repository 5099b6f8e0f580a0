// A comma-delimited contacts file of arbitrary content, read as the import reads it: staged in
// a folder of its own beside the "Schema.ini" section the import writes for it, opened through
// the text driver's connection string, and queried with the import's own queries (every line,
// the group lines sorted by number, the personal lines that name groups, and the members of
// each group). The same bytes are also read as a "Schema.ini" of their own.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/CsvImport.h"
#include "app/ImportStaging.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/SchemaIni.h"

namespace {

using namespace orvex;

// The import's own queries and column description (app/CsvImport.h).
constexpr const char* kFileName = CImportStaging::kFileName;
constexpr const char* kAllLines = CCsvImport::kAllLines;
constexpr const char* kGroupLinesWhere = CCsvImport::kGroupLinesWhere;
constexpr const char* kPersonalInGroupsWhere = CCsvImport::kPersonalInGroupsWhere;
constexpr const char* kMembersWhere = CCsvImport::kMembersWhere;
constexpr const char* kSortGroupLines = CCsvImport::kSortGroupLines;
constexpr const char* kSortLines = CCsvImport::kSortLines;
constexpr int kMaxGroups = 20;

void WriteFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The staging folder of this process, made once and removed at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvex-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        const std::string dir = pattern + "/";
        const std::string section =
            std::string("[") + kFileName + "]\r\n" + CCsvImport::kSchemaColumns;
        WriteFile(dir + "Schema.ini", section.data(), section.size());
        static const std::string removeAtExit = dir;
        std::atexit([] {
            std::remove((removeAtExit + kFileName).c_str());
            std::remove((removeAtExit + "Schema.ini").c_str());
            ::rmdir(removeAtExit.c_str());
        });
        return dir;
    }();
    return folder;
}

// Reads every field of every row, as numbers and as texts.
void ReadAll(CADORecordset& rows) {
    const int fields = rows.FieldCount();
    for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
        for (int f = 0; f < fields; ++f) {
            int number = 0;
            std::string text;
            rows.ReadInt(f, number);
            rows.ReadText(f, text);
        }
    }
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
