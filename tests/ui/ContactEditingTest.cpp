#include <QTabWidget>
#include <QTableView>

#include "tests/ui/EditingTestSupport.h"

namespace orvex::test {
namespace {

class ContactEditingTest : public CEditingTest {
  protected:
    // Moves the grid as the user's arrow keys would, the editor following.
    void SelectRow(int row) {
        view->Grid()->SetRow(row);
        view->ShowCurrentContact();
    }
    // The controls of both states, as SetEditing switches them.
    void ExpectState(bool editing) {
        for (const V::SField& field : V::Fields()) {
            QWidget* edit = Control(field.id);
            const bool readOnly = field.multiLine
                                      ? qobject_cast<CMultiLineEdit*>(edit)->isReadOnly()
                                      : qobject_cast<QLineEdit*>(edit)->isReadOnly();
            EXPECT_EQ(readOnly, !editing) << field.column;
        }
        for (int n = 1; n <= 3; ++n) {
            EXPECT_EQ(view->DefaultButton(n)->isEnabled(), editing) << n;
        }
        for (int id : {V::kEdit, V::kNew, V::kDel}) {
            EXPECT_EQ(Button(id)->isEnabled(), !editing) << id;
        }
        EXPECT_EQ(view->Grid()->isEnabled(), !editing);
        EXPECT_EQ(host.tree.isEnabled(), !editing);
        EXPECT_EQ(host.busy, editing);
        EXPECT_EQ(Button(V::kSave)->isEnabled(), editing);
        EXPECT_EQ(Button(V::kCancel)->isEnabled(), editing);
    }
};

TEST_F(ContactEditingTest, EditSetsBusyAndCancelRestoresTheStoredContact) {
    Add(1, "Ann", "One");
    MakeView();
    ExpectState(false);
    Click(V::kEdit);
    EXPECT_TRUE(Button(V::kEdit)->isChecked());
    ExpectState(true);
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kFirstName));
    Type(V::kFirstName, "Changed");
    Click(V::kCancel);
    ExpectState(false);
    EXPECT_FALSE(Button(V::kEdit)->isChecked());
    EXPECT_EQ(Text(V::kFirstName), "Ann");
    EXPECT_EQ(Stored(1).first, "Ann");
    // The focus does not stay on a button that has been disabled.
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kEdit));
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(ContactEditingTest, EditAndSaveWorkFromTheKeyboard) {
    Add(1, "Ann", "One");
    MakeView();
    Control(V::kEdit)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(Editing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), "e");
    Control(V::kSave)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(Editing());
    EXPECT_EQ(Stored(1).first, "Anne");
}

// Alt+E edits, Enter in a field saves, Esc cancels.
TEST_F(ContactEditingTest, EnterSavesAndEscCancelsInTheEditor) {
    Add(1, "Ann", "One");
    MakeView();
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Editing(); }, 2000));  // an animated click
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), "e");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(Editing());
    EXPECT_EQ(Stored(1).first, "Anne");

    Click(V::kEdit);
    QTest::keyClicks(QApplication::focusWidget(), "x");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(Editing());
    EXPECT_EQ(Text(V::kFirstName), "Anne");
    EXPECT_EQ(Stored(1).first, "Anne");
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(ContactEditingTest, EditAndDelOnAnEmptyTableDoNothing) {
    MakeView();
    Click(V::kEdit);
    EXPECT_FALSE(Button(V::kEdit)->isChecked());
    ExpectState(false);
    Click(V::kDel);
    EXPECT_TRUE(answers.prompts.empty());
    EXPECT_EQ(TableRows(), 0);
}

