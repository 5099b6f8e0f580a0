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

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/SchemaIni.h"

namespace {

using namespace orvex;

// The import's fixed strings (app/CsvImport.h, app/CsvImport.cpp, app/ImportStaging.h).
constexpr const char* kFileName = "contacts.csv";
constexpr const char* kAllLines =
    "select CONTACT_ID,ENTRY_INDEX,GROUP_OR_PERSONAL,FIRST_NAME,LAST_NAME,WIRELESS_ADDRESS,"
    "WORK_EMAIL,HOME_EMAIL,DEFAULT_ADDRESS,GROUP_OF_WIRELESS_ADDRESS,GROUP_OF_WORK_EMAIL,"
    "GROUP_OF_HOME_EMAIL,COMPANY,HOME_PHONE,WORK_PHONE,MOBILE_PHONE,FAX,STREET,CITY,STATE,"
    "ZIP,NOTE from ";
constexpr const char* kGroupLinesWhere = " where GROUP_OR_PERSONAL=1";
constexpr const char* kPersonalInGroupsWhere =
    " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS<>';' or "
    "GROUP_OF_WORK_EMAIL<>';' or GROUP_OF_HOME_EMAIL<>';')";
constexpr const char* kMembersWhere =
    " where GROUP_OR_PERSONAL=0 and (GROUP_OF_WIRELESS_ADDRESS like '%%;%d;%%' or "
    "GROUP_OF_WORK_EMAIL like '%%;%d;%%' or GROUP_OF_HOME_EMAIL like '%%;%d;%%')";
constexpr const char* kSortGroupLines = "CONTACT_ID ASC";
constexpr const char* kSortLines = "FIRST_NAME, LAST_NAME";
constexpr const char* kSchemaSection =
    "[contacts.csv]\r\n"
    "Format=CSVDelimited\r\n"
    "ColNameHeader=True\r\n"
    "MaxScanRows=0\r\n"
    "Col1=CONTACT_ID Integer\r\n"
    "Col2=ENTRY_INDEX Integer\r\n"
    "Col3=GROUP_OR_PERSONAL Integer\r\n"
    "Col4=FIRST_NAME Char Width 15\r\n"
    "Col5=LAST_NAME Char Width 18\r\n"
    "Col6=WIRELESS_ADDRESS Char Width 65\r\n"
    "Col7=WORK_EMAIL Char Width 65\r\n"
    "Col8=HOME_EMAIL Char Width 65\r\n"
    "Col9=DEFAULT_ADDRESS Integer\r\n"
    "Col10=GROUP_OF_WIRELESS_ADDRESS Char\r\n"
    "Col11=GROUP_OF_WORK_EMAIL Char\r\n"
    "Col12=GROUP_OF_HOME_EMAIL Char\r\n"
    "Col13=COMPANY Char Width 18\r\n"
    "Col14=HOME_PHONE Char Width 15\r\n"
    "Col15=WORK_PHONE Char Width 18\r\n"
    "Col16=MOBILE_PHONE Char Width 15\r\n"
    "Col17=FAX Char Width 15\r\n"
    "Col18=STREET Char Width 70\r\n"
    "Col19=CITY Char Width 20\r\n"
    "Col20=STATE Char Width 10\r\n"
    "Col21=ZIP Char Width 10\r\n"
    "Col22=NOTE Char Width 72\r\n";
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
        WriteFile(dir + "Schema.ini", kSchemaSection, std::strlen(kSchemaSection));
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
