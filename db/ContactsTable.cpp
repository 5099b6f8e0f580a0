#include "db/ContactsTable.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>

#include "db/ADORecordset.h"

namespace orvex {

namespace {

using F = CContactFields;

}  // namespace

int CContactsTable::MaxLength(const std::string& column) {
    const SContactField* field = F::Find(column);
    return field ? field->maxLength : 0;
}

std::string CContactsTable::CreateStatement() {
    std::string sql = "CREATE TABLE t_Contacts (";
    for (size_t i = 0; i < kColumns.size(); ++i) {
        const SContactField& c = kColumns[i];
        sql += std::string(i ? ", " : "") + c.name + " " + c.sqlType;
        if (c.sqlDefault) {
            sql += std::string(" DEFAULT ") + c.sqlDefault;
        }
    }
    return sql + ")";
}

bool CContactsTable::CreateEmptyDatabase(const std::string& path, std::string& error) {
    if (std::filesystem::exists(path)) {
        error = path + " exists already";
        return false;
    }
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK;
    char* message = nullptr;
    const std::string sql = "PRAGMA journal_mode=DELETE; " + CreateStatement() + ";";
    if (ok && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        ok = false;
    }
    if (!ok) {
        error = "cannot create " + path + ": " +
                (message ? message
                 : db    ? sqlite3_errmsg(db)
                         : "out of memory");
    }
    sqlite3_free(message);
    sqlite3_close_v2(db);
    return ok;
}

std::string CContactsTable::ConnectionString(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
}

std::string CContactsTable::Format(const char* statement, int n) {
    char buffer[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buffer, sizeof buffer, statement, n, n, n);
#pragma GCC diagnostic pop
    return buffer;
}

int CContactsTable::NextContactId(CADODatabase& database) {
    CADORecordset max(&database);
    if (!max.Open(kSelectMaxId, CADORecordset::openQuery) || max.RowCount() == 0) {
        return 0;
    }
    max.MoveFirst();
    int highest = 0;
    // A highest number that cannot be read must not pass for an empty table.
    if (!max.ReadInt(0, highest)) {
        return 0;
    }
    return highest + 1;
}

bool CContactsTable::IsValidContactsDatabase(const std::string& path) {
    std::string reason;
    return IsValidContactsDatabase(path, reason);
}

bool CContactsTable::IsValidContactsDatabase(const std::string& path, std::string& reason) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        reason = "the file does not exist";
        return false;
    }
    CADODatabase database;
    if (!database.Open(ConnectionString(path) + ";Mode=Read")) {
        reason = "SQLite cannot open it: " + database.GetErrorDescription();
        return false;
    }
    const auto failed = [&reason](const char* what, const CADORecordset& rs) {
        reason = what + CADODatabase::ReasonOf(rs.GetLastErrorString());
        return false;
    };
    // A damaged file is refused here rather than failing later in the middle of a change.
    {
        CADORecordset check(&database);
        std::string result;
        if (!check.Open("PRAGMA quick_check", CADORecordset::openQuery)) {
            return failed("its integrity check failed: ", check);
        }
        check.MoveFirst();
        if (check.RowCount() != 1 || !check.ReadText(0, result) || result != "ok") {
            reason = "it is damaged: " + result;
            return false;
        }
    }
    // Only a table holds what the program writes. A view could compute its rows (without
    // end), a virtual table is another program's code, and one without rowids cannot be
    // changed row by row.
    {
        CADORecordset kind(&database);
        std::string type;
        std::string withoutRowid;
        if (!kind.Open("select type, wr from pragma_table_list('t_Contacts') where schema = "
                       "'main'",
                       CADORecordset::openQuery)) {
            return failed("its tables cannot be listed: ", kind);
        }
        if (kind.RowCount() == 0) {
            reason = "it has no table t_Contacts";
            return false;
        }
        kind.MoveFirst();
        kind.ReadText(0, type);
        kind.ReadText(1, withoutRowid);
        if (type != "table" || withoutRowid != "0") {
            reason = "its t_Contacts is " +
                     std::string(type == "view"      ? "a view"
                                 : type == "virtual" ? "a virtual table"
                                 : type == "table"   ? "a table without rowids"
                                                     : "a " + type) +
                     ", not a plain table";
            return false;
        }
    }
    CADORecordset table(&database);
    if (!table.Open(kTable, CADORecordset::openTable)) {
        return failed("its t_Contacts cannot be read: ", table);
    }
    if (table.FieldCount() != kColumnCount) {
        reason = "its t_Contacts has " + std::to_string(table.FieldCount()) + " columns, not " +
                 std::to_string(kColumnCount);
        return false;
    }
    for (int i = 0; i < kColumnCount; ++i) {
        bool known = false;
        for (const SContactField& c : kColumns) {
            known = known || table.FieldName(i) == c.name;
        }
        if (!known) {
            reason = "its t_Contacts has a column " + table.FieldName(i) +
                     ", which is not one of the contacts table";
            return false;
        }
    }
    return true;
}

bool CContactsTable::RenumberEntries(CADODatabase& database, int contactId, int& personalRow,
                                     std::string& error) {
    personalRow = -1;
    CADORecordset all(&database);
    if (!all.Open(kTable, CADORecordset::openTable)) {
        error = all.GetLastErrorString();
        return false;
    }
    const int count = all.RowCount();
    if (count == 0) {
        return true;
    }
    if (!all.SortBy(kSortByName)) {
        error = all.GetLastErrorString();
        return false;
    }
    all.MoveFirst();
    // Group rows are never listed but have their place in the order too.
    int personalBefore = 0;
    for (int i = 0; i < count && !all.IsEOF(); ++i) {
        int id = 0;
        int group = 0;
        if (!all.ReadInt(F::Name(F::kId), id) || !all.ReadInt(F::Name(F::kIsGroup), group)) {
            error = all.GetLastErrorString();
            return false;
        }
        if (contactId >= 0 && id == contactId) {
            personalRow = personalBefore;
        }
        if (group == 0) {
            ++personalBefore;
        }
        // An index that is right already is left as it is: after a change most rows keep
        // their place, and a large table then costs few writes.
        std::string index;
        if (!all.ReadText(F::Name(F::kEntryIndex), index) || index != std::to_string(i)) {
            if (!all.WriteInt(F::Name(F::kEntryIndex), i) || !all.Update()) {
                error = all.GetLastErrorString();
                return false;
            }
        }
        all.MoveNext();
    }
    return true;
}

bool CContactsTable::OpenPersonal(CADORecordset& personal) {
    if (!personal.Open(kSelectPersonal, CADORecordset::openQuery)) {
        return false;
    }
    if (personal.RowCount() > 0) {
        personal.SortBy(kSortByName);
    }
    return true;
}

}  // namespace orvex