TEST_F(ContactEditingTest, NewContactInAnEmptyTable) {
    MakeView();
    Click(V::kNew);
    EXPECT_FALSE(Button(V::kEdit)->isChecked());
    ExpectState(true);
    Type(V::kFirstName, "Ada");
    Click(V::kSave);
    ExpectState(false);
    const SStored row = Stored(1);
    ASSERT_TRUE(row.found);
    EXPECT_EQ(row.first, "Ada");
    EXPECT_EQ(row.index, 0);
    EXPECT_EQ(row.group, 0);
    EXPECT_EQ(row.byDefault, 0);
    EXPECT_EQ(row.groupList, ";");
    EXPECT_EQ(GridRows(), 1);
    EXPECT_EQ(Text(V::kFirstName), "Ada");
    EXPECT_EQ(host.status[1], "P:001/G:00");
    EXPECT_TRUE(answers.reports.empty());
    EXPECT_TRUE(failures.empty());
}

TEST_F(ContactEditingTest, NewContactBeforeRenumberingHasItsIdAsIndex) {
    MakeView();
    Click(V::kNew);
    view->SetFieldText(V::kFirstName, QString::fromLatin1("Ada"));
    ASSERT_EQ(view->SaveContact(true), 1);
    EXPECT_EQ(Stored(1).index, 1);
    EXPECT_TRUE(view->RenumberEntries(-1));
    EXPECT_EQ(Stored(1).index, 0);
}

TEST_F(ContactEditingTest, NewContactSortingBetweenOthersIsSelected) {
    Add(1, "Abe");
    Add(2, "Carl");
    Add(3, "Eve");
    MakeView();
    SelectRow(2);
    Click(V::kNew);
    for (const V::SField& field : V::Fields()) {
        EXPECT_EQ(Text(field.id), "") << field.column;
    }
    Type(V::kFirstName, "Bob");
    Type(V::kWireless, "bob@pager");
    Click(V::kSave);
    EXPECT_EQ(GridRow(), 1);
    EXPECT_EQ(Text(V::kFirstName), "Bob");
    EXPECT_EQ(view->StatusLineText(), "  2 of 4 Personal Contacts");
    const SStored row = Stored(4);
    EXPECT_EQ(row.index, 1);
    // The only address becomes the default.
    EXPECT_EQ(row.byDefault, 1);
    EXPECT_EQ(ByIndex(), (std::vector<std::string>{"Abe", "Bob", "Carl", "Eve"}));
}

TEST_F(ContactEditingTest, BlankFirstNameIsNotEmpty) {
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, " ");
    Click(V::kSave);
    EXPECT_TRUE(answers.reports.empty());
    EXPECT_EQ(Stored(1).first, " ");
}

TEST_F(ContactEditingTest, SaveWithoutFirstNameReportsError101) {
    Add(1, "Ann");
    MakeView();
    Click(V::kNew);
    Type(V::kLastName, "Nobody");
    Click(V::kSave);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 101"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kFirstName));
    EXPECT_TRUE(Editing());
    EXPECT_EQ(Text(V::kLastName), "Nobody");
    EXPECT_EQ(TableRows(), 1);
}

TEST_F(ContactEditingTest, Error101BringsTheBasicPageBack) {
    MakeView();
    auto* tabs = qobject_cast<QTabWidget*>(Control(V::kTabs));
    tabs->setCurrentIndex(V::kPageAdditional);
    Click(V::kNew);
    Type(V::kCompany, "Acme");
    Click(V::kSave);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 101"}));
    EXPECT_EQ(tabs->currentIndex(), V::kPageBasic);
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kFirstName));
}

TEST_F(ContactEditingTest, TwoInvalidFieldsReportOnlyTheFirst) {
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, "Ann");
    // Set without the focus passing through them, so that only Save checks them.
    view->SetFieldText(V::kHomePhone, QString::fromLatin1("12X"));
    view->SetFieldText(V::kWireless, QString::fromLatin1("ann @pager"));
    Click(V::kSave);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kWireless));
    EXPECT_TRUE(Editing());
    EXPECT_EQ(TableRows(), 0);
}

