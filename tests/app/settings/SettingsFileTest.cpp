#include "app/settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <climits>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/app/settings/TempFolder.h"

namespace orvex::test {

namespace {

using Nine = std::array<std::string, 9>;

Nine ValidLines() {
    return {"[DbFilePath]",
            ";/home/ann/Orvex.mdb$",
            "[ProgramDirPath]",
            ";/home/ann/orvex/$",
            "[MaxPersonal]",
            ";200$",
            "[Communication]",
            ";1$",
            ";."};
}

// The lines joined as on disk: `eol` between them, none after the last.
std::string Join(const Nine& lines, const std::string& eol = "\r\n") {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : eol) + lines[i];
    }
    return text;
}

// A valid file with line `number` (counting from 1) replaced.
std::string With(std::size_t number, const std::string& line) {
    Nine lines = ValidLines();
    lines[number - 1] = line;
    return Join(lines);
}

CSettingsFile::SValues Sentinel() {
    return {"/untouched/db.mdb", "/untouched/", 7, 3};
}

void ExpectValues(const CSettingsFile::SValues& values, const CSettingsFile::SValues& expected) {
    EXPECT_EQ(values.databasePath, expected.databasePath);
    EXPECT_EQ(values.programDirectory, expected.programDirectory);
    EXPECT_EQ(values.maxPersonal, expected.maxPersonal);
    EXPECT_EQ(values.portNumber, expected.portNumber);
}

}  // namespace

// ---- Validation, one rule at a time: each case changes one line of a valid file.

struct SLineRule {
    std::size_t line;
    std::vector<std::string> valid;
    std::vector<std::string> invalid;
};

TEST(SettingsValidation, EachLineRule) {
    const SLineRule rules[] = {
        {1,
         {"[DbFilePath]", "[DbFilePath] of 1999"},
         {"[dbfilepath]", "[DbFilePath", " [DbFilePath]", ""}},
        {2,
         {";/data/Contacts.MDB$", ";/data/a.Mdb$", "old;/data/a.mdb$ was here", ";//server/a.mdb$"},
         {";data/a.mdb$", ";a.mdb$", "; /data/a.mdb$", ";C:\\data\\a.mdb$", ";/data/a.mdbx$",
          ";/data/a.mdb $", ";/data/a.mdb", "/data/a.mdb$", "$;/data/a.mdb$"}},
        {3, {"[ProgramDirPath]x"}, {"[ProgramDir]"}},
        {4,
         {";/$", ";/Home/Ann/$", "#;/opt/orvex/$#"},
         {";/home/ann/orvex$", ";home/ann/orvex/$", ";/home/ann/orvex/ $", ";C:\\orvex\\$", ";$"}},
        {5, {"[MaxPersonal]s"}, {"[MaxPersonals]", "[Maxpersonal]"}},
        {6,
         {";$", "$;$", ";0200$", ";99999999999999999999$"},
         {";-1$", "; 1$", ";1 $", ";+1$", ";1a$", ";200", "200$"}},
        {7, {"[Communication];1$"}, {"[COMMUNICATION]"}},
        {8, {";1$", ";4$", "COM;3$1"}, {";0$", ";5$", ";12$", ";01$", ";$", "; 1$", ";a$"}},
        {9, {";.", ";.end"}, {";", ".", "; .", ""}},
    };
    for (const SLineRule& rule : rules) {
        for (const std::string& text : rule.valid) {
            EXPECT_TRUE(CSettingsFile::Validate(With(rule.line, text)))
                << rule.line << ": " << text;
        }
        for (const std::string& text : rule.invalid) {
            EXPECT_FALSE(CSettingsFile::Validate(With(rule.line, text)))
                << rule.line << ": " << text;
        }
    }
}

