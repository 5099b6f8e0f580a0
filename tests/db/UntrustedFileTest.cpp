#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "db/SqliteConnection.h"
#include "tests/db/DbFixture.h"

namespace orvex::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A query whose recursion never ends: it counts without end.
constexpr const char* kEndless = "with recursive c(x) as (select 1 union all select x + 1 from c) ";

// Contacts files as other tools could make them: written with SQLite as it comes, none of the
// program's own settings in the way.
class UntrustedFileTest : public DbFixture {
  protected:
    std::string Make(const std::string& name, const std::string& sql) {
        const std::string file = dir + "/" + name;
        sqlite3* handle = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &handle), SQLITE_OK);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << (message ? message : "") << "\n"
            << sql;
        sqlite3_free(message);
        sqlite3_close(handle);
        return file;
    }
    // The contacts table as the program makes it, then the given statements.
    std::string MakeContacts(const std::string& name, const std::string& more) {
        return Make(name, CContactsTable::CreateStatement() + ";" + more);
    }
    // The column definitions of the contacts table, "(" left off, ")" kept.
    static std::string Definitions() {
        const std::string create = CContactsTable::CreateStatement();
        return create.substr(create.find('(') + 1);
    }
    // The 22 column names, each given the value of the expression for the first three
    // (numbers) and null for the texts.
    static std::string SelectColumns(const std::string& number) {
        std::string list;
        for (int i = 0; i < CContactsTable::kColumnCount; ++i) {
            list += std::string(i ? ", " : "") + (i < 3 ? number : "null") + " as " +
                    CContactsTable::kColumns[i].name;
        }
        return list;
    }
    static std::string Reason(const std::string& file) {
        std::string reason;
        EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(file, reason)) << file;
        return reason;
    }
    CSqliteConnection& Connection() { return *static_cast<CSqliteConnection*>(db.Connection()); }
    // A connection to file as the program makes one at start-up, where no check runs first.
    static bool OpenPersonal(const std::string& file, std::string& error) {
        CADODatabase database;
        if (!database.Open(CContactsTable::ConnectionString(file))) {
            error = database.GetErrorDescription();
            return false;
        }
        CADORecordset personal(&database);
        if (!CContactsTable::OpenPersonal(personal)) {
            error = CADODatabase::ReasonOf(personal.GetLastErrorString());
            return false;
        }
        return true;
    }
};

TEST_F(UntrustedFileTest, AViewNamedTContactsIsRefused) {
    const std::string file =
        Make("view.mdb", "create table stored (" + Definitions() +
                             "; insert into stored (iCID, strFName) values (1, 'Ann');" +
                             "create view t_Contacts as select * from stored;");
    EXPECT_EQ(Reason(file), "its t_Contacts is a view, not a plain table");
    // Where no check comes first, the view is not read either.
    std::string error;
    EXPECT_FALSE(OpenPersonal(file, error));
    EXPECT_NE(error.find("access to view \"t_Contacts\" prohibited"), std::string::npos) << error;
}

TEST_F(UntrustedFileTest, ViewsOverEndlessQueriesAreRefusedAndNeverRun) {
    // One returns rows without end, the other never returns its first row.
    const std::string rows = Make("rows.mdb", "create view t_Contacts as " + std::string(kEndless) +
                                                  "select " + SelectColumns("x") + " from c;");
    const std::string never =
        Make("never.mdb", "create view t_Contacts as " + std::string(kEndless) + "select " +
                              SelectColumns("(select max(x) from c)") + ";");
    const auto start = steady_clock::now();
    for (const std::string& file : {rows, never}) {
        EXPECT_EQ(Reason(file), "its t_Contacts is a view, not a plain table") << file;
        std::string error;
        EXPECT_FALSE(OpenPersonal(file, error)) << file;
    }
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(60)) << "it ends";
}

