// What an interrupted run leaves beside the database is taken care of at the next start.
#include "app/LeftoverFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QStatusBar>
#include <filesystem>
#include <fstream>

#include "db/BookHistory.h"
#include "db/ContactsTable.h"
#include "tests/app/ProgramTestSupport.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

class LeftoverFilesTest : public CProgramTest {};

TEST_F(LeftoverFilesTest, TheNextStartTakesCareOfWhatAKillLeft) {
    ShipDatabase();
    // A safety copy of a download killed before it ended, a journal whose header was zeroed,
    // a temporary file of an atomic copy, and one of a settings write by a process gone.
    fs::copy_file(dir + "Orvex.mdb", dir + "Orvex.mdb.bak");
    std::ofstream(dir + "Orvex.mdb-journal", std::ios::binary) << std::string(512, '\0');
    std::ofstream(dir + ".Orvex.mdb.a1B2c3") << "half a copy";
    std::ofstream(dir + ".Orvex.mdb.bak.Zz9y8X-journal") << "its journal";
    fs::create_directory(dir + "history");
    std::ofstream(dir + "history/.20261208-080000-001Z-import.mdb.Q1w2E3") << "half a book";
    std::ofstream(dir + "history/.20261208-080000-002Z-import.mdb.info.R4t5Y6") << "operation=";
    std::ofstream(dir + ".OrvexMgr.ini.999999999-0.tmp") << "half a settings file";
    std::ofstream(dir + "notes.txt") << "the user's own";
    StartProgram();

    EXPECT_FALSE(fs::exists(dir + "Orvex.mdb.bak")) << "never left lying";
    const auto books = frame->History().List();
    ASSERT_EQ(books.size(), 1u) << "and never deleted unseen";
    EXPECT_EQ(books[0].operation, CBookHistory::kInterrupted);
    EXPECT_EQ(books[0].personal, 0);
    EXPECT_FALSE(fs::exists(dir + "Orvex.mdb-journal"));
    EXPECT_FALSE(fs::exists(dir + ".Orvex.mdb.a1B2c3"));
    EXPECT_FALSE(fs::exists(dir + ".Orvex.mdb.bak.Zz9y8X-journal"));
    EXPECT_FALSE(fs::exists(dir + "history/.20261208-080000-001Z-import.mdb.Q1w2E3"));
    EXPECT_FALSE(fs::exists(dir + "history/.20261208-080000-002Z-import.mdb.info.R4t5Y6"));
    EXPECT_FALSE(fs::exists(dir + ".OrvexMgr.ini.999999999-0.tmp"));
    EXPECT_TRUE(fs::exists(dir + "notes.txt"));
    EXPECT_NE(frame->StatusText(0).toStdString().find("Restore Earlier Book"), std::string::npos);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{"Error 301|Unable to initialize COM port!"});
}

TEST_F(LeftoverFilesTest, LoadDbFileTakesCareOfWhatWasLeftBesideTheFile) {
    ShipDatabase();
    StartProgram();
    fs::create_directory(dir + "elsewhere");
    fs::copy_file(dir + "Orvex.mdb", dir + "elsewhere/book.mdb");
    fs::copy_file(dir + "Orvex.mdb", dir + "elsewhere/book.mdb.bak");
    chooser.path = dir + "elsewhere/book.mdb";
    frame->Action(CMainFrame::kCmdLoadDb)->trigger();
    EXPECT_EQ(frame->DatabasePath(), dir + "elsewhere/book.mdb");
    EXPECT_FALSE(fs::exists(dir + "elsewhere/book.mdb.bak"));
    const auto books = frame->History().List();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0].operation, CBookHistory::kInterrupted);
    EXPECT_EQ(books[0].detail, "book.mdb");
}

TEST_F(LeftoverFilesTest, NothingIsTouchedBesideAFileAnotherProgramHolds) {
    ShipDatabase();
    fs::copy_file(dir + "Orvex.mdb", dir + "Orvex.mdb.bak");
    std::ofstream(dir + ".Orvex.mdb.a1B2c3") << "an operation under way";
    CBookHistory history(dir + "history/");
    {
        CADODatabase holder;  // holds the file, as a running operation's program does
        ASSERT_TRUE(holder.Open(CContactsTable::ConnectionString(dir + "Orvex.mdb")));
        const auto result = CLeftoverFiles::TidyBeside(dir + "Orvex.mdb", history);
        EXPECT_TRUE(result.adopted.empty());
        EXPECT_TRUE(result.removed.empty());
    }
    EXPECT_TRUE(fs::exists(dir + "Orvex.mdb.bak"));
    EXPECT_TRUE(fs::exists(dir + ".Orvex.mdb.a1B2c3"));
    EXPECT_TRUE(history.List().empty());
}

TEST(JournalTest, OnlyAJournalWithoutAHeaderIsEmpty) {
    const fs::path file = fs::temp_directory_path() / "orvex-journal-test";
    std::ofstream(file, std::ios::binary) << "";
    EXPECT_TRUE(CLeftoverFiles::IsEmptyJournal(file.string()));
    std::ofstream(file, std::ios::binary) << std::string(28, '\0') << "rest";
    EXPECT_TRUE(CLeftoverFiles::IsEmptyJournal(file.string()));
    // Killed before its first sync: the magic zeroed, the rest of the header written.
    std::ofstream(file, std::ios::binary)
        << std::string(8, '\0') << "\x01\x02\x03\x04nonce" << std::string(20, '\x10');
    EXPECT_TRUE(CLeftoverFiles::IsEmptyJournal(file.string()));
    std::ofstream(file, std::ios::binary)
        << "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7" << std::string(20, '\0');
    EXPECT_FALSE(CLeftoverFiles::IsEmptyJournal(file.string())) << "a journal SQLite rolls back";
    fs::remove(file);
    EXPECT_FALSE(CLeftoverFiles::IsEmptyJournal(file.string()));
}

}  // namespace
}  // namespace orvex::test