TEST_F(ContactEditingTest, LineBreakInStreetFailsAtSave) {
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, "Ann");
    auto* tabs = qobject_cast<QTabWidget*>(Control(V::kTabs));
    view->SetFieldText(V::kStreet, QString::fromLatin1("1 Main St\r\nApt 2"));
    ASSERT_EQ(tabs->currentIndex(), V::kPageBasic);
    Click(V::kSave);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(tabs->currentIndex(), V::kPageAdditional);
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kStreet));
    EXPECT_EQ(TableRows(), 0);
}

TEST_F(ContactEditingTest, CharacterOutsideTheCodePageFailsAtSave) {
    MakeView();
    Click(V::kNew);
    view->SetFieldText(V::kFirstName, QString::fromUtf8("Zh\xE4\xB8\xAD"));
    Click(V::kSave);
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 102"}));
    EXPECT_EQ(QApplication::focusWidget(), Control(V::kFirstName));
    EXPECT_EQ(TableRows(), 0);
    // The euro sign has its byte and is kept.
    view->SetFieldText(V::kFirstName, QString::fromUtf8("\xE2\x82\xAC uro"));
    Click(V::kSave);
    EXPECT_EQ(answers.reports.size(), 1u);
    ASSERT_TRUE(Stored(1).found);
    EXPECT_EQ(Stored(1).first, "\x80 uro");
}

TEST_F(ContactEditingTest, EmptyWirelessWithItsDefaultGivesWayToWorkEmail) {
    SContact contact;
    contact.id = 1;
    contact.first = "Ann";
    contact.byDefault = 1;
    contact.texts = {{"strWAddr", "ann@pager"}, {"strWEmail", "ann@work"}};
    Add(contact);
    MakeView();
    ASSERT_TRUE(view->DefaultButton(1)->isChecked());
    Click(V::kEdit);
    view->SetFieldText(V::kWireless, QString());
    Click(V::kSave);
    EXPECT_EQ(Stored(1).byDefault, 2);
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_TRUE(view->DefaultButton(2)->isChecked());
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(ContactEditingTest, DefaultButtonsKeepExactlyTheClickedOneChecked) {
    MakeView();
    Click(V::kNew);
    QTest::mouseClick(view->DefaultButton(2), Qt::LeftButton);
    EXPECT_TRUE(view->DefaultButton(2)->isChecked());
    QTest::mouseClick(view->DefaultButton(2), Qt::LeftButton);
    EXPECT_TRUE(view->DefaultButton(2)->isChecked());
    view->DefaultButton(3)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view->DefaultButton(3), Qt::Key_Space);
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_FALSE(view->DefaultButton(2)->isChecked());
    EXPECT_TRUE(view->DefaultButton(3)->isChecked());
}

TEST_F(ContactEditingTest, FixDefaultAddressPicksTheFirstFilledAddress) {
    MakeView();
    Click(V::kNew);
    view->SetFieldText(V::kHomeEmail, QString::fromLatin1("home@mail"));
    view->FixDefaultAddress();
    EXPECT_TRUE(view->DefaultButton(3)->isChecked());
    view->SetFieldText(V::kHomeEmail, QString());
    view->FixDefaultAddress();
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(view->DefaultButton(n)->isChecked()) << n;
    }
    // A checked button of a filled address stays.
    view->SetFieldText(V::kWireless, QString::fromLatin1("w@p"));
    view->SetFieldText(V::kWorkEmail, QString::fromLatin1("w@w"));
    view->DefaultButton(2)->setChecked(true);
    view->FixDefaultAddress();
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_TRUE(view->DefaultButton(2)->isChecked());
}

TEST_F(ContactEditingTest, DelOnTheFirstRowSelectsTheNewFirstRow) {
    Add(1, "Abe", "Ash");
    Add(2, "Bob");
    Add(3, "Carl");
    MakeView();
    ASSERT_EQ(GridRow(), 0);
    Click(V::kDel);
    EXPECT_EQ(answers.prompts,
              (std::vector<std::string>{CErrorReport::DeleteContactText("Abe", "Ash")}));
    EXPECT_FALSE(Stored(1).found);
    EXPECT_EQ(GridRows(), 2);
    EXPECT_EQ(GridRow(), 0);
    EXPECT_EQ(Text(V::kFirstName), "Bob");
    EXPECT_EQ(Stored(2).index, 0);
    EXPECT_EQ(Stored(3).index, 1);
    EXPECT_EQ(host.status[1], "P:002/G:00");
}