TEST_F(UntrustedFileTest, OtherKindsOfTableAreRefused) {
    const std::string columns = Definitions();
    const std::string withoutRowid =
        Make("wr.mdb", "create table t_Contacts (" + columns.substr(0, columns.size() - 1) +
                           ", primary key (iCID)) without rowid;");
    EXPECT_EQ(Reason(withoutRowid), "its t_Contacts is a table without rowids, not a plain table");
    if (sqlite3_compileoption_used("ENABLE_FTS5")) {
        std::string names;
        for (const auto& c : CContactsTable::kColumns) {
            names += std::string(names.empty() ? "" : ", ") + c.name;
        }
        const std::string virtualTable =
            Make("fts.mdb", "create virtual table t_Contacts using fts5(" + names + ");");
        EXPECT_EQ(Reason(virtualTable), "its t_Contacts is a virtual table, not a plain table");
    }
    EXPECT_EQ(Reason(Make("none.mdb", "create table contacts (a);")), "it has no table t_Contacts");
    EXPECT_EQ(Reason(dir + "/missing.mdb"), "the file does not exist");
    EXPECT_EQ(Reason(MakeContacts("wide.mdb", "alter table t_Contacts add column strExtra;")),
              "its t_Contacts has 23 columns, not 22");
}

TEST_F(UntrustedFileTest, AnEndlessStatementIsStoppedAndTheConnectionGoesOn) {
    Connection().SetTimeLimit(milliseconds(200));
    const auto start = steady_clock::now();
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.Open(std::string(kEndless) + "select count(*) from c"));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(rs.GetLastError(), SQLITE_INTERRUPT);
    EXPECT_EQ(CADODatabase::ReasonOf(rs.GetLastErrorString()),
              "the statement ran longer than 200 milliseconds and was stopped");
    EXPECT_FALSE(db.Execute(std::string(kEndless) + "select x from c"));
    EXPECT_NE(db.GetErrorDescription().find("ran longer than 200 milliseconds"), std::string::npos)
        << db.GetErrorDescription();
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(60)) << "it ends";

    // The clock runs for one call at a time: an idle connection has not used up its time.
    std::this_thread::sleep_for(milliseconds(300));
    AddContact(1, "Ann", "Lee");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal), "Ann");
    EXPECT_EQ(CContactsTable::NextContactId(db), 2);
}

TEST_F(UntrustedFileTest, AResultWithoutEndIsCutAtTheRowBoundAndNotUsed) {
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.Open(std::string(kEndless) + "select x from c"));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(rs.RowCount(), 0) << "no part of it is kept";
    EXPECT_EQ(CADODatabase::ReasonOf(rs.GetLastErrorString()),
              "the result has more than 100000 rows, more than the program reads");
}

TEST_F(UntrustedFileTest, TablesBeyondTheBoundsFailWhileTheBoundsThemselvesAreRead) {
    ASSERT_TRUE(db.Execute("create table big (x integer); insert into big " +
                           std::string(kEndless) + "select x from c limit 100000"));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select * from big")) << rs.GetLastErrorString();
    EXPECT_EQ(rs.RowCount(), CRowSet::kMaxRows);
    rs.Close();
    ASSERT_TRUE(db.Execute("insert into big values (0)"));
    EXPECT_FALSE(rs.Open("select * from big"));
    EXPECT_NE(rs.GetLastErrorString().find("more than 100000 rows"), std::string::npos);

    // The contacts table's rows are wide: the memory bound comes first.
    const std::string many = MakeContacts(
        "many.mdb", "insert into t_Contacts (iCID, iEIdx, iGroup) " + std::string(kEndless) +
                        "select x % 30000, 0, 0 from c limit 60000;");
    EXPECT_EQ(Reason(many),
              "its t_Contacts cannot be read: the result needs more than 64 MiB of memory, more "
              "than the program reads");
    // One value longer than any the program writes, by far.
    const std::string huge =
        MakeContacts("huge.mdb",
                     "insert into t_Contacts (iCID, strNote) values (1, printf('%.*c', 2000000, "
                     "'x'));");
    EXPECT_EQ(Reason(huge), "its t_Contacts cannot be read: string or blob too big");
}

