#include "app/settings/ProgramDirectory.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/settings/SettingsFile.h"
#include "tests/app/settings/TempFolder.h"

namespace orvex::test {

namespace fs = std::filesystem;

// ---- Where the folder is: each test sets the variables it needs, the rest are unset.

class ProgramDirectoryLocate : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(
                name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name, value->c_str(), 1);
            } else {
                ::unsetenv(name);
            }
        }
    }
    static std::string Located() {
        std::string dir;
        std::string error;
        EXPECT_TRUE(CProgramDirectory::Locate(dir, error)) << error;
        return dir;
    }
    static std::string UserDatabaseHome() {
        const passwd* entry = ::getpwuid(::getuid());
        return entry != nullptr ? entry->pw_dir : "";
    }

  private:
    static constexpr const char* kNames[] = {"ORVEX_HOME", "XDG_DATA_HOME", "HOME"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

TEST_F(ProgramDirectoryLocate, OwnVariableWins) {
    ::setenv("XDG_DATA_HOME", "/xdg", 1);
    ::setenv("HOME", "/home/ann", 1);
    ::setenv("ORVEX_HOME", "/opt/orvex", 1);
    EXPECT_EQ(Located(), "/opt/orvex/");
    ::setenv("ORVEX_HOME", "/opt//orvex/./data/", 1);
    EXPECT_EQ(Located(), "/opt/orvex/data/");
}

TEST_F(ProgramDirectoryLocate, RelativeOwnVariableCountsFromTheCurrentDirectory) {
    ::setenv("ORVEX_HOME", "orvex-data", 1);
    EXPECT_EQ(Located(), fs::current_path().string() + "/orvex-data/");
}

TEST_F(ProgramDirectoryLocate, DataHomeWhenSetAndAbsolute) {
    ::setenv("HOME", "/home/ann", 1);
    ::setenv("ORVEX_HOME", "", 1);
    ::setenv("XDG_DATA_HOME", "/xdg/data/", 1);
    EXPECT_EQ(Located(), "/xdg/data/orvex-manager/");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(Located(), "/home/ann/.local/share/orvex-manager/");
    ::setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(Located(), "/home/ann/.local/share/orvex-manager/");
}

TEST_F(ProgramDirectoryLocate, HomeFromTheUserDatabaseWhenHomeIsUnusable) {
    const std::string home = UserDatabaseHome();
    if (home.empty() || home.front() != '/') {
        GTEST_SKIP() << "this user has no home folder in the user database";
    }
    const std::string expected =
        fs::path(home + "/.local/share/orvex-manager/").lexically_normal().string();
    EXPECT_EQ(Located(), expected) << "HOME unset";
    ::setenv("HOME", "not/absolute", 1);
    EXPECT_EQ(Located(), expected);
}

// ---- Seeding the folder at the first start.

class ProgramDirectoryPrepare : public TempFolder {
  protected:
    void SetUp() override {
        TempFolder::SetUp();
        shipped = dir + "shipped/";
        ASSERT_TRUE(fs::create_directory(shipped));
        Put(shipped + "Orvex.mdb", kDatabase);
        Put(shipped + "OrvexMgr.html", "<html>help</html>");
        home = dir + "data/user/orvex-manager/";
    }
    bool Prepare(std::string& error) {
        return CProgramDirectory::Prepare(home, shipped + "Orvex.mdb", shipped + "OrvexMgr.html",
                                          error);
    }
    // Large enough to need more than one read.
    const std::string kDatabase = std::string(200000, '\x5a') + "end";
    std::string shipped;
    std::string home;
};

TEST_F(ProgramDirectoryPrepare, FirstStartCreatesThePrivateFolderWithCopies) {
    EXPECT_TRUE(CProgramDirectory::IsFirstStart(home));
    std::string error;
    ASSERT_TRUE(Prepare(error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(home.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(Get(home + "Orvex.mdb"), kDatabase);
    EXPECT_EQ(Get(home + "OrvexMgr.html"), "<html>help</html>");
    EXPECT_EQ(Names(home), (std::vector<std::string>{"Orvex.mdb", "OrvexMgr.html"}));

    // The start-up that follows finds its default database where the defaults point.
    CSettingsFile::SValues values;
    ASSERT_EQ(CSettingsFile::LoadAtStartup(home, values, error), CSettingsFile::ELoadResult::Ok);
    EXPECT_TRUE(fs::is_regular_file(values.databasePath));
    EXPECT_FALSE(CProgramDirectory::IsFirstStart(home));
}

TEST_F(ProgramDirectoryPrepare, NeverOverwritesAFileAlreadyThere) {
    std::string error;
    ASSERT_TRUE(Prepare(error)) << error;
    Put(home + "Orvex.mdb", "the user's contacts");
    fs::remove(home + "OrvexMgr.html");
    // Still a first start, as no settings file was written.
    ASSERT_TRUE(Prepare(error)) << error;
    EXPECT_EQ(Get(home + "Orvex.mdb"), "the user's contacts");
    EXPECT_EQ(Get(home + "OrvexMgr.html"), "<html>help</html>");

    // Whatever is there counts, even a link to nothing.
    fs::remove(home + "Orvex.mdb");
    fs::create_symlink(dir + "nowhere", home + "Orvex.mdb");
    ASSERT_TRUE(Prepare(error)) << error;
    EXPECT_TRUE(fs::is_symlink(home + "Orvex.mdb"));
    EXPECT_FALSE(fs::exists(dir + "nowhere"));
}

TEST_F(ProgramDirectoryPrepare, LaterStartCopiesNothing) {
    ASSERT_TRUE(fs::create_directories(home));
    Put(home + "OrvexMgr.ini", "");
    EXPECT_FALSE(CProgramDirectory::IsFirstStart(home));
    std::string error;
    ASSERT_TRUE(Prepare(error)) << error;
    EXPECT_EQ(Names(home), std::vector<std::string>{"OrvexMgr.ini"})
        << "a deleted default database stays deleted";
}

// After an upgrade the help page is the new one; the user's database and settings are not
// touched, and an unchanged page is not written again.
TEST_F(ProgramDirectoryPrepare, TheHelpPageFollowsTheInstalledOne) {
    std::string error;
    ASSERT_TRUE(Prepare(error)) << error;
    Put(home + "OrvexMgr.ini", "settings");
    Put(home + "Orvex.mdb", "the user's contacts");
    bool replaced = true;
    ASSERT_TRUE(CProgramDirectory::RefreshHelp(home, shipped + "OrvexMgr.html", replaced, error));
    EXPECT_FALSE(replaced);

    Put(shipped + "OrvexMgr.html", "<html>new help</html>");
    Put(shipped + "Orvex.mdb", "a new empty database");
    ASSERT_TRUE(CProgramDirectory::RefreshHelp(home, shipped + "OrvexMgr.html", replaced, error));
    EXPECT_TRUE(replaced);
    EXPECT_EQ(Get(home + "OrvexMgr.html"), "<html>new help</html>");
    EXPECT_EQ(Get(home + "Orvex.mdb"), "the user's contacts");
    EXPECT_EQ(Get(home + "OrvexMgr.ini"), "settings");

    fs::remove(home + "OrvexMgr.html");
    ASSERT_TRUE(CProgramDirectory::RefreshHelp(home, shipped + "OrvexMgr.html", replaced, error));
    EXPECT_EQ(Get(home + "OrvexMgr.html"), "<html>new help</html>") << "a deleted page returns";
    ASSERT_TRUE(CProgramDirectory::RefreshHelp(home, "", replaced, error)) << "none shipped";
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Names(home),
              (std::vector<std::string>{"Orvex.mdb", "OrvexMgr.html", "OrvexMgr.ini"}));
}

TEST_F(ProgramDirectoryPrepare, MissingShippedFilesAreNamed) {
    fs::remove(shipped + "OrvexMgr.html");
    std::string error;
    EXPECT_FALSE(Prepare(error));
    EXPECT_NE(error.find(shipped + "OrvexMgr.html"), std::string::npos) << error;
    EXPECT_EQ(Get(home + "Orvex.mdb"), kDatabase) << "the other file is still copied";

    error.clear();
    fs::remove(home + "Orvex.mdb");
    EXPECT_FALSE(CProgramDirectory::Prepare(home, "", "", error));
    EXPECT_NE(error.find("Orvex.mdb"), std::string::npos) << error;
    EXPECT_NE(error.find("OrvexMgr.html"), std::string::npos) << error;

    // Not needed when the folder has its own copy already.
    Put(home + "Orvex.mdb", "own");
    Put(home + "OrvexMgr.html", "own");
    EXPECT_TRUE(CProgramDirectory::Prepare(home, "", dir + "absent.html", error)) << error;
}

TEST_F(ProgramDirectoryPrepare, FolderBlockedByAFile) {
    Put(dir + "data", "not a folder");
    std::string error;
    EXPECT_FALSE(Prepare(error));
    EXPECT_NE(error.find(dir + "data"), std::string::npos) << error;
}

TEST_F(ProgramDirectoryPrepare, CopyFailingPartWayLeavesNoFile) {
    std::string error;
    bool prepared = true;
    {
        // The help file fits under the limit, the database does not.
        const FileSizeLimit limit(100);
        prepared = Prepare(error);
    }
    EXPECT_FALSE(prepared);
    EXPECT_NE(error.find(home + "Orvex.mdb"), std::string::npos) << error;
    EXPECT_EQ(Names(home), std::vector<std::string>{"OrvexMgr.html"});
}

// ---- Finding the shipped files beside the executable.

class ShippedFiles : public TempFolder {
  protected:
    void Ship(const std::string& folder, const std::string& name) {
        fs::create_directories(dir + folder);
        Put(dir + folder + name, "x");
    }
};

TEST_F(ShippedFiles, BuildTreeLocations) {
    Ship("build/res/", "Orvex.mdb");
    EXPECT_EQ(CProgramDirectory::FindShipped(dir + "build/app/orvex-manager", "Orvex.mdb"),
              dir + "build/res/Orvex.mdb");
    EXPECT_EQ(CProgramDirectory::FindShipped(dir + "build/tests/app/settings_tests", "Orvex.mdb"),
              dir + "build/res/Orvex.mdb");
    EXPECT_EQ(CProgramDirectory::FindShipped(dir + "build/app/orvex-manager", "OrvexMgr.html"), "")
        << "each file is looked for on its own";
}

TEST_F(ShippedFiles, InstalledCopyComesFirst) {
    Ship("usr/share/orvex-manager/", "OrvexMgr.html");
    Ship("usr/res/", "OrvexMgr.html");
    EXPECT_EQ(CProgramDirectory::FindShipped(dir + "usr/bin/orvex-manager", "OrvexMgr.html"),
              dir + "usr/share/orvex-manager/OrvexMgr.html");
}

TEST(RunningExecutable, IsThisTestProgram) {
    const std::string exe = CProgramDirectory::RunningExecutable();
    EXPECT_EQ(fs::path(exe).filename(), "settings_tests");
    EXPECT_TRUE(fs::is_regular_file(exe));
}

}  // namespace orvex::test
