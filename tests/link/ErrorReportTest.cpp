#include <gtest/gtest.h>

#include "link/ErrorReport.h"
#include "tests/link/RecordingWindow.h"

namespace orvex::test {
namespace {

class ErrorReportTest : public ::testing::Test {
  protected:
    void SetUp() override { CErrorReport::SetMessageBox(&box); }
    void TearDown() override { CErrorReport::SetMessageBox(nullptr); }
    std::string Last() { return box.Shown().back(); }
    CRecordingMessageBox box;
    CErrorReport errors;
};

TEST_F(ErrorReportTest, ReportsCarryTheirCodeAndExactText) {
    errors.Error201Default();
    EXPECT_EQ(Last(), "Error 201|The default database file does not exist!");
    errors.Error201LastUsed();
    EXPECT_EQ(Last(), "Error 201|The last used database file does not exist!");
    errors.Error302("COM3");
    EXPECT_EQ(Last(), "Error 302|Error while creating ThreadWatchComm, COM3!");
    errors.Error304();
    EXPECT_EQ(Last(), "Error 304|Timeout!\r\nOr, bad connection!");
    errors.Error308(150);
    EXPECT_EQ(Last(), "Error 308|The device can have maximum 150 personal entries!");
    errors.Error002();
    EXPECT_EQ(Last(),
              "Error 002|Failure during importing comma delimited file!\r\nSome reserved words "
              "in the file name may cause\r\nthis problem.\r\nChange your file name or check "
              "the file's format!");
    errors.Error206();
    EXPECT_EQ(Last(), "Error 206|The Same address already exists in this group!");
}

TEST_F(ErrorReportTest, EveryReportHasItsOwnCaption) {
    void (CErrorReport::*reports[])() = {
        &CErrorReport::Error001, &CErrorReport::Error002, &CErrorReport::Error101,
        &CErrorReport::Error102, &CErrorReport::Error202, &CErrorReport::Error203,
        &CErrorReport::Error204, &CErrorReport::Error205, &CErrorReport::Error206,
        &CErrorReport::Error301, &CErrorReport::Error303, &CErrorReport::Error304,
        &CErrorReport::Error305, &CErrorReport::Error306, &CErrorReport::Error307,
        &CErrorReport::Error309, &CErrorReport::Error310};
    const char* captions[] = {"001", "002", "101", "102", "202", "203", "204", "205", "206",
                              "301", "303", "304", "305", "306", "307", "309", "310"};
    for (size_t i = 0; i < std::size(reports); ++i) {
        (errors.*reports[i])();
        EXPECT_EQ(Last().substr(0, 10), std::string("Error ") + captions[i] + "|");
    }
}

// A report with its cause keeps its caption and text; the cause travels apart, and an empty
// one makes the plain report.
TEST_F(ErrorReportTest, DetailsTravelBesideTheUnchangedReport) {
    using WithDetails = void (CErrorReport::*)(const std::string&);
    using Plain = void (CErrorReport::*)();
    const std::pair<WithDetails, Plain> pairs[] = {
        {&CErrorReport::Error002, &CErrorReport::Error002},
        {&CErrorReport::Error201Default, &CErrorReport::Error201Default},
        {&CErrorReport::Error201LastUsed, &CErrorReport::Error201LastUsed},
        {&CErrorReport::Error202, &CErrorReport::Error202},
        {&CErrorReport::Error203, &CErrorReport::Error203},
        {&CErrorReport::Error301, &CErrorReport::Error301},
        {&CErrorReport::Error304, &CErrorReport::Error304},
        {&CErrorReport::Error309, &CErrorReport::Error309},
        {&CErrorReport::Error310, &CErrorReport::Error310}};
    for (const auto& [detailed, plain] : pairs) {
        (errors.*plain)();
        const std::string report = Last();
        (errors.*detailed)("/home/ann/Orvex.mdb: No space left on device");
        EXPECT_EQ(Last(), report);
        EXPECT_EQ(box.Details(report), "/home/ann/Orvex.mdb: No space left on device");
        box.details.clear();
        (errors.*detailed)("");
        EXPECT_EQ(Last(), report);
        EXPECT_EQ(box.details.count(report), 0u) << report;
    }
}

TEST_F(ErrorReportTest, PromptsAreCaptionedWithTheProgramAndReturnTheAnswer) {
    box.answer = IDYES;
    EXPECT_EQ(errors.AskDeleteContact("Ann", "Lee"), IDYES);
    EXPECT_EQ(Last(), "Orvex Manager|Delete Ann Lee's record?");
    box.answer = IDNO;
    EXPECT_EQ(errors.AskDeleteContact("Ann", ""), IDNO);
    EXPECT_EQ(Last(), "Orvex Manager|Delete Ann's record?");
    errors.AskDeleteGroup("Team");
    EXPECT_EQ(Last(), "Orvex Manager|Delete the group 'Team'?");
    errors.AskReplaceContacts();
    EXPECT_EQ(Last(), "Orvex Manager|Replace the current contacts?");
    errors.AskDownload();
    EXPECT_EQ(Last(),
              "Orvex Manager|  This operation deletes all entries in the PC\r\nand saves all "
              "entries in your device to the PC.\r\nWould you like to proceed?");
    errors.AskUpload();
    EXPECT_EQ(Last(),
              "Orvex Manager|  This operation deletes all entries in your device\r\nand saves "
              "all entries in the PC to the device.\r\nWould you like to proceed?");
}

TEST(ErrorReportDefaultTest, WithoutABoxPromptsAreDeclined) {
    CErrorReport::SetMessageBox(nullptr);
    EXPECT_EQ(CErrorReport().AskDownload(), IDNO);
}

}  // namespace
}  // namespace orvex::test
