// A database file of arbitrary bytes, as Load DB File meets it: the schema check first, and
// for a file that passes, the connection the program opens on it and every row of t_Contacts
// read through the recordset, as the contacts view and the transfers read them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace {

using namespace orvex;

// The folder of this process, made once and removed at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvex-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static const std::string removeAtExit = pattern + "/";
        std::atexit([] {
            for (const char* name : {"Fuzz.mdb", "Fuzz.mdb-journal"}) {
                std::remove((removeAtExit + name).c_str());
            }
            ::rmdir(removeAtExit.c_str());
        });
        return removeAtExit;
    }();
    return folder;
}

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
    const std::string path = Folder() + "Fuzz.mdb";
    std::remove((path + "-journal").c_str());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string reason;
    if (!CContactsTable::IsValidContactsDatabase(path, reason)) {
        return 0;
    }
    CADODatabase database;
    if (!database.Open(CContactsTable::ConnectionString(path), "", "")) {
        return 0;
    }
    CADORecordset table(&database);
    if (table.Open(CContactsTable::kTable, CADORecordset::openTable)) {
        ReadAll(table);
    }
    CADORecordset personal(&database);
    if (CContactsTable::OpenPersonal(personal)) {
        ReadAll(personal);
    }
    CADORecordset groups(&database);
    if (groups.Open(CContactsTable::kSelectGroups, CADORecordset::openQuery)) {
        ReadAll(groups);
    }
    CContactsTable::NextContactId(database);
    return 0;
}
