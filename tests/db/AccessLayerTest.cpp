#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>

#include "db/RowSource.h"
#include "db/SafetyCopy.h"
#include "db/SqliteConnection.h"
#include "tests/db/DbFixture.h"

namespace orvex::test {
namespace {

TEST_F(DbFixture, EmptyTextsAreStoredAsNullAndReadBackEmpty) {
    AddContact(1, "Ann", "");
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
    ASSERT_EQ(rs.RowCount(), 1);
    rs.MoveFirst();
    std::string text = "x";
    EXPECT_TRUE(rs.ReadText("strLName", text));
    EXPECT_EQ(text, "");
    int number = -1;
    EXPECT_TRUE(rs.ReadInt("byDefault", number));
    EXPECT_EQ(number, 0) << "a null number reads 0";
    // Rows inserted without group lists read ";" in all three.
    for (const char* list : {"strGrpOfWAddr", "strGrpOfWEmail", "strGrpOfHEmail"}) {
        EXPECT_TRUE(rs.ReadText(list, text));
        EXPECT_EQ(text, ";") << list;
    }
    CADODatabase check;
    ASSERT_TRUE(check.Open(CContactsTable::ConnectionString(path) + ";Mode=Read"));
    CADORecordset nulls(&check);
    ASSERT_TRUE(nulls.Open("select count(*) from t_Contacts where strLName is null"));
    EXPECT_TRUE(nulls.ReadInt(0, number));
    EXPECT_EQ(number, 1) << "stored as null, not as an empty text";
}

TEST_F(DbFixture, ReadingsFollowTheDeclaredTypes) {
    ASSERT_TRUE(db.Execute("create table t (i INTEGER, s SMALLINT, r REAL, b BOOLEAN, x BLOB)"));
    ASSERT_TRUE(db.Execute("insert into t values (70000, -5, 2.5, 1, x'00ff')"));
    EXPECT_EQ(db.GetRecordsAffected(), 1);
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select * from t"));
    rs.MoveFirst();
    int value = 0;
    EXPECT_TRUE(rs.ReadInt("i", value));
    EXPECT_EQ(value, 4464) << "the low 16 bits of 70000";
    EXPECT_TRUE(rs.ReadInt("s", value));
    EXPECT_EQ(value, -5);
    std::string text;
    EXPECT_TRUE(rs.ReadText("i", text));
    EXPECT_EQ(text, "70000");
    EXPECT_TRUE(rs.ReadText("r", text));
    EXPECT_EQ(text, "2.5");
    EXPECT_TRUE(rs.ReadText("b", text));
    EXPECT_EQ(text, "T");
    EXPECT_FALSE(rs.ReadText("x", text)) << "a binary value has no text";
    EXPECT_TRUE(rs.ReadInt(1, value)) << "by index as well";
    EXPECT_EQ(value, -5);
    EXPECT_FALSE(rs.ReadInt("missing", value));
    EXPECT_NE(rs.GetLastErrorString().find("no field named 'missing'"), std::string::npos);
}

TEST_F(DbFixture, AggregateOverAnEmptyTableHasOneRowReadingZero) {
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectMaxId));
    EXPECT_EQ(rs.RowCount(), 1);
    rs.MoveFirst();
    int value = -1;
    EXPECT_TRUE(rs.ReadInt(0, value));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(CContactsTable::NextContactId(db), 1);
    AddContact(7, "Bo", "Lind");
    AddContact(3, "Al", "Berg");
    EXPECT_EQ(CContactsTable::NextContactId(db), 8);
}

