#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "db/BookHistory.h"
#include "db/DatabaseFile.h"
#include "db/SafetyCopy.h"
#include "tests/db/DbFixture.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const std::string& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class BookHistoryTest : public DbFixture {
  protected:
    void SetUp() override {
        DbFixture::SetUp();
        folder = dir + "/history";
        history = std::make_unique<CBookHistory>(folder + "/");
    }

    // The names in the history folder, sorted.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            names.insert(it->path().filename().string());
        }
        return names;
    }
    void Keep(const std::string& operation, const std::string& detail = "") {
        std::string error;
        ASSERT_TRUE(history->Keep(db, operation, detail, error)) << error;
    }

    std::string folder;
    // Made once the fixture's folder exists.
    std::unique_ptr<CBookHistory> history;
};

TEST_F(BookHistoryTest, KeepsCopiesListedNewestFirstWithTheirCountsAndDetails) {
    AddContact(1, "Ann", "Lee");
    AddContact(2, "Bob", "Ray");
    AddContact(1, "Family", "", 1);
    Keep(CBookHistory::kDownload);
    AddContact(3, "Cid", "Moe");
    Keep(CBookHistory::kImport, "contacts.csv");

    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].operation, "import");
    EXPECT_EQ(entries[0].detail, "contacts.csv");
    EXPECT_EQ(entries[0].personal, 3);
    EXPECT_EQ(entries[0].groups, 1);
    EXPECT_EQ(entries[1].operation, "download");
    EXPECT_EQ(entries[1].detail, "");
    EXPECT_EQ(entries[1].personal, 2);
    EXPECT_EQ(entries[1].groups, 1);
    const std::regex when("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}");
    const std::regex name("\\d{8}-\\d{6}-\\d{3}Z-(download|import)\\.mdb");
    for (const SBookEntry& entry : entries) {
        EXPECT_TRUE(std::regex_match(entry.when, when)) << entry.when;
        EXPECT_EQ(fs::path(entry.path).parent_path(), fs::path(folder));
        EXPECT_TRUE(std::regex_match(fs::path(entry.path).filename().string(), name)) << entry.path;
        // A plain contacts file, as Load DB File takes it.
        std::string reason;
        EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(entry.path, reason)) << reason;
    }
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(BookHistoryTest, TheCopyHoldsTheBookAsItWasNotWhatCameAfter) {
    AddContact(1, "Ann", "Lee");
    Keep(CBookHistory::kDownload);
    ASSERT_TRUE(db.Execute(CContactsTable::kDeleteAll));
    AddContact(7, "Zed", "New");

    CADODatabase copy;
    ASSERT_TRUE(CBookHistory::OpenCopy(history->List().at(0).path, copy));
    CADORecordset rs(&copy);
    ASSERT_TRUE(rs.Open(CContactsTable::kSelectPersonal));
    ASSERT_EQ(rs.RowCount(), 1);
    rs.MoveFirst();
    std::string first;
    ASSERT_TRUE(rs.ReadText("strFName", first));
    EXPECT_EQ(first, "Ann");
}

TEST_F(BookHistoryTest, AnUntrustedDetailOrOperationNeverBecomesAPath) {
    const std::string detail =
        "../../x/y.csv\nwhen=1999-01-01 00:00:00\r\\n\x01\x7f"
        "caf\xc3\xa9=";
    Keep(CBookHistory::kImport, detail);
    Keep("../Odd Op/\n", "/etc/passwd");

    const std::set<std::string> files = Files();
    ASSERT_EQ(files.size(), 4u);
    const std::regex allowed("\\d{8}-\\d{6}-\\d{3}Z-[a-z0-9-]+\\.mdb(\\.info)?");
    for (const std::string& file : files) {
        EXPECT_TRUE(std::regex_match(file, allowed)) << file;
    }
    EXPECT_FALSE(fs::exists(dir + "/x"));
    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].operation, "../Odd Op/\n");
    EXPECT_EQ(entries[0].detail, "/etc/passwd");
    EXPECT_EQ(entries[1].operation, "import");
    EXPECT_EQ(entries[1].detail, detail);
    // A line inside the detail cannot pose as a line of the description.
    EXPECT_NE(entries[1].when, "1999-01-01 00:00:00");
}

