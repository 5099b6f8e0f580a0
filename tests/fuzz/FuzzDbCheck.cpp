// A database file of arbitrary bytes, as Load DB File meets it: the schema check first, and
// for a file that passes, the connection the program opens on it and every row of t_Contacts
// read through the recordset, as the contacts view and the transfers read them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "tests/fuzz/FuzzFolder.h"
#include "tests/fuzz/FuzzRows.h"

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ProcessFolder() + "Fuzz.mdb";
    std::remove((path + "-journal").c_str());
    WriteFile(path, data, size);
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