TEST_F(DbFixture, FailuresAreRecordedWithTheirSourceAndMeaning) {
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.Open("[t_Missing]", CADORecordset::openTable));
    EXPECT_FALSE(rs.IsOpen());
    const std::string text = rs.GetLastErrorString();
    EXPECT_EQ(text.rfind("Query = [t_Missing]\nCADORecordset Error\n\tCode = 00000001\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("\n\tSource = SQLite\n\tDescription = no such table: t_Missing\n"),
              std::string::npos)
        << text;

    CADODatabase missing;
    const std::string cs = CContactsTable::ConnectionString(dir + "/none.mdb");
    EXPECT_FALSE(missing.Open(cs));
    EXPECT_EQ(missing.GetLastErrorString().rfind("Connection String = " + cs +
                                                     "\nCADODataBase Error\n\tCode = 0000000e\n"
                                                     "\tCode meaning = unable to open database "
                                                     "file\n\tSource = SQLite\n",
                                                 0),
              0u)
        << missing.GetLastErrorString();
    EXPECT_EQ(missing.GetLastError(), SQLITE_CANTOPEN);

    EXPECT_FALSE(db.Execute("delete from [t_Nothing]"));
    EXPECT_NE(db.GetErrorDescription().find("no such table"), std::string::npos);
    EXPECT_TRUE(db.IsOpen()) << "a failed statement leaves the connection usable";

    std::ofstream(dir + "/text.mdb") << "not a database at all, but long enough to look like one";
    CADODatabase foreign;
    EXPECT_FALSE(foreign.Open(CContactsTable::ConnectionString(dir + "/text.mdb")));
    EXPECT_NE(foreign.GetErrorDescription().find("not a database"), std::string::npos);

    // The program's own text driver answers without being put in place.
    CADODatabase textDriver;
    EXPECT_TRUE(textDriver.Open("Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=" + dir + ";"))
        << textDriver.GetLastErrorString();
}

TEST_F(DbFixture, UpdateWithNothingPendingWritesNothing) {
    AddContact(1, "Ann", "Lee");
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
    const int before =
        sqlite3_total_changes(static_cast<CSqliteConnection*>(db.Connection())->Handle());
    EXPECT_TRUE(rs.Update());
    rs.Edit();
    EXPECT_TRUE(rs.Update()) << "an edit without writes";
    EXPECT_EQ(sqlite3_total_changes(static_cast<CSqliteConnection*>(db.Connection())->Handle()),
              before);
}

TEST_F(DbFixture, EditsGoBackToTheirRowAndFailuresAreCancelled) {
    AddContact(1, "Cid", "Zed");
    AddContact(2, "ann", "Lee");
    AddContact(3, "Bo", "Berg");
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
    ASSERT_TRUE(rs.SortBy(CContactsTable::kSortByName));
    rs.MoveFirst();
    rs.MoveNext();
    EXPECT_EQ(rs.Position(), 2);
    std::string first;
    rs.ReadText("strFName", first);
    EXPECT_EQ(first, "Bo");
    rs.Edit();
    ASSERT_TRUE(rs.WriteText("strCity", "Oslo"));
    ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
    EXPECT_EQ(Names("select * from [t_Contacts] where strCity='Oslo'"), "Bo");

    // A 16-bit column never takes a value that would wrap around.
    rs.Edit();
    EXPECT_FALSE(rs.WriteInt("iCID", 32768));
    EXPECT_NE(rs.GetLastErrorString().find("does not fit the 16-bit field 'iCID'"),
              std::string::npos);
    EXPECT_TRUE(rs.WriteInt("iCID", -32768));
    rs.CancelUpdate();

    // The row vanished behind the recordset's back: the update fails and is cancelled.
    ASSERT_TRUE(db.Execute("delete from [t_Contacts] where iCID=3"));
    rs.Edit();
    ASSERT_TRUE(rs.WriteText("strCity", "Rome"));
    EXPECT_FALSE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), CADORecordset::dbEditNone);
    std::string city;
    rs.ReadText("strCity", city);
    EXPECT_EQ(city, "Oslo");

    // Delete takes the current row; the next one becomes current.
    rs.MoveFirst();
    ASSERT_TRUE(rs.Delete());
    EXPECT_EQ(rs.RowCount(), 2);
    rs.ReadText("strFName", first);
    EXPECT_EQ(first, "Bo");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, CContactsTable::kSortByName), "Cid");
}