TEST(SettingsValidation, LinesAndLineEnds) {
    const std::string valid = Join(ValidLines());
    EXPECT_FALSE(CSettingsFile::Validate(valid.substr(0, valid.rfind("\r\n") + 2)))
        << "the ninth line is missing";
    EXPECT_FALSE(CSettingsFile::Validate("[DbFilePath]\r\n;/a.mdb$"));
    EXPECT_FALSE(CSettingsFile::Validate(""));
    EXPECT_TRUE(CSettingsFile::Validate(valid + "\r\n[DbFilePath]\r\ngarbage$;"))
        << "what follows the ninth line is ignored";
    EXPECT_TRUE(CSettingsFile::Validate(valid + "\r\n"));
    EXPECT_TRUE(CSettingsFile::Validate(Join(ValidLines(), "\n")));
    EXPECT_TRUE(CSettingsFile::Validate(Join(ValidLines(), "\n") + "\n"));
    EXPECT_FALSE(CSettingsFile::Validate(Join(ValidLines(), "\r"))) << "a lone CR ends no line";
}

TEST(SettingsValidation, ReadsTheStreamFromItsStart) {
    std::istringstream in(Join(ValidLines()));
    std::string skipped;
    std::getline(in, skipped);
    std::getline(in, skipped, '\0');
    ASSERT_TRUE(in.eof());
    EXPECT_TRUE(CSettingsFile::Validate(in));
    EXPECT_TRUE(CSettingsFile::Validate(in)) << "a second check sees the same lines";
}

// ---- Reading real files.

class SettingsRead : public TempFolder {
  protected:
    CSettingsFile::SValues ReadText(const std::string& text, bool expectOk = true) {
        const std::string path = dir + "OrvexMgr.ini";
        Put(path, text);
        CSettingsFile::SValues values = Sentinel();
        EXPECT_EQ(CSettingsFile::Read(path, values), expectOk) << text;
        return values;
    }
};

TEST_F(SettingsRead, TakesTheValuesAsWritten) {
    Nine lines = ValidLines();
    lines[1] = "was;/Data/Ann/Contacts.MDB$ignored";
    lines[3] = ";/opt/Orvex Data/$";
    lines[5] = ";0150$";
    lines[7] = ";4$\t";
    ExpectValues(ReadText(Join(lines)), {"/Data/Ann/Contacts.MDB", "/opt/Orvex Data/", 150, 4});
}

TEST_F(SettingsRead, LfAndCrLfFilesReadAlike) {
    const CSettingsFile::SValues expected{"/home/ann/Orvex.mdb", "/home/ann/orvex/", 200, 1};
    ExpectValues(ReadText(Join(ValidLines(), "\r\n")), expected);
    ExpectValues(ReadText(Join(ValidLines(), "\n")), expected);
    ExpectValues(ReadText(Join(ValidLines(), "\r\n") + "\r\n"), expected);
}

TEST_F(SettingsRead, NumbersByDecimalConversion) {
    EXPECT_EQ(ReadText(With(6, ";$")).maxPersonal, 0);
    EXPECT_EQ(ReadText(With(6, "$;$")).maxPersonal, 0) << "a \"$\" before the \";\" is empty";
    EXPECT_EQ(ReadText(With(6, ";000000000000000000000000000000012$")).maxPersonal, 12);
    EXPECT_EQ(ReadText(With(6, ";2147483647$")).maxPersonal, INT_MAX);
    // More than an int holds is clamped, however long.
    EXPECT_EQ(ReadText(With(6, ";2147483648$")).maxPersonal, INT_MAX);
    EXPECT_EQ(ReadText(With(6, ";99999999999999999999999999999999$")).maxPersonal, INT_MAX);
    for (int port = 1; port <= 4; ++port) {
        EXPECT_EQ(ReadText(With(8, ";" + std::to_string(port) + "$")).portNumber, port);
    }
}

TEST_F(SettingsRead, FailureAssignsNothing) {
    ExpectValues(ReadText(With(8, ";5$"), false), Sentinel());
    ExpectValues(ReadText(With(9, ""), false), Sentinel());
    ExpectValues(ReadText("", false), Sentinel());

    CSettingsFile::SValues values = Sentinel();
    EXPECT_FALSE(CSettingsFile::Read(dir + "absent.ini", values));
    EXPECT_FALSE(CSettingsFile::Read(dir, values)) << "a folder is no settings file";
    ExpectValues(values, Sentinel());
}

// ---- Writing.

class SettingsWrite : public TempFolder {
  protected:
    std::string Path() const { return dir + "OrvexMgr.ini"; }
    const CSettingsFile::SValues current{"/srv/Contacts.MDB", "/home/bo/orvex/", 1000, 3};
};

