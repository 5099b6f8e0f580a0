#include "app/CsvImport.h"

#include "app/CsvExport.h"
#include "app/ImportStaging.h"
#include "tests/app/CsvTestSupport.h"
#include "ui/ContactsView.h"

namespace orvex::test {
namespace {

TEST(GroupListTest, WellFormedListsAndTheirShift) {
    for (const char* good : {";", ";5;", ";5;7;", ";5;12;50;"}) {
        EXPECT_TRUE(CCsvImport::IsValidGroupList(good)) << good;
    }
    for (const char* bad : {"", ";5;5;", ";5;;7;", "5;", ";5", ";a;", ";;", ";5;7;5;", "; 5;"}) {
        EXPECT_FALSE(CCsvImport::IsValidGroupList(bad)) << bad;
    }
    std::string list = ";5;12;";
    CCsvImport::ShiftGroupList(list, 10);
    EXPECT_EQ(list, ";15;22;");
    list = ";";
    CCsvImport::ShiftGroupList(list, 10);
    EXPECT_EQ(list, ";");
}

class CsvImportTest : public CsvProgramTest {
  protected:
    std::string Exported() {
        std::string error;
        EXPECT_TRUE(CCsvExport::ExportContacts(Db(), dir + "c.csv", error)) << error;
        return dir + "c.csv";
    }
    bool NoLeftovers() {
        return !Exists(frame->DatabasePath() + ".bak") && !Exists(dir + "Schema.ini") &&
               Staged().empty();
    }
};

TEST_F(CsvImportTest, AnExportedFileComesBackOneHigherInReplaceMode) {
    Fill();
    const std::string path = Exported();
    const std::string before = Dump();
    Import(path, IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(chooser.request.filter, std::string(CCsvExport::kFileFilter));
    EXPECT_STREQ(chooser.request.defaultSuffix, "csv");
    EXPECT_FALSE(chooser.request.confirmOverwrite);
    // Every identifier, entry index and group number one higher; all else as it was, but for
    // the empty default address of a line, which is stored as the number 0.
    EXPECT_EQ(Dump(),
              "2,2,1,Friends,,,,,0,;,;,;,,,,,,,,,,\n"
              "3,1,0,Zoe,,z@pager,z@work,,2,;2;,;4;2;,;,,,,,,,,,,\n"
              "4,4,1,Work,,,,,0,;,;,;,,,,,,,,,,\n"
              "5,3,0,Bea,,,,b@home,0,;,;,;4;,,,,,,,,,,a \"quoted\", note\n"
              "6,5,0,Adam,,,,,0,;,;,;,,,,,,,,,,\n")
        << before;
    EXPECT_TRUE(NoLeftovers());
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:003/G:02");
    EXPECT_EQ(frame->ContactsView()->RememberedRow(), 0);
    EXPECT_EQ(Db().GetLastError(), 0);
}

TEST_F(CsvImportTest, AddingTwiceGivesTwoCopiesEachWithItsOwnGroups) {
    AddGroup(1, "G");
    AddRow({{"iCID", "2"},
            {"iEIdx", "2"},
            {"iGroup", "0"},
            {"strFName", "Ann"},
            {"strWAddr", "a@p"},
            {"strGrpOfWAddr", ";1;"}});
    const std::string path = Exported();
    Import(path, IDNO);
    Import(path, IDNO);
    EXPECT_EQ(box.Shown(), (std::vector<std::string>{kReplace, kReplace}));
    EXPECT_EQ(Dump(),
              "1,1,1,G,,,,,,;,;,;,,,,,,,,,,\n"
              "2,2,0,Ann,,a@p,,,,;1;,;,;,,,,,,,,,,\n"
              "4,4,1,G,,,,,0,;,;,;,,,,,,,,,,\n"
              "5,5,0,Ann,,a@p,,,0,;4;,;,;,,,,,,,,,,\n"
              "7,7,1,G,,,,,0,;,;,;,,,,,,,,,,\n"
              "8,8,0,Ann,,a@p,,,0,;7;,;,;,,,,,,,,,,\n");
    EXPECT_TRUE(NoLeftovers());
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:003/G:03");
}

TEST_F(CsvImportTest, EveryBadFileGetsError002AndChangesNothing) {
    Fill();
    const std::string before = Dump();
    const std::string groups =
        SCsvLine::Group(5, "Friends").Text() + SCsvLine::Group(7, "Work").Text();
    std::string eleven;
    for (int i = 0; i < 11; ++i) {
        eleven += SCsvLine(10 + i, "M" + std::to_string(i), ";7;").Text();
    }
    std::string twentyOne;
    for (int i = 0; i < 21; ++i) {
        twentyOne += SCsvLine::Group(30 + i, "G" + std::to_string(i)).Text();
    }
    const std::pair<const char*, std::string> cases[] = {
        {"default address 4", SCsvLine(1, "Ann").Set(8, "4").Text()},
        {"default address -1", SCsvLine(1, "Ann").Set(8, "-1").Text()},
        {"kind 2", SCsvLine(1, "Ann").Set(2, "2").Text()},
        {"empty address in a group", groups + SCsvLine(1, "Ann", ";7;").Set(5, "").Text()},
        {";5;5;", groups + SCsvLine(1, "Ann", ";5;5;").Text()},
        {";5;;7;", groups + SCsvLine(1, "Ann", ";5;;7;").Text()},
        {"5;", groups + SCsvLine(1, "Ann", "5;").Text()},
        {";a;", groups + SCsvLine(1, "Ann", ";a;").Text()},
        {"a group the file lacks", groups + SCsvLine(1, "Ann", ";6;").Text()},
        {"11 members", groups + eleven},
        {"21 group lines", twentyOne},
        {"16-character first name", SCsvLine(1, "Abcdefghijklmnop").Text()},
        {"phone with a blank", SCsvLine(1, "Ann").Set(13, "555 1234").Text()},
        {"e-mail with a blank", SCsvLine(1, "Ann").Set(6, "a b@x").Text()},
        {"tab in a note", SCsvLine(1, "Ann").Set(21, "a\tb").Text()},
        // Sorted by name the bad line comes last: the others were stored before it.
        {"bad last line",
         groups + SCsvLine(1, "Ann", ";5;").Text() + SCsvLine(2, "Zzz").Set(14, "+1").Text()},
        {"identifier beyond 16 bits", SCsvLine(32767, "Ann").Text()},
        {"entry index beyond 16 bits", SCsvLine(1, "Ann").Set(1, "40000").Text()},
        {"identifier not a number", SCsvLine(1, "Ann").Set(0, "x1").Text()},
        {"identifier twice", SCsvLine(1, "Ann").Text() + SCsvLine(1, "Bob").Text()},
        {"no identifier", SCsvLine(1, "Ann").Set(0, "").Text()},
        {"unterminated quote", SCsvLine(1, "Ann").Set(21, "\"open note").Text()},
        {"quote inside a field", SCsvLine(1, "An\"n").Text()},
        {"too few fields", "1,1,0,Ann\r\n"},
        {"too many fields", SCsvLine(1, "Ann").Text().insert(0, "0,")},
    };
    for (const auto& [what, lines] : cases) {
        SCOPED_TRACE(what);
        box.shown.clear();
        WriteFile("bad.csv", kHeader + lines);
        Import(dir + "bad.csv", IDYES);
        const std::vector<std::string> shown = box.Shown();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), kError002);
        EXPECT_EQ(std::count(shown.begin(), shown.end(), kError002), 1);
        // The details name the file the user chose, never the staged copy.
        const std::string details = box.Details(kError002);
        EXPECT_EQ(details.rfind(dir + "bad.csv could not be imported: ", 0), 0u) << details;
        EXPECT_EQ(details.find(CImportStaging::kPrefix), std::string::npos) << details;
        EXPECT_EQ(Dump(), before);
        EXPECT_TRUE(NoLeftovers());
        EXPECT_TRUE(Db().IsOpen());
    }
}

TEST_F(CsvImportTest, AddingGroupsBeyondTwentyFails) {
    for (int i = 0; i < 18; ++i) {
        AddGroup(i + 1, "G" + std::to_string(i));
    }
    const std::string before = Dump();
    WriteFile("three.csv", kHeader + SCsvLine::Group(1, "A").Text() +
                               SCsvLine::Group(2, "B").Text() + SCsvLine::Group(3, "C").Text());
    Import(dir + "three.csv", IDNO);
    EXPECT_EQ(box.Shown(), (std::vector<std::string>{kReplace, kError002}));
    EXPECT_EQ(Dump(), before);
    // Replacing, the same three are no more than twenty.
    box.shown.clear();
    Import(dir + "three.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:000/G:03");
}

TEST_F(CsvImportTest, AnEmptyFirstNameAndNullFieldsAreAccepted) {
    WriteFile("ok.csv", kHeader + SCsvLine(1, "").Text() + "2,,0,Bob,,,,,,,,,,,,,,,,,,\r\n");
    Import(dir + "ok.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(Dump(),
              "2,2,0,,Last,pager,,,1,;,;,;,,,,,,,,,,\n"
              "3,1,0,Bob,,,,,0,,,,,,,,,,,,,\n");
}

TEST_F(CsvImportTest, AFolderWhoseNameHoldsASemicolonIsTheFolderRead) {
    // A decoy where a connection string cut at the semicolon would look.
    std::filesystem::create_directories(dir + "semi;colon");
    std::filesystem::create_directories(dir + "semi");
    WriteFile("semi/c.csv", kHeader + SCsvLine(1, "Decoy").Text());
    WriteFile("semi;colon/c.csv", kHeader + SCsvLine(1, "Real").Text());
    Import(dir + "semi;colon/c.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(Dump(), "2,2,0,Real,Last,pagerReal,,,1,;,;,;,,,,,,,,,,\n");
    EXPECT_FALSE(Exists(dir + "semi;colon/Schema.ini"));
}

TEST_F(CsvImportTest, AUsersSchemaIniSurvivesEveryOutcome) {
    const std::string own =
        "; mine\r\n[other.txt]\r\nColNameHeader=False\r\n[c.csv]\r\nCol1=ONLY Char\r\n";
    WriteFile("Schema.ini", own);
    std::filesystem::permissions(dir + "Schema.ini", std::filesystem::perms(0640));
    WriteFile("c.csv", kHeader + SCsvLine(1, "Ann").Text());
    Import(dir + "c.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace})
        << "the user's section for the file was not the one read";
    EXPECT_EQ(Slurp(dir + "Schema.ini"), own);
    EXPECT_EQ(std::filesystem::status(dir + "Schema.ini").permissions(),
              std::filesystem::perms(0640));
    WriteFile("c.csv", kHeader + SCsvLine(1, "Ann").Set(8, "9").Text());
    Import(dir + "c.csv", IDYES);
    EXPECT_EQ(box.Shown().back(), kError002);
    EXPECT_EQ(Slurp(dir + "Schema.ini"), own);
    EXPECT_FALSE(Exists(frame->DatabasePath() + ".bak"));
}

TEST_F(CsvImportTest, AFailedCopyIsUndoneByItsTransactionAlone) {
    Fill();
    const std::string before = Dump();
    WriteFile("c.csv", kHeader + SCsvLine(1, "Ann").Text() + SCsvLine(2, "Zed").Set(8, "7").Text());
    CErrorReport errors;
    box.answer = IDYES;
    CCsvImport import(Db(), frame->DatabasePath(), errors);
    EXPECT_FALSE(import.ImportFile(dir + "c.csv"));
    EXPECT_EQ(import.Error(), "the line of CONTACT_ID 2: DEFAULT_ADDRESS is not 0 to 3");
    EXPECT_EQ(import.Details(), dir +
                                    "c.csv could not be imported: the line of CONTACT_ID 2: "
                                    "DEFAULT_ADDRESS is not 0 to 3.");
    // Nothing restored yet: the rows Ann's line added went with the rollback.
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(import.SafetyCopy().Exists());
    EXPECT_TRUE(Staged().empty()) << "the staging folder goes before the caller reports";
    EXPECT_FALSE(Exists(dir + "Schema.ini"));
    std::string error;
    EXPECT_TRUE(import.SafetyCopy().Discard(error));
}

}  // namespace
}  // namespace orvex::test