TEST_F(DbFixture, SortIsStableByNameWithoutRegardToCaseAndNullsFirst) {
    AddContact(1, "bob", "Young");
    AddContact(2, "Bob", "Adams");
    AddContact(3, "", "Nobody");
    AddContact(4, "\xC9mile", "");  // É sorts with the letters, after every ASCII letter
    AddContact(5, "alice", "");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, "strFName, strLName"),
              "|alice|Bob|bob|\xC9mile");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, "iCID ASC"), "bob|Bob||\xC9mile|alice");
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, "iCID DESC"), "alice|\xC9mile||Bob|bob");
    AddContact(6, "Anna", "Young");
    AddContact(7, "anna", "Baker");
    EXPECT_EQ(Names("select * from [t_Contacts] where strFName like 'anna'", "strFName, strLName"),
              "anna|Anna")
        << "case decides only when all keys tie without it";
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
    EXPECT_FALSE(rs.SortBy("strNothing"));
    EXPECT_EQ(rs.RowCount(), 7);
}

TEST_F(DbFixture, EveryByteValueSurvivesATextColumn) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    {
        CADORecordset rs(&db);
        ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
        ASSERT_TRUE(rs.AddNew());
        ASSERT_TRUE(rs.WriteText("strNote", all));
        ASSERT_TRUE(rs.WriteText("strFName", "Ren\xE9"));
        ASSERT_TRUE(rs.Update());
    }
    db.Close();
    ASSERT_TRUE(db.Open());
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
    rs.MoveFirst();
    std::string text;
    ASSERT_TRUE(rs.ReadText("strNote", text));
    EXPECT_EQ(text, all);
    // Other tools read the file's texts as UTF-8.
    CADORecordset raw(&db);
    ASSERT_TRUE(raw.Open("select hex(strFName) from t_Contacts"));
    raw.ReadText(0, text);
    EXPECT_EQ(text, "52656EC3A9");
}

TEST_F(DbFixture, AnOpenFileRefusesASecondConnection) {
    CADODatabase second;
    EXPECT_FALSE(second.Open(CContactsTable::ConnectionString(path)));
    EXPECT_NE(second.GetErrorDescription().find("in use by another program"), std::string::npos);
    db.Close();
    EXPECT_TRUE(second.Open(CContactsTable::ConnectionString(path))) << second.GetLastErrorString();
}

TEST_F(DbFixture, TransactionsCommitOrLeaveTheTableAsItWas) {
    AddContact(1, "Ann", "Lee");
    AddContact(2, "Bo", "Berg");
    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(db.Execute(CContactsTable::kDeleteAll));
    EXPECT_EQ(db.GetRecordsAffected(), 2);
    AddContact(9, "New", "");
    ASSERT_TRUE(db.RollbackTrans());
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal, "iCID ASC"), "Ann|Bo");

    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(db.Execute(CContactsTable::Format(CContactsTable::kDeleteById, 1)));
    ASSERT_TRUE(db.CommitTrans());
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal), "Bo");
    EXPECT_FALSE(db.CommitTrans()) << "no transaction is open";
}

TEST_F(DbFixture, BackupIsAConsistentCopyAndReplacesTheTargetWhole) {
    AddContact(1, "Ann", "Lee");
    const std::string copy = path + ".bak";
    ASSERT_TRUE(db.BackupTo(copy)) << db.GetLastErrorString();
    AddContact(2, "Bo", "Berg");
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(copy));
    {
        CADODatabase other;
        ASSERT_TRUE(other.Open(CContactsTable::ConnectionString(copy)));
        CADORecordset rs(&other);
        ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
        EXPECT_EQ(rs.RowCount(), 1);
    }
    EXPECT_FALSE(db.BackupTo(dir + "/no/such/folder/x.mdb"));
    EXPECT_NE(db.GetErrorDescription().find("no/such/folder"), std::string::npos);
    // No temporary file is left beside the target.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files += entry.is_regular_file();
    }
    EXPECT_EQ(files, 2);
}

