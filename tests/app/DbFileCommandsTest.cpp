#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/VelkorMgrApp.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "tests/QtTestApp.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/link/RecordingWindow.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"

namespace orvex::test {
namespace {

void AddContacts(const std::string& path, const std::vector<std::string>& names) {
    CADODatabase database;
    ASSERT_TRUE(database.Open(CContactsTable::ConnectionString(path)))
        << database.GetLastErrorString();
    CADORecordset rs(&database);
    ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
    int id = CContactsTable::NextContactId(database);
    for (const std::string& name : names) {
        ASSERT_TRUE(rs.AddNew());
        ASSERT_TRUE(rs.WriteInt("iCID", id) && rs.WriteInt("iEIdx", id) &&
                    rs.WriteInt("iGroup", 0) && rs.WriteText("strFName", name));
        ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
        ++id;
    }
}

int CountRows(const std::string& path) {
    CADODatabase database;
    if (!database.Open(CContactsTable::ConnectionString(path) + ";Mode=Read")) {
        return -1;
    }
    CADORecordset rs(&database);
    return rs.Open(CContactsTable::kTable, CADORecordset::openTable) ? rs.RowCount() : -1;
}

// The program started in a program directory of its own on the shipped database, which holds
// three contacts; the file dialogs answer with chooser.path.
class DbFileCommandsTest : public CProgramTest {
  protected:
    void SetUp() override {
        CProgramTest::SetUp();
        ShipDatabase();
        AddContacts(dir + "Orvex.mdb", {"Cleo", "Abe", "Bea"});
        StartProgram();
        box.shown.clear();  // the port's report at start-up
    }
    // A second contacts file in the directory with the given contacts.
    std::string OtherDatabase(const std::vector<std::string>& names) {
        const std::string path = dir + "other.mdb";
        std::string error;
        EXPECT_TRUE(CContactsTable::CreateEmptyDatabase(path, error)) << error;
        AddContacts(path, names);
        return path;
    }
    void Load(const std::string& path) {
        chooser.path = path;
        frame->Action(CMainFrame::kCmdLoadDb)->trigger();
    }
    void Backup(const std::string& path) {
        chooser.path = path;
        frame->Action(CMainFrame::kCmdBackup)->trigger();
    }
    // A file made by another tool: the contacts table as the program makes it, then more.
    std::string Foreign(const std::string& name, const std::string& sql,
                        bool withContactsTable = true) {
        const std::string path = dir + name;
        sqlite3* handle = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
        const std::string all =
            (withContactsTable ? CContactsTable::CreateStatement() + ";" : std::string()) + sql;
        EXPECT_EQ(sqlite3_exec(handle, all.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(handle) << "\n"
            << all;
        sqlite3_close(handle);
        return path;
    }
    // Loading path is refused with Error 202, its details naming the file and the reason.
    void ExpectRefused(const std::string& path, const std::string& reason) {
        box.shown.clear();
        box.details.clear();
        Load(path);
        const std::string report = "Error 202|Database file cannot be opened!";
        EXPECT_EQ(box.Shown(), std::vector<std::string>{report}) << path;
        EXPECT_EQ(box.Details(report), path + ": " + reason);
        ExpectStillOnTheOldDatabase();
    }
    CDataGrid* Grid() { return frame->ContactsView()->Grid(); }
    // The old database is still the one in use and shown.
    void ExpectStillOnTheOldDatabase() {
        EXPECT_EQ(frame->DatabasePath(), dir + "Orvex.mdb");
        EXPECT_TRUE(frame->Database().IsOpen());
        EXPECT_EQ(frame->Database().GetFilePath(), dir + "Orvex.mdb");
        EXPECT_EQ(Grid()->RowCount(), 3);
        EXPECT_EQ(frame->PersonalRecordset().RowCount(), 3);
    }
};

TEST_F(DbFileCommandsTest, LoadingTheFileInUseReopensItOnTheFirstRow) {
    ASSERT_EQ(Grid()->RowCount(), 3);
    Grid()->SetRow(2);
    Load(dir + "Orvex.mdb");
    EXPECT_TRUE(box.Shown().empty());
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_STREQ(chooser.requests[0].defaultSuffix, "mdb");
    EXPECT_EQ(chooser.requests[0].initialName, "*.mdb");
    EXPECT_STREQ(chooser.requests[0].filter, "Microsoft Access Databases (*.mdb)|*.mdb|");
    EXPECT_TRUE(chooser.requests[0].confirmOverwrite);
    EXPECT_EQ(frame->DatabasePath(), dir + "Orvex.mdb");
    EXPECT_EQ(Grid()->RowCount(), 3);
    EXPECT_EQ(Grid()->Row(), 0);
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:003/G:00");
}

TEST_F(DbFileCommandsTest, CancelLoadsNothing) {
    Load("");
    EXPECT_EQ(chooser.requests.size(), 1u);
    EXPECT_TRUE(box.Shown().empty());
    ExpectStillOnTheOldDatabase();
}

TEST_F(DbFileCommandsTest, AnotherFileIsTakenIntoUseAndKeptAtClose) {
    const std::string other = OtherDatabase({"Zed", "Yan"});
    Load(other);
    EXPECT_TRUE(box.Shown().empty());
    EXPECT_EQ(frame->DatabasePath(), other);
    EXPECT_EQ(Grid()->RowCount(), 2);
    EXPECT_EQ(Grid()->Row(), 0);
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:002/G:00");
    frame->close();
    const std::string settings = Slurp(dir + "OrvexMgr.ini");
    EXPECT_EQ(settings.rfind("[DbFilePath]\r\n;" + other + "$\r\n", 0), 0u) << settings;
}

TEST_F(DbFileCommandsTest, AFileThatIsNoContactsDatabaseIsRefused) {
    // A t_Contacts with a 23rd column.
    const std::string wide = OtherDatabase({"Zed"});
    {
        CADODatabase database;
        ASSERT_TRUE(database.Open(CContactsTable::ConnectionString(wide)));
        ASSERT_TRUE(database.Execute("alter table t_Contacts add column strExtra varchar(10)"));
    }
    // A contacts file cut in half, and bytes that are no database at all.
    const std::string cut = dir + "cut.mdb";
    std::filesystem::copy_file(dir + "Orvex.mdb", cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    const std::string noise = dir + "noise.mdb";
    {
        std::ofstream out(noise, std::ios::binary);
        for (int i = 0; i < 8192; ++i) {
            out.put(static_cast<char>((i * 7919 + 13) & 0xFF));
        }
    }
    ExpectRefused(wide, "its t_Contacts has 23 columns, not 22");
    ExpectRefused(noise, "SQLite cannot open it: file is not a database");
    ExpectRefused(cut, "SQLite cannot open it: database disk image is malformed");
    ExpectRefused(dir + "missing.mdb", "the file does not exist");
}

TEST_F(DbFileCommandsTest, FilesThatCouldHangOrMisleadTheProgramAreRefusedWithTheReason) {
    const auto start = std::chrono::steady_clock::now();
    std::string columns;
    for (int i = 0; i < CContactsTable::kColumnCount; ++i) {
        columns += std::string(i ? ", " : "") + (i < 3 ? "x" : "null") + " as " +
                   CContactsTable::kColumns[i].name;
    }
    const std::string endless =
        "with recursive c(x) as (select 1 union all select x + 1 from c) select ";
    ExpectRefused(
        Foreign("view.mdb", "create view t_Contacts as " + endless + columns + " from c;", false),
        "its t_Contacts is a view, not a plain table");
    ExpectRefused(
        Foreign("real.mdb", "insert into t_Contacts (iCID, iEIdx, iGroup) values (1e300, 1, 0);"),
        "its t_Contacts cannot be read: iCID of the row with rowid 1 holds 1e+300, which is no "
        "whole number of 16 bits");
    ExpectRefused(
        Foreign("wide.mdb",
                "insert into t_Contacts (iCID, iEIdx, iGroup) values (1, 1099511627776, 0);"),
        "its t_Contacts cannot be read: iEIdx of the row with rowid 1 holds 1099511627776, "
        "which does not fit 16 bits");
    ExpectRefused(Foreign("many.mdb", "insert into t_Contacts (iCID, iEIdx, iGroup) " + endless +
                                          "x % 1000, 0, 0 from c limit 60000;"),
                  "its t_Contacts cannot be read: the result needs more than 64 MiB of memory, "
                  "more than the program reads");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(100)) << "it ends";
}

TEST_F(DbFileCommandsTest, AFileWithTriggersLoadsAndTheyDoNotRun) {
    const std::string other =
        Foreign("triggers.mdb",
                "insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (1, 0, 0, 'Zed');"
                "create trigger rewrite after insert on t_Contacts begin "
                "update t_Contacts set strFName = 'Mallory' where rowid = new.rowid; end;"
                "create trigger keep before delete on t_Contacts begin select raise(ignore); end;");
    Load(other);
    EXPECT_TRUE(box.Shown().empty());
    EXPECT_EQ(frame->DatabasePath(), other);
    CADORecordset rs(&frame->Database());
    ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
    ASSERT_TRUE(rs.AddNew());
    ASSERT_TRUE(rs.WriteInt("iCID", 2) && rs.WriteInt("iEIdx", 1) && rs.WriteInt("iGroup", 0) &&
                rs.WriteText("strFName", "Amy"));
    ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
    std::string first;
    ASSERT_TRUE(rs.ReadText("strFName", first));
    EXPECT_EQ(first, "Amy");
    ASSERT_TRUE(frame->Database().Execute(CContactsTable::Format(CContactsTable::kDeleteById, 1)));
    EXPECT_EQ(frame->Database().GetRecordsAffected(), 1);
    frame->close();
    EXPECT_EQ(CountRows(other), 1);
}

TEST_F(DbFileCommandsTest, AFileHeldElsewhereIsRefusedAndTheOldOneStaysInUse) {
    const std::string other = OtherDatabase({"Zed"});
    CADODatabase holder;  // as another copy of the program holds it
    ASSERT_TRUE(holder.Open(CContactsTable::ConnectionString(other)));
    Grid()->SetRow(1);
    Load(other);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{"Error 202|Database file cannot be opened!"});
    EXPECT_EQ(box.Details("Error 202|Database file cannot be opened!"),
              other + " is in use by another program");
    ExpectStillOnTheOldDatabase();
    EXPECT_EQ(Grid()->Row(), 1) << "the row the user was on";
}

TEST_F(DbFileCommandsTest, BackupIsACopyOfTheOpenDatabase) {
    const std::string target = dir + "backup.mdb";
    std::ofstream(target) << "an older file of that name";
    Backup(target);
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(target));
    EXPECT_EQ(CountRows(target), 3);
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_STREQ(chooser.requests[0].filter, "Microsoft Access Databases (*.mdb)|*.mdb|");
    EXPECT_TRUE(chooser.requests[0].confirmOverwrite);
    // The name in other letter case is another file here: it is copied too.
    Backup(dir + "ORVEX.MDB");
    EXPECT_EQ(CountRows(dir + "ORVEX.MDB"), 3);
    // The program goes on with its own file.
    EXPECT_EQ(frame->Database().GetFilePath(), dir + "Orvex.mdb");
    EXPECT_TRUE(box.Shown().empty());
}

TEST_F(DbFileCommandsTest, BackupOntoTheOpenFileDoesNothing) {
    struct stat before {};
    ASSERT_EQ(stat((dir + "Orvex.mdb").c_str(), &before), 0);
    const auto entries = [this] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> listed = entries();
    // The same path, and the same file spelled another way.
    Backup(dir + "Orvex.mdb");
    Backup(dir + "./Orvex.mdb");
    struct stat after {};
    ASSERT_EQ(stat((dir + "Orvex.mdb").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the open file was not replaced";
    EXPECT_EQ(entries(), listed);
    EXPECT_TRUE(box.Shown().empty());
    // Changes still reach the file under its name.
    ASSERT_TRUE(frame->Database().Execute("delete from [t_Contacts] where strFName='Abe'"));
    frame->close();
    EXPECT_EQ(CountRows(dir + "Orvex.mdb"), 2);
}

TEST_F(DbFileCommandsTest, AFailedBackupIsReportedWithTheTargetAndTheReason) {
    const std::string target = dir + "no-such-folder/backup.mdb";
    Backup(target);
    const std::vector<std::string> shown = box.Shown();
    ASSERT_EQ(shown.size(), 1u);
    const std::string start =
        "Orvex Manager|The database could not be backed up to " + target + ":\n";
    EXPECT_EQ(shown[0].rfind(start, 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find("No such file or directory"), std::string::npos)
        << "the system's reason";
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace orvex::test