TEST_F(UntrustedFileTest, NumbersBeyondTheirColumnFailTheReadAndTheCheck) {
    const struct {
        const char* column;
        const char* value;
        const char* reason;
    } cases[] = {
        {"iCID", "1e300",
         "iCID of the row with rowid 1 holds 1e+300, which is no whole number of 16 bits"},
        {"iCID", "1099511627776",
         "iCID of the row with rowid 1 holds 1099511627776, which does not fit 16 bits"},
        {"iEIdx", "1e300",
         "iEIdx of the row with rowid 1 holds 1e+300, which is no whole number of 16 bits"},
        {"iEIdx", "-1099511627776",
         "iEIdx of the row with rowid 1 holds -1099511627776, which does not fit 16 bits"},
        {"iCID", "32768", "iCID of the row with rowid 1 holds 32768, which does not fit 16 bits"},
        {"iGroup", "2.5",
         "iGroup of the row with rowid 1 holds 2.5, which is no whole number of 16 bits"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = MakeContacts(
            "n" + std::to_string(++n) + ".mdb",
            std::string("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (7, 7, 0, "
                        "'Ann'); update t_Contacts set ") +
                c.column + " = " + c.value + ";");
        EXPECT_EQ(Reason(file), std::string("its t_Contacts cannot be read: ") + c.reason);
        // The program's own first read fails too, where it reads the row.
        std::string error;
        if (std::string(c.column) != "iGroup") {
            EXPECT_FALSE(OpenPersonal(file, error)) << c.value;
            EXPECT_EQ(error, c.reason);
        }
    }
    // The largest and smallest 16-bit numbers are numbers like any other.
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(MakeContacts(
        "edges.mdb", "insert into t_Contacts (iCID, iEIdx, iGroup) values (32767, -32768, 0);")));
}

TEST_F(UntrustedFileTest, TheNextIdentifierIsNeverMadeUpFromANumberThatDoesNotFit) {
    // A table of another tool, its numbers without a declared type: the maximum is a real.
    ASSERT_TRUE(db.Execute("drop table t_Contacts; create table t_Contacts (iCID, strFName)"));
    ASSERT_TRUE(db.Execute("insert into t_Contacts values (1e300, 'Ann'), (5, 'Bo')"));
    EXPECT_EQ(CContactsTable::NextContactId(db), 0) << "unreadable, not 1";
    ASSERT_TRUE(db.Execute("update t_Contacts set iCID = 1099511627776 where iCID > 5"));
    EXPECT_EQ(CContactsTable::NextContactId(db), 0) << "unreadable, not 1";
    ASSERT_TRUE(db.Execute("update t_Contacts set iCID = 41 where iCID > 5"));
    EXPECT_EQ(CContactsTable::NextContactId(db), 42);
}

TEST_F(UntrustedFileTest, ReadIntConvertsOnlyWhatFitsThirtyTwoBits) {
    CADORecordset rs(&db);
    ASSERT_TRUE(
        rs.Open("select 1e300, -1e300, 1e999, 2147483648.0, 2147483647.9, -2147483648.9, "
                "2.5, '99999999999', '99999999999999999999999', '70000', -2147483648"))
        << rs.GetLastErrorString();
    rs.MoveFirst();
    for (int i : {0, 1, 2, 3, 7, 8}) {
        int value = 12345;
        EXPECT_FALSE(rs.ReadInt(i, value)) << i;
        EXPECT_EQ(value, 12345) << "left as it was";
        EXPECT_NE(rs.GetLastErrorString().find("out of the range of a 32-bit number"),
                  std::string::npos)
            << rs.GetLastErrorString();
    }
    int value = 0;
    EXPECT_TRUE(rs.ReadInt(4, value));
    EXPECT_EQ(value, -1) << "the low 16 bits of 2147483647";
    EXPECT_TRUE(rs.ReadInt(5, value));
    EXPECT_EQ(value, 0) << "the low 16 bits of -2147483648";
    EXPECT_TRUE(rs.ReadInt(6, value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(rs.ReadInt(9, value));
    EXPECT_EQ(value, 4464);
    EXPECT_TRUE(rs.ReadInt(10, value));
    EXPECT_EQ(value, 0);
    // A whole number beyond 32 bits is no 32-bit value: the read itself fails.
    EXPECT_FALSE(rs.Open("select 4294967296"));
    EXPECT_EQ(CADODatabase::ReasonOf(rs.GetLastErrorString()),
              "4294967296 of row 1 of the result holds 4294967296, which does not fit 32 bits");
}

TEST(RowSetOrderTest, ANaNSortsBeforeTheNumbersAndTheOrderStaysConsistent) {
    const CFieldValue nan = CFieldValue::Real(EValueKind::Double, std::nan(""));
    const CFieldValue one = CFieldValue::Int(EValueKind::Int16, 1);
    EXPECT_EQ(CRowSet::Compare(nan, one), -1);
    EXPECT_EQ(CRowSet::Compare(one, nan), 1);
    EXPECT_EQ(CRowSet::Compare(nan, nan), 0);
    CRowSet set;
    set.columns = {{"n", EValueKind::Double}};
    for (const double v : {3.0, std::nan(""), 1.0, std::nan(""), 2.0}) {
        set.rows.push_back({CFieldValue::Real(EValueKind::Double, v)});
        set.rowids.push_back(static_cast<int64_t>(set.rowids.size()));
    }
    std::string error;
    ASSERT_TRUE(set.Sort("n", error)) << error;
    EXPECT_EQ(set.rowids, (std::vector<int64_t>{1, 3, 2, 4, 0}));
}

TEST_F(UntrustedFileTest, TheFilesTriggersDoNotRun) {
    const std::string file = MakeContacts(
        "trigger.mdb",
        "create table log (what);"
        "create trigger rewrite after insert on t_Contacts begin "
        "update t_Contacts set strFName = 'Mallory', iCID = 999 where rowid = new.rowid; "
        "insert into log values ('insert'); end;"
        "create trigger keep before delete on t_Contacts begin select raise(ignore); end;"
        "create trigger spread after update on t_Contacts begin "
        "delete from t_Contacts where rowid <> new.rowid; end;");
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(file)) << "the data are sound";
    db.Close();
    ASSERT_TRUE(db.Open(CContactsTable::ConnectionString(file))) << db.GetLastErrorString();
    AddContact(1, "Ann", "Lee");
    AddContact(2, "Bo", "Berg");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, CContactsTable::kSortById), "Ann|Bo");
    EXPECT_EQ(CContactsTable::NextContactId(db), 3);
    ASSERT_TRUE(db.Execute("update t_Contacts set strCity = 'Oslo' where iCID = 1"));
    ASSERT_TRUE(db.Execute(CContactsTable::Format(CContactsTable::kDeleteById, 2)));
    EXPECT_EQ(db.GetRecordsAffected(), 1);
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal), "Ann");
    CADORecordset log(&db);
    ASSERT_TRUE(log.Open("select * from log"));
    EXPECT_EQ(log.RowCount(), 0);
}

