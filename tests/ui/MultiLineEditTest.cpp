#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/MultiLineEdit.h"

namespace orvex::test {
namespace {

class MultiLineEditTest : public ::testing::Test {
  protected:
    QApplication& app = TestApp();
    CMultiLineEdit edit;
};

TEST_F(MultiLineEditTest, TypingStopsAtTheLimit) {
    edit.SetLimit(5);
    QTest::keyClicks(&edit, "abcdefgh");
    EXPECT_EQ(edit.Text(), "abcde");
    // A replaced selection makes room.
    edit.selectAll();
    QTest::keyClicks(&edit, "xy");
    EXPECT_EQ(edit.Text(), "xy");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClicks(&edit, "zzzz");
    EXPECT_EQ(edit.Length(), 5);
    EXPECT_EQ(edit.Text(), "xy\r\nzz");
}

TEST_F(MultiLineEditTest, PastingIsCutToTheRoomLeft) {
    edit.SetLimit(6);
    QTest::keyClicks(&edit, "ab");
    QApplication::clipboard()->setText("123456789");
    if (QApplication::clipboard()->text() != "123456789") {
        GTEST_SKIP() << "no clipboard on this platform";
    }
    edit.paste();
    EXPECT_EQ(edit.Text(), "ab1234");
    edit.paste();
    EXPECT_EQ(edit.Text(), "ab1234");
}

TEST_F(MultiLineEditTest, ProgramTextIsShownWholeWithItsLineBreaks) {
    edit.SetLimit(4);
    edit.SetText("line one\r\nline two");
    EXPECT_EQ(edit.toPlainText(), "line one\nline two");
    EXPECT_EQ(edit.Text(), "line one\r\nline two");
    EXPECT_EQ(edit.Length(), 17);
    QTest::keyClicks(&edit, "x");
    EXPECT_EQ(edit.Length(), 17);
}

}  // namespace
}  // namespace orvex::test