TEST_F(ContactEditingTest, DelOnRowFiveSelectsRowFour) {
    AddTwelve();
    MakeView();
    SelectRow(5);
    ASSERT_EQ(Text(V::kFirstName), "Fay");
    Click(V::kDel);
    EXPECT_EQ(GridRows(), 11);
    EXPECT_EQ(GridRow(), 4);
    EXPECT_EQ(Text(V::kFirstName), "Eve");
    EXPECT_EQ(ByIndex(), (std::vector<std::string>{"Abe", "Bob", "Carl", "Dora", "Eve", "Gus",
                                                   "Hal", "Ivy", "Jon", "Kim", "Lena"}));
}

TEST_F(ContactEditingTest, DelAnsweredNoKeepsTheContact) {
    Add(1, "Ann");
    MakeView();
    answers.answer = IDNO;
    Click(V::kDel);
    EXPECT_EQ(answers.prompts.size(), 1u);
    EXPECT_TRUE(Stored(1).found);
    EXPECT_EQ(GridRows(), 1);
}

TEST_F(ContactEditingTest, EditedContactMovesButTheGridKeepsItsRow) {
    AddTwelve();
    MakeView();
    SelectRow(2);
    ASSERT_EQ(Text(V::kFirstName), "Carl");
    Click(V::kEdit);
    Type(V::kFirstName, "Zed");
    Click(V::kSave);
    EXPECT_FALSE(Editing());
    EXPECT_FALSE(Button(V::kEdit)->isChecked());
    EXPECT_EQ(GridRow(), 2);
    EXPECT_EQ(Text(V::kFirstName), "Dora");
    EXPECT_EQ(Stored(3).first, "Zed");
    EXPECT_EQ(Stored(3).index, 11);
    EXPECT_EQ(Stored(6).index, 2);  // Dora
}

TEST_F(ContactEditingTest, GroupRowsTakePartInTheRenumbering) {
    Add(1, "Al");
    Group(2, "Bb");
    Add(3, "Cc");
    MakeView();
    ASSERT_EQ(GridRows(), 2);
    Click(V::kNew);
    Type(V::kFirstName, "Bc");
    Click(V::kSave);
    // Al, the group Bb, Bc, Cc: the new contact is the second personal row.
    EXPECT_EQ(GridRow(), 1);
    EXPECT_EQ(Text(V::kFirstName), "Bc");
    EXPECT_EQ(Stored(1).index, 0);
    EXPECT_EQ(Stored(2).index, 1);
    EXPECT_EQ(Stored(4).index, 2);
    EXPECT_EQ(Stored(3).index, 3);
    EXPECT_EQ(host.status[1], "P:003/G:01");
}

TEST_F(ContactEditingTest, NewContactTakesOneMoreThanAnyIdentifier) {
    Add(1, "Al");
    Group(40, "Team");
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, "Bo");
    Click(V::kSave);
    EXPECT_TRUE(Stored(41).found);
    EXPECT_EQ(Stored(41).group, 0);
}

TEST_F(ContactEditingTest, CancelOfANewContactShowsTheCurrentOneAgain) {
    Add(1, "Ann");
    Add(2, "Bob");
    MakeView();
    SelectRow(1);
    Click(V::kNew);
    Type(V::kFirstName, "Cy");
    Click(V::kCancel);
    ExpectState(false);
    EXPECT_EQ(Text(V::kFirstName), "Bob");
    EXPECT_EQ(TableRows(), 2);
}

}  // namespace
}  // namespace orvex::test