TEST_F(BookHistoryTest, ThirtyTwoKeepsLeaveTheNewestThirty) {
    for (int i = 1; i <= 32; ++i) {
        Keep(CBookHistory::kDownload, std::to_string(i));
    }
    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(entries[i].detail, std::to_string(32 - i));
        EXPECT_EQ(entries[i].personal, 0);
    }
    // Keeps within one millisecond never share a name: every one was a file of its own.
    EXPECT_EQ(Files().size(), 60u);
}

TEST_F(BookHistoryTest, ABookAboutToBeRestoredIsSparedWhenItIsTheOldest) {
    for (int i = 1; i <= CBookHistory::kKeep; ++i) {
        Keep(CBookHistory::kDownload, std::to_string(i));
    }
    const SBookEntry oldest = history->List().back();
    ASSERT_EQ(oldest.detail, "1");
    std::string error;
    ASSERT_TRUE(history->Keep(db, CBookHistory::kRestore, "", error, oldest.path)) << error;
    std::vector<SBookEntry> entries = history->List();
    // The next oldest went in its place.
    ASSERT_EQ(entries.size(), 30u);
    EXPECT_EQ(entries.back().path, oldest.path);
    EXPECT_EQ(entries[entries.size() - 2].detail, "3");
    EXPECT_EQ(entries[0].operation, "restore");

    Keep(CBookHistory::kDownload, "later");
    entries = history->List();
    ASSERT_EQ(entries.size(), 30u);
    EXPECT_EQ(entries.back().detail, "3");
    EXPECT_FALSE(fs::exists(oldest.path));
    EXPECT_FALSE(fs::exists(oldest.path + ".info"));
}

TEST_F(BookHistoryTest, ANewBookIsListedFirstEvenAfterOneWithALaterTime) {
    // As after the clock was set back: a book whose name says it is from the future.
    fs::create_directories(folder);
    const std::string future = folder + "/29991231-235959-999Z-download.mdb";
    std::string error;
    ASSERT_TRUE(CDatabaseFile::CopyAtomically(path, future, error)) << error;
    AddContact(1, "Ann", "Lee");
    Keep(CBookHistory::kImport, "now.csv");

    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].detail, "now.csv");
    EXPECT_EQ(entries[0].personal, 1);
    EXPECT_EQ(entries[1].path, future);
    // Without a description the name says what it can.
    EXPECT_EQ(entries[1].operation, "download");
    EXPECT_EQ(entries[1].detail, "");
}

TEST_F(BookHistoryTest, AdoptsALooseSafetyCopy) {
    AddContact(1, "Ann", "Lee");
    AddContact(2, "Bob", "Ray");
    CSafetyCopy safety(path);
    std::string error;
    ASSERT_TRUE(safety.Make(db, error)) << error;
    const std::string bytes = Bytes(safety.Path());

    ASSERT_TRUE(history->Adopt(safety.Path(), CBookHistory::kInterrupted, "download", error))
        << error;
    EXPECT_FALSE(fs::exists(safety.Path()));
    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].operation, "interrupted");
    EXPECT_EQ(entries[0].detail, "download");
    EXPECT_EQ(entries[0].personal, 2);
    EXPECT_EQ(entries[0].groups, 0);
    EXPECT_EQ(Bytes(entries[0].path), bytes);
}

TEST_F(BookHistoryTest, AdoptingAMissingFileFailsAndMakesNothing) {
    std::string error;
    EXPECT_FALSE(history->Adopt(dir + "/gone.mdb.bak", CBookHistory::kInterrupted, "", error));
    EXPECT_NE(error.find("gone.mdb.bak"), std::string::npos) << error;
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(history->List().empty());
}