TEST_F(SettingsWrite, ExactBytesThatReadBack) {
    std::string error;
    ASSERT_TRUE(CSettingsFile::Write(Path(), current, false, error)) << error;
    EXPECT_EQ(Get(Path()),
              "[DbFilePath]\r\n;/srv/Contacts.MDB$\r\n[ProgramDirPath]\r\n;/home/bo/orvex/$\r\n"
              "[MaxPersonal]\r\n;1000$\r\n[Communication]\r\n;3$\r\n;.");
    CSettingsFile::SValues read = Sentinel();
    ASSERT_TRUE(CSettingsFile::Read(Path(), read));
    ExpectValues(read, current);

    // The defaults ignore the database, capacity and port given.
    ASSERT_TRUE(CSettingsFile::Write(Path(), current, true, error)) << error;
    EXPECT_EQ(Get(Path()),
              "[DbFilePath]\r\n;/home/bo/orvex/Orvex.mdb$\r\n[ProgramDirPath]\r\n"
              ";/home/bo/orvex/$\r\n[MaxPersonal]\r\n;200$\r\n[Communication]\r\n;1$\r\n;.");
}

TEST_F(SettingsWrite, ReplacesALongerFileCompletelyAndKeepsItsMode) {
    Put(Path(), std::string(4000, 'x'));
    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(CSettingsFile::Write(Path(), current, false, error)) << error;
    EXPECT_EQ(Get(Path()), CSettingsFile::Text(current, false));
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(), std::vector<std::string>{"OrvexMgr.ini"});
}