TEST_F(UntrustedFileTest, EveryConnectionIsMadeSafe) {
    for (const bool readOnly : {false, true}) {
        CADODatabase other;
        if (readOnly) {
            ASSERT_TRUE(other.Open(CContactsTable::ConnectionString(path) + ";Mode=Read"));
        } else {
            db.Close();
            ASSERT_TRUE(other.Open(CContactsTable::ConnectionString(path)));
        }
        sqlite3* handle = static_cast<CSqliteConnection*>(other.Connection())->Handle();
        for (const auto& [option, wanted] : {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                             {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                             {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                             {SQLITE_DBCONFIG_ENABLE_FKEY, 0}}) {
            int now = -1;
            ASSERT_EQ(sqlite3_db_config(handle, option, -1, &now), SQLITE_OK);
            EXPECT_EQ(now, wanted) << option;
        }
        EXPECT_EQ(sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, -1), 0);
        EXPECT_EQ(sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, -1), 1000000);
        EXPECT_FALSE(other.Execute("attach '" + dir + "/other.mdb' as other"));
        if (!readOnly) {
            // The file's own structure cannot be written behind SQLite's back.
            other.Execute("PRAGMA writable_schema = ON");
            EXPECT_FALSE(other.Execute("update sqlite_schema set sql = 'create table x (a)'"));
        }
    }
}

TEST_F(UntrustedFileTest, TheProgramsOwnFilesStillPass) {
    // As full as a device's address book makes it.
    ASSERT_TRUE(db.BeginTrans());
    for (int i = 1; i <= 220; ++i) {
        AddContact(i, "N\xE9" + std::to_string(i), std::string(18, 'L'), i > 200 ? 1 : 0,
                   ";201;202;");
    }
    ASSERT_TRUE(db.CommitTrans());
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(path));
    std::string reason = "untouched";
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(path, reason));
    EXPECT_EQ(reason, "untouched");
    // A file of another tool whose columns have no declared types, numbers stored as text.
    std::string names;
    for (const auto& c : CContactsTable::kColumns) {
        names += std::string(names.empty() ? "" : ", ") + c.name;
    }
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(
        Make("plain.mdb", "create table T_CONTACTS (" + names +
                              "); insert into T_CONTACTS (iCID, iGroup) values ('3', 0);")));
}

}  // namespace
}  // namespace orvex::test