TEST_F(BookHistoryTest, RestoresABookOverTheDatabaseFileKeepingItsPermissions) {
    AddContact(1, "Ann", "Lee");
    Keep(CBookHistory::kDownload);
    ASSERT_TRUE(db.Execute(CContactsTable::kDeleteAll));
    AddContact(9, "Zed", "New");
    db.Close();
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    const SBookEntry entry = history->List().at(0);
    std::string error;
    ASSERT_TRUE(history->RestoreInto(entry, path, error)) << error;
    EXPECT_EQ(Bytes(path), Bytes(entry.path));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // The copy stays among the earlier books.
    ASSERT_EQ(history->List().size(), 1u);
    EXPECT_EQ(history->List()[0].path, entry.path);
    ASSERT_TRUE(db.Open(CContactsTable::ConnectionString(path))) << db.GetLastErrorString();
    EXPECT_EQ(Names(CContactsTable::kSelectPersonal), "Ann");
    // No temporary file is left beside the database.
    for (const auto& file : fs::directory_iterator(dir)) {
        EXPECT_NE(file.path().filename().string()[0], '.') << file.path();
    }
}

TEST_F(BookHistoryTest, ADamagedBookIsListedWithoutCountsAndNeverRestored) {
    AddContact(1, "Ann", "Lee");
    Keep(CBookHistory::kImport, "a.csv");
    db.Close();
    const SBookEntry entry = history->List().at(0);
    Write(entry.path, std::string(4096, '\x5a'));
    const std::string before = Bytes(path);

    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].personal, -1);
    EXPECT_EQ(entries[0].groups, -1);
    EXPECT_EQ(entries[0].detail, "a.csv");
    int personal = 0;
    int groups = 0;
    EXPECT_FALSE(CBookHistory::ReadCounts(entry.path, personal, groups));

    std::string error;
    EXPECT_FALSE(history->RestoreInto(entries[0], path, error));
    EXPECT_NE(error.find("cannot be restored"), std::string::npos) << error;
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(BookHistoryTest, AFileInPlaceOfTheFolderFailsTheKeepAndLeavesNothing) {
    Write(folder, "not a folder");
    std::string error;
    EXPECT_FALSE(history->Keep(db, CBookHistory::kDownload, "", error));
    EXPECT_NE(error.find(folder), std::string::npos) << error;
    EXPECT_EQ(Bytes(folder), "not a folder");
    std::set<std::string> names;
    for (const auto& file : fs::directory_iterator(dir)) {
        names.insert(file.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"Orvex.mdb", "history"}));
    EXPECT_TRUE(history->List().empty());
}

TEST_F(BookHistoryTest, AKeepWithoutAnOpenDatabaseFails) {
    db.Close();
    std::string error;
    EXPECT_FALSE(history->Keep(db, CBookHistory::kDownload, "", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(folder));
}

// Files may grow only so far while it lives: a full disk, for this process alone.
class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_saved{};
    sighandler_t m_handler;
};

TEST_F(BookHistoryTest, ACopyThatCannotBeWrittenWholeLeavesNothing) {
    Keep(CBookHistory::kDownload, "first");
    std::string error;
    {
        CFileSizeLimit limit(1024);
        EXPECT_FALSE(history->Keep(db, CBookHistory::kDownload, "second", error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Files().size(), 2u);
    ASSERT_EQ(history->List().size(), 1u);
    EXPECT_EQ(history->List()[0].detail, "first");
}

TEST_F(BookHistoryTest, ADescriptionThatCannotBeWrittenTakesItsCopyAlong) {
    // The copy (a few pages) fits under the limit; its description does not.
    std::string error;
    {
        CFileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(history->Keep(db, CBookHistory::kImport, std::string(100 * 1024, 'd'), error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(Files().empty());
}

TEST_F(BookHistoryTest, OnlyBooksAreListedAndOrphanedDescriptionsGo) {
    Keep(CBookHistory::kDownload, "kept");
    const SBookEntry gone = history->List().at(0);
    fs::remove(gone.path);
    Write(folder + "/notes.txt", "mine");
    Write(folder + "/20261208-140327-123Z-Download.mdb", "not ours");
    fs::create_directory(folder + "/20261208-140327-124Z-download.mdb");
    EXPECT_TRUE(history->List().empty());

    Keep(CBookHistory::kImport);
    EXPECT_EQ(history->List().size(), 1u);
    EXPECT_FALSE(fs::exists(gone.path + ".info"));
    EXPECT_TRUE(fs::exists(folder + "/notes.txt"));
}

}  // namespace
}  // namespace orvex::test