TEST_F(SettingsWrite, ThroughALinkReplacesTheLinkedFile) {
    const std::string real = dir + "real.ini";
    Put(real, "old");
    std::filesystem::create_symlink(real, Path());
    std::string error;
    ASSERT_TRUE(CSettingsFile::Write(Path(), current, false, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(Get(real), CSettingsFile::Text(current, false));
}

TEST_F(SettingsWrite, RefusesValuesThatWouldNotReadBack) {
    Put(Path(), "previous");
    CSettingsFile::SValues dollar = current;
    dollar.databasePath = "/home/bo/$work/a.mdb";
    CSettingsFile::SValues lineEnd = current;
    lineEnd.programDirectory = "/home/bo/\n/";
    CSettingsFile::SValues port = current;
    port.portNumber = 5;
    CSettingsFile::SValues negative = current;
    negative.maxPersonal = -1;
    CSettingsFile::SValues relative = current;
    relative.programDirectory = "orvex/";
    for (const auto& [values, defaults] :
         {std::pair{dollar, false}, std::pair{lineEnd, false}, std::pair{port, false},
          std::pair{negative, false}, std::pair{relative, true}}) {
        std::string error;
        EXPECT_FALSE(CSettingsFile::Write(Path(), values, defaults, error));
        EXPECT_NE(error.find(Path()), std::string::npos) << error;
    }
    EXPECT_EQ(Get(Path()), "previous");
}

TEST_F(SettingsWrite, FailingPartWayKeepsTheOldFile) {
    const std::string old = CSettingsFile::Text(current, true);
    Put(Path(), old);
    std::string error;
    bool written = true;
    {
        const FileSizeLimit limit(10);
        written = CSettingsFile::Write(Path(), current, false, error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(Path()), std::string::npos) << error;
    EXPECT_EQ(Get(Path()), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"OrvexMgr.ini"}) << "no temporary file is left";
}

TEST_F(SettingsWrite, TargetThatCannotBeReplaced) {
    std::string error;
    ASSERT_TRUE(std::filesystem::create_directory(Path()));
    EXPECT_FALSE(CSettingsFile::Write(Path(), current, false, error));
    EXPECT_NE(error.find(Path()), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
    EXPECT_EQ(Names(), std::vector<std::string>{"OrvexMgr.ini"});

    error.clear();
    EXPECT_FALSE(CSettingsFile::Write(dir + "missing/OrvexMgr.ini", current, false, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SettingsWrite, RespectsPermissions) {
    if (RunningAsRoot()) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const std::string old = CSettingsFile::Text(current, true);
    Put(Path(), old);
    std::string error;

    ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
    EXPECT_FALSE(CSettingsFile::Write(Path(), current, false, error)) << "a read-only file";
    EXPECT_EQ(Get(Path()), old);

    ASSERT_EQ(::chmod(Path().c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    EXPECT_FALSE(CSettingsFile::Write(Path(), current, false, error)) << "a read-only folder";
    EXPECT_EQ(Get(Path()), old);
}

// ---- The settings phase of start-up.

class SettingsStartup : public TempFolder {
  protected:
    std::string Path() const { return dir + "OrvexMgr.ini"; }
    CSettingsFile::SValues Defaults() const { return {dir + "Orvex.mdb", dir, 200, 1}; }
};

TEST_F(SettingsStartup, MissingOrEmptyFileGetsTheDefaults) {
    for (const bool existsEmpty : {false, true}) {
        if (existsEmpty) {
            Put(Path(), "");
        } else {
            std::filesystem::remove(Path());
        }
        CSettingsFile::SValues values;
        std::string error;
        ASSERT_EQ(CSettingsFile::LoadAtStartup(dir, values, error), CSettingsFile::ELoadResult::Ok)
            << error;
        ExpectValues(values, Defaults());
        EXPECT_EQ(Get(Path()), CSettingsFile::Text(Defaults(), true));
    }
}

TEST_F(SettingsStartup, StoredProgramDirectoryWinsAndTheFileIsLeftAlone) {
    const std::string text = With(4, ";/elsewhere/orvex/$");
    Put(Path(), text);
    CSettingsFile::SValues values;
    std::string error;
    ASSERT_EQ(CSettingsFile::LoadAtStartup(dir, values, error), CSettingsFile::ELoadResult::Ok);
    EXPECT_EQ(values.programDirectory, "/elsewhere/orvex/");
    EXPECT_EQ(values.databasePath, "/home/ann/Orvex.mdb");
    EXPECT_EQ(Get(Path()), text);
}

TEST_F(SettingsStartup, InvalidFileIsReportedAndNeverRepaired) {
    const std::string text = With(9, "");
    Put(Path(), text);
    CSettingsFile::SValues values;
    std::string error;
    EXPECT_EQ(CSettingsFile::LoadAtStartup(dir, values, error),
              CSettingsFile::ELoadResult::Invalid);
    EXPECT_EQ(values.databasePath, "") << "the values keep their prior content";
    EXPECT_EQ(values.programDirectory, dir) << "derived from the settings file's folder";
    EXPECT_EQ(Get(Path()), text);
}

TEST_F(SettingsStartup, EmptyFileWhoseDefaultsCannotBeWrittenIsInvalid) {
    Put(Path(), "");
    CSettingsFile::SValues values;
    std::string error;
    CSettingsFile::ELoadResult result = CSettingsFile::ELoadResult::Ok;
    {
        const FileSizeLimit limit(10);
        result = CSettingsFile::LoadAtStartup(dir, values, error);
    }
    EXPECT_EQ(result, CSettingsFile::ELoadResult::Invalid);
    EXPECT_NE(error.find(Path()), std::string::npos) << error;
    EXPECT_EQ(Get(Path()), "");
}

TEST_F(SettingsStartup, NoFileCanBeMade) {
    CSettingsFile::SValues values = Sentinel();
    std::string error;
    EXPECT_EQ(CSettingsFile::LoadAtStartup(dir + "missing/", values, error),
              CSettingsFile::ELoadResult::CannotCreate);
    EXPECT_NE(error.find(dir + "missing/OrvexMgr.ini"), std::string::npos) << error;

    ASSERT_TRUE(std::filesystem::create_directory(Path()));
    EXPECT_EQ(CSettingsFile::LoadAtStartup(dir, values, error),
              CSettingsFile::ELoadResult::CannotCreate);
    ExpectValues(values, Sentinel());

    // A FIFO under the name must not hang the start.
    std::filesystem::remove(Path());
    ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);
    EXPECT_EQ(CSettingsFile::LoadAtStartup(dir, values, error),
              CSettingsFile::ELoadResult::CannotCreate);
}

}  // namespace orvex::test
