#include "app/CsvExport.h"

#include <sys/stat.h>

#include <filesystem>

#include "tests/app/CsvTestSupport.h"
#include "tests/app/settings/TempFolder.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

TEST(CsvQuoteTest, QuotesOnlyWhatTheRuleNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Anna", "Anna"},
        {"Main St ", "\"Main St \""},
        {" lead", "\" lead\""},
        {"Acme, Inc", "\"Acme, Inc\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"in the middle", "in the middle"},
        {";5;12;", ";5;12;"},
    };
    for (const auto& [value, written] : cases) {
        std::string v = value;
        CCsvExport::QuoteCsvField(v);
        EXPECT_EQ(v, written) << value;
    }
}

using CsvExportTest = CsvProgramTest;

TEST_F(CsvExportTest, AnEmptyTableGivesTheHeaderAlone) {
    const std::string path = dir + "empty.csv";
    WriteFile("empty.csv", "older and longer contents than the header line ...........\r\n");
    Export(path);
    EXPECT_EQ(chooser.asked, 1);
    EXPECT_STREQ(chooser.request.defaultSuffix, "csv");
    EXPECT_EQ(chooser.request.initialName, "*.csv");
    EXPECT_STREQ(chooser.request.filter,
                 "CSV (Comma delimited) (*.csv)|*.csv|Text Documents (*.txt)|*.txt||");
    EXPECT_TRUE(chooser.request.confirmOverwrite);
    EXPECT_EQ(Slurp(path), kHeader) << "an existing file is replaced whole";
    EXPECT_TRUE(box.Shown().empty());

    chooser.path.clear();  // cancelled: nothing happens
    frame->Action(CMainFrame::kCmdExport)->trigger();
    EXPECT_EQ(chooser.asked, 2);
    EXPECT_EQ(Slurp(path), kHeader);
}

TEST_F(CsvExportTest, RowsComeInIdentifierOrderWithTheirFieldsQuoted) {
    AddRow({{"iCID", "9"},
            {"iEIdx", "0"},
            {"iGroup", "0"},
            {"strFName", "Anna"},
            {"strLName", "Baker"},
            {"strWAddr", "12345@pager"},
            {"byDefault", "1"},
            {"strGrpOfWAddr", ";2;"},
            {"strCompany", "Acme, Inc"},
            {"strHPhone", "555-1234x12"},
            {"strStreet", "Main St "},
            {"strCity", "Caf\xE9"},
            {"strNote", "say \"hi\""}});
    AddGroup(2, "Friends");
    AddRow({{"iCID", "4"}, {"iEIdx", "1"}, {"iGroup", "0"}, {"strFName", "Zed"}});
    const std::string path = dir + "out.csv";
    Export(path);
    EXPECT_EQ(Slurp(path),
              kHeader +
                  // A group line: its name, 1, and the table's defaults and nulls elsewhere.
                  "2,2,1,Friends,,,,,,;,;,;,,,,,,,,,,\r\n"
                  // No group: ";" in all three lists.
                  "4,1,0,Zed,,,,,,;,;,;,,,,,,,,,,\r\n"
                  "9,0,0,Anna,Baker,12345@pager,,,1,;2;,;,;,\"Acme, Inc\",555-1234x12,,,,"
                  "\"Main St \",Caf\xE9,,,\"say \"\"hi\"\"\"\r\n")
        << "identifier order, not name order; Windows-1252 bytes as stored";
    EXPECT_TRUE(box.Shown().empty());
}

TEST_F(CsvExportTest, ALineFeedInAValueGoesOutAsALineEnd) {
    AddRow({{"iCID", "1"}, {"iEIdx", "1"}, {"iGroup", "0"}, {"strNote", "a\nb"}});
    Export(dir + "lf.csv");
    EXPECT_EQ(Slurp(dir + "lf.csv"), kHeader + "1,1,0,,,,,,,;,;,;,,,,,,,,,,\"a\r\nb\"\r\n");
}

TEST_F(CsvExportTest, AFileThatCannotBeWrittenIsReportedAndNotLeftBehind) {
    AddGroup(1, "G");
    auto seen = box.WatchNotices();
    const std::string missing = dir + "no/such/folder/out.csv";
    Export(missing);
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->icon, QMessageBox::Warning);
    EXPECT_EQ(seen->caption, "Orvex Manager");
    EXPECT_EQ(seen->text.toStdString(),
              "The file " + missing + " could not be created:\nNo such file or directory");
    EXPECT_FALSE(Exists(missing));

    // A device on which every write fails, as on a full disk: reported, and the device is
    // not taken for an incomplete file to delete.
    seen = box.WatchNotices();
    Export("/dev/full");
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->text.toStdString(),
              "The file /dev/full could not be written:\nNo space left on device");
    EXPECT_TRUE(Exists("/dev/full"));
    EXPECT_TRUE(box.Shown().empty()) << "no numbered report";
}

// A full disk in the middle of an export over an older file: the older file stays, whole, and
// nothing else is left in the folder. A complete export keeps the old file's permission bits.
TEST_F(CsvExportTest, AFailedExportLeavesTheOlderFileAsItWas) {
    for (int id = 1; id <= 400; ++id) {
        AddRow({{"iCID", std::to_string(id)},
                {"iEIdx", std::to_string(id)},
                {"iGroup", "0"},
                {"strFName", "Person number " + std::to_string(id)},
                {"strNote", std::string(100, 'n')}});
    }
    fs::create_directory(dir + "out");
    const std::string target = dir + "out/target.csv";
    const std::string older = "CONTACT_ID\r\n1\r\n";
    WriteFile("out/target.csv", older);
    ::chmod(target.c_str(), 0640);
    std::string error;
    {
        const FileSizeLimit limit(4096);
        EXPECT_FALSE(CCsvExport::ExportContacts(frame->Database(), target, error));
    }
    EXPECT_NE(error.find("The file " + target + " could not be written:\n"), std::string::npos)
        << error;
    EXPECT_EQ(Slurp(target), older);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir + "out")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"target.csv"}) << "no temporary file is left";

    ASSERT_TRUE(CCsvExport::ExportContacts(frame->Database(), target, error)) << error;
    EXPECT_GT(Slurp(target).size(), 40000u);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the replacement keeps the file's permissions";

    // Through a symbolic link the file it names is replaced and the link stays a link.
    fs::create_symlink(target, dir + "out/link.csv");
    ASSERT_TRUE(CCsvExport::ExportContacts(frame->Database(), dir + "out/link.csv", error));
    EXPECT_TRUE(fs::is_symlink(dir + "out/link.csv"));
}

TEST_F(CsvExportTest, ExportingStraightToAFileReportsTheTable) {
    std::string error;
    ASSERT_TRUE(CCsvExport::ExportContacts(Db(), dir + "direct.csv", error)) << error;
    Db().Close();
    EXPECT_FALSE(CCsvExport::ExportContacts(Db(), dir + "closed.csv", error))
        << "a table that cannot be read is a failure, not an empty export";
    EXPECT_NE(error.find("closed.csv was not written"), std::string::npos) << error;
    EXPECT_FALSE(Exists(dir + "closed.csv"));
}

}  // namespace
}  // namespace orvex::test