// Putting the safety copy back, or replacing a backup, keeps the permission bits the user gave
// the file; a new backup gets those of any new file under the umask.
TEST_F(DbFixture, ReplacedFilesKeepTheirPermissions) {
    AddContact(1, "Ann", "Lee");
    CSafetyCopy copy(path);
    std::string error;
    ASSERT_TRUE(copy.Make(db, error)) << error;
    AddContact(2, "Bo", "Berg");
    db.Close();
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(copy.Restore(error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_TRUE(db.Open(CContactsTable::ConnectionString(path)));
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal), "Ann") << "the copy is what is back";

    const std::string backup = dir + "/backup.mdb";
    const mode_t old = ::umask(027);
    ASSERT_TRUE(db.BackupTo(backup)) << db.GetLastErrorString();
    ::umask(old);
    ASSERT_EQ(::stat(backup.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "a new file follows the umask";
    ASSERT_EQ(::chmod(backup.c_str(), 0604), 0);
    ASSERT_TRUE(db.BackupTo(backup));
    ASSERT_EQ(::stat(backup.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u) << "a replaced file keeps its own";
}

class CRecordingListener : public IRowSourceListener {
  public:
    void OnRowsChanged() override { ++rowsChanged; }
    void OnPositionChanged(int row) override { positions.push_back(row); }
    int rowsChanged = 0;
    std::vector<int> positions;
};

TEST_F(DbFixture, RowSourceFollowsTheRecordset) {
    AddContact(1, "Ann", "Lee");
    AddContact(2, "Bo", "Berg");
    CADORecordset rs(&db);
    EXPECT_EQ(rs.GetRecordset(), nullptr);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
    std::shared_ptr<IRowSource> source = rs.GetRecordset();
    ASSERT_NE(source, nullptr);
    CRecordingListener listener;
    source->AddListener(&listener);
    EXPECT_EQ(source->Rows(), 2);
    EXPECT_EQ(source->Columns(), CContactsTable::kColumnCount);
    EXPECT_EQ(source->ColumnName(3), "strFName");
    EXPECT_EQ(source->Text(1, 3), "Bo");
    EXPECT_EQ(source->Text(0, 0), "1");
    rs.MoveNext();
    EXPECT_EQ(source->CurrentRow(), 1);
    source->SetCurrentRow(0);
    EXPECT_EQ(rs.Position(), 1) << "the grid's row moves the recordset";
    rs.Edit();
    rs.WriteText("strFName", "Anna");
    rs.Update();
    EXPECT_EQ(source->Text(0, 3), "Anna");
    EXPECT_GE(listener.rowsChanged, 1);
    EXPECT_EQ(listener.positions, (std::vector<int>{1, 0}));
    rs.Close();
    EXPECT_EQ(source->Rows(), 0) << "a closed recordset shows no rows";
    source->RemoveListener(&listener);
}

// Texts in a statement are the program's Windows-1252 bytes like the bound values, so an
// accented literal finds, changes and deletes the rows stored with it.
TEST_F(DbFixture, AccentedLiteralsInStatementsMatchWhatIsStored) {
    AddContact(1, "Jos\xE9", "M\xFCller");
    AddContact(2, "Jose", "Muller");
    EXPECT_EQ(Names("select * from [t_Contacts] where strFName='Jos\xE9'"), "Jos\xE9");
    ASSERT_TRUE(db.Execute("update [t_Contacts] set strLName='\xC5se' where strLName='M\xFCller'"));
    EXPECT_EQ(db.GetRecordsAffected(), 1);
    EXPECT_EQ(Names("select * from [t_Contacts] where strLName like '%\xC5%'"), "Jos\xE9");
    ASSERT_TRUE(db.Execute("delete from [t_Contacts] where strFName='Jos\xE9'"));
    EXPECT_EQ(Names("select * from [t_Contacts]"), "Jose");
}

}  // namespace
}  // namespace orvex::test
