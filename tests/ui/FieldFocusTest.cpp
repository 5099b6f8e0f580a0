#include "tests/ui/EditingTestSupport.h"

namespace orvex::test {
namespace {

using FieldFocusTest = CEditingTest;

TEST_F(FieldFocusTest, InvalidAddressReportsAndKeepsTheCaretEachTime) {
    Add(1, "Ann");
    MakeView();
    Click(V::kEdit);
    Type(V::kWireless, "ann @pager");
    QTest::keyClick(Control(V::kWireless), Qt::Key_Tab);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kWireless));
    EXPECT_EQ(Text(V::kWireless), "ann @pager");
    QTest::keyClick(Control(V::kWireless), Qt::Key_Tab);
    EXPECT_EQ(answers.reports.size(), 2u);
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kWireless));
    // Corrected, the focus moves on.
    Type(V::kWireless, "ann@pager");
    QTest::keyClick(Control(V::kWireless), Qt::Key_Tab);
    EXPECT_EQ(answers.reports.size(), 2u);
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kWorkEmail));
}

TEST_F(FieldFocusTest, TwoInvalidFieldsDoNotHandTheReportBackAndForth) {
    MakeView();
    Click(V::kNew);
    view->SetFieldText(V::kWorkEmail, QString::fromLatin1("a b"));
    Type(V::kWireless, "c d");
    // The focus reaches the other invalid field and is taken back at once: one report.
    QTest::keyClick(Control(V::kWireless), Qt::Key_Tab);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kWireless));
}

TEST_F(FieldFocusTest, EmptiedWorkEmailUnchecksItsDefaultWithoutReport) {
    SContact contact;
    contact.id = 1;
    contact.first = "Ann";
    contact.byDefault = 2;
    contact.texts = {{"strWEmail", "ann@work"}};
    Add(contact);
    MakeView();
    Click(V::kEdit);
    ASSERT_TRUE(view->DefaultButton(2)->isChecked());
    Type(V::kWorkEmail, "");
    QTest::keyClick(Control(V::kWorkEmail), Qt::Key_Tab);
    EXPECT_FALSE(view->DefaultButton(2)->isChecked());
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(FieldFocusTest, EmptiedAddressUnchecksItsDefaultEvenWhenItFails) {
    MakeView();
    Click(V::kNew);
    view->DefaultButton(1)->setChecked(true);
    Type(V::kWireless, "");
    QTest::keyClick(Control(V::kWireless), Qt::Key_Tab);
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
}

TEST_F(FieldFocusTest, StoredInvalidValueReportsWhileViewingAndBlocksSave) {
    SContact contact;
    contact.id = 1;
    contact.first = "Ann";
    contact.texts = {{"strHPhone", "555 1234"}};
    Add(contact);
    MakeView();
    Control(V::kHomePhone)->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(Control(V::kHomePhone), Qt::Key_Tab);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kHomePhone));
    EXPECT_FALSE(Editing());

    // The caret is still in the phone field, so pressing Edit reports it once more.
    Click(V::kEdit);
    EXPECT_EQ(answers.reports.size(), 2u);
    ASSERT_TRUE(Editing());
    Click(V::kSave);
    EXPECT_EQ(answers.reports.size(), 3u);
    EXPECT_TRUE(Editing());
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kHomePhone));
    Type(V::kHomePhone, "555-1234");
    Click(V::kSave);
    EXPECT_EQ(answers.reports.size(), 3u);
    EXPECT_FALSE(Editing());
    EXPECT_EQ(Text(V::kHomePhone), "555-1234");
}

TEST_F(FieldFocusTest, TypedLineBreakInNoteFailsWhenLeaving) {
    MakeView();
    Click(V::kNew);
    auto* tabs = qobject_cast<QTabWidget*>(Control(V::kTabs));
    tabs->setCurrentIndex(V::kPageAdditional);
    QWidget* note = Control(V::kNote);
    note->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(note, "one");
    QTest::keyClick(note, Qt::Key_Return);
    QTest::keyClicks(note, "two");
    ASSERT_EQ(Text(V::kNote), "one\r\ntwo");
    Control(V::kCity)->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), note);
}

TEST_F(FieldFocusTest, CharacterOutsideTheCodePageFailsWhenLeaving) {
    MakeView();
    Click(V::kNew);
    // Typed through an input method: an arrow.
    Control(V::kLastName)->setFocus(Qt::MouseFocusReason);
    qobject_cast<QLineEdit*>(Control(V::kLastName))->insert(QString::fromUtf8("\xE2\x86\x92"));
    QTest::keyClick(Control(V::kLastName), Qt::Key_Tab);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kLastName));
    EXPECT_EQ(Text(V::kLastName), QString::fromUtf8("\xE2\x86\x92"));
}

}  // namespace
}  // namespace orvex::test
