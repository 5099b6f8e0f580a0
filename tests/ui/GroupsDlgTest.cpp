#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>

#include "tests/ui/GroupsDlgTestSupport.h"

// The groups dialog's lists: what they show, the arrows that move an address into a group and
// out of it, the keys, closing, and failed writes.
namespace orvex::test {
namespace {

TEST_F(GroupsDlgTest, ShowsTheGroupsTheirMembersAndEveryAddress) {
    Group(7, "Work");
    Group(5, "Family");
    Person(1, "Zed", "Young", {"100", "zed@work", ""}, {";", ";7;", ";"});
    Person(2, "abe", "Brown", {"200", "abe@work", "abe@home"}, {";7;", ";", ";5;7;"});
    Person(3, "Mia", "", {"", "", ""}, {";5;", ";", ";"});
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Setting Groups");
    // By name, each with its number; the first selected.
    EXPECT_EQ(Entries(dialog->GroupList()), (std::vector<std::string>{"Family=5", "Work=7"}));
    EXPECT_EQ(dialog->GroupList()->currentRow(), 0);
    // Group 5: abe's home e-mail, and Mia's wireless address although it is empty.
    EXPECT_EQ(Rows(dialog->Members()),
              (std::vector<std::string>{"abe|Brown|HE|abe@home", "Mia||WA|"}));
    // Every address that is filled in, in order of the first names, kinds in their order.
    EXPECT_EQ(Rows(dialog->AllContacts()),
              (std::vector<std::string>{"abe|Brown|WA|200", "abe|Brown|WE|abe@work",
                                        "abe|Brown|HE|abe@home", "Zed|Young|WA|100",
                                        "Zed|Young|WE|zed@work"}));
    EXPECT_EQ(dialog->AllContacts()->item(3, 0)->data(Qt::UserRole).toInt(), 1);
    EXPECT_FALSE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
    EXPECT_FALSE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());

    // Choosing another group lists its members.
    dialog->GroupList()->setCurrentRow(1);
    EXPECT_EQ(Rows(dialog->Members()),
              (std::vector<std::string>{"abe|Brown|WA|200", "abe|Brown|HE|abe@home",
                                        "Zed|Young|WE|zed@work"}));

    // The four columns, sized from the members list's inner width, with grid lines and
    // whole-row selection.
    dialog->show();
    const int w = dialog->Members()->contentsRect().width();
    for (QTableWidget* list : {dialog->Members(), dialog->AllContacts()}) {
        EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "First Name");
        EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Last Name");
        EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "Type");
        EXPECT_EQ(list->horizontalHeaderItem(3)->text(), "Contact Address");
        EXPECT_EQ(list->columnWidth(0), w * 6 / 27);
        EXPECT_EQ(list->columnWidth(1), w * 6 / 27);
        EXPECT_EQ(list->columnWidth(2), w * 4 / 27);
        // The address column: its share, and what the scroll bar leaves in a long list.
        const int used = list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2);
        EXPECT_EQ(list->columnWidth(3), std::min(w, list->viewport()->width()) - used);
        EXPECT_TRUE(list->showGrid());
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    }
    EXPECT_NEAR(dialog->Members()->columnWidth(3), w * 11 / 27, 1);
    EXPECT_FALSE(Button(CGroupsDlg::kCancel)->isVisible());
    EXPECT_TRUE(Button(CGroupsDlg::kClose)->isDefault());
}

TEST_F(GroupsDlgTest, ALongListNeedsNoSidewaysScrolling) {
    for (int i = 1; i <= 40; ++i) {
        Person(i, "P" + std::to_string(100 + i), "", {std::to_string(5550000 + i), "", ""});
    }
    Open();
    dialog->show();
    QTableWidget* all = dialog->AllContacts();
    ASSERT_TRUE(all->verticalScrollBar()->isVisible());
    const int w = dialog->Members()->contentsRect().width();
    EXPECT_EQ(all->columnWidth(0), w * 6 / 27) << "the same widths as the members list";
    EXPECT_EQ(all->columnWidth(0) + all->columnWidth(1) + all->columnWidth(2) + all->columnWidth(3),
              all->viewport()->width());
    EXPECT_FALSE(all->horizontalScrollBar()->isVisible());
}

TEST_F(GroupsDlgTest, ControlsCarryTheirNamesAndTheKeysVisitThemInOrder) {
    Group(5, "Family");
    Person(1, "Ann", "Lee", {"100", "", ""});
    Open();
    const std::pair<int, const char*> names[] = {
        {CGroupsDlg::kGroupList, "Group List"},
        {CGroupsDlg::kMembers, "Personal Contacts in the selected group"},
        {CGroupsDlg::kAllContacts, "All Personal Contacts"},
        {CGroupsDlg::kAddToGroup, "<-"},
        {CGroupsDlg::kRemoveFromGroup, "->"},
        {CGroupsDlg::kAddGroup, "Add Group"},
        {CGroupsDlg::kRenameGroup, "Rename Group"},
        {CGroupsDlg::kDeleteGroup, "Delete Group"},
        {CGroupsDlg::kClose, "Close"},
    };
    for (const auto& [id, name] : names) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(dialog->Control(id));
        ASSERT_NE(node, nullptr) << name;
        EXPECT_EQ(node->text(QAccessible::Name), name);
    }
    // The labels lead to their lists.
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }
    const int order[] = {
        CGroupsDlg::kGroupList,       CGroupsDlg::kMembers,     CGroupsDlg::kAddToGroup,
        CGroupsDlg::kRemoveFromGroup, CGroupsDlg::kAllContacts, CGroupsDlg::kAddGroup,
        CGroupsDlg::kRenameGroup,     CGroupsDlg::kDeleteGroup, CGroupsDlg::kClose};
    for (size_t i = 1; i < std::size(order); ++i) {
        EXPECT_EQ(NextTabStop(dialog->Control(order[i - 1])), dialog->Control(order[i])) << i;
    }

    // From the keyboard: into the list of all contacts, down to the address, and "<-".
    dialog->show();
    dialog->activateWindow();
    dialog->AllContacts()->setFocus();
    QTest::keyClick(dialog->AllContacts(), Qt::Key_Down);
    ASSERT_TRUE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
    QTest::keyClick(Button(CGroupsDlg::kAddToGroup), Qt::Key_Space);
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Ann|Lee|WA|100"});
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";5;");
}

TEST_F(GroupsDlgTest, AddingAnAddressAppendsTheGroupAndRemovingTakesOnlyThatOut) {
    Group(5, "Five");
    Group(15, "Fifteen");
    Person(1, "Ann", "Lee", {"555", "", ""}, {";15;", ";", ";"});
    Open();
    dialog->GroupList()->setCurrentRow(1);  // "Five" sorts after "Fifteen"
    ASSERT_EQ(dialog->GroupList()->currentItem()->text(), "Five");
    EXPECT_TRUE(Rows(dialog->Members()).empty()) << ";15; is not a member of 5";
    Join("555");
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";15;5;");
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Ann|Lee|WA|555"});
    EXPECT_FALSE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
    EXPECT_FALSE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());
    Leave("555");
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";15;");
    EXPECT_TRUE(Rows(dialog->Members()).empty());
    EXPECT_FALSE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());
    // Group 15 still has it.
    dialog->GroupList()->setCurrentRow(0);
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Ann|Lee|WA|555"});
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(GroupsDlgTest, QuotesAndEmptyNamesFindTheirRows) {
    Group(5, "Five");
    Person(1, "Sean", "O'Brien", {"", "sean@x.ie", ""});
    Person(2, "Cher", "", {"", "", "cher@home"});  // no last name: stored as null
    Open();
    Join("sean@x.ie");
    EXPECT_EQ(Text(1, "strGrpOfWEmail"), ";5;");
    Join("cher@home");
    EXPECT_EQ(Text(2, "strGrpOfHEmail"), ";5;");
    EXPECT_EQ(Rows(dialog->Members()),
              (std::vector<std::string>{"Cher||HE|cher@home", "Sean|O'Brien|WE|sean@x.ie"}));
    Leave("sean@x.ie");
    Leave("cher@home");
    EXPECT_EQ(Text(1, "strGrpOfWEmail"), ";");
    EXPECT_EQ(Text(2, "strGrpOfHEmail"), ";");
    EXPECT_TRUE(Rows(dialog->Members()).empty());
    EXPECT_TRUE(answers.reports.empty());
}

TEST(GroupChangesTest, TheMemberRowStatement) {
    EXPECT_EQ(CGroupChanges::QuoteSql("O'Brien's"), "O''Brien''s");
    EXPECT_EQ(CGroupChanges::QuoteSql(""), "");
    CAddressSelection s;
    s.contactId = 12;
    s.first = "Sean";
    s.last = "O'Brien";
    s.address = "a'b";
    s.kind = 2;
    EXPECT_EQ(CGroupChanges::MemberRowQuery(s),
              "select * from [t_Contacts] where iCID=12 and strFName='Sean' and "
              "strLName='O''Brien' and strWEmail='a''b'");
    s.last.clear();
    s.kind = 1;
    EXPECT_EQ(CGroupChanges::MemberRowQuery(s),
              "select * from [t_Contacts] where iCID=12 and strFName='Sean' and (strLName is "
              "null or strLName='') and strWAddr='a''b'");
    s.kind = 0;
    EXPECT_EQ(CGroupChanges::MemberRowQuery(s), "");
}

TEST_F(GroupsDlgTest, AGroupHoldsTenAddressesAndEachOnlyOnce) {
    Group(5, "Five");
    for (int i = 1; i <= 10; ++i) {
        Person(i, "P" + std::to_string(i), "", {"10" + std::to_string(i), "", ""},
               {";5;", ";", ";"});
    }
    Person(11, "Q", "Other", {"999", "1010", "same@x"});
    Person(12, "R", "Else", {"", "", "same@x"});
    Open();
    ASSERT_EQ(dialog->Members()->rowCount(), 10);
    // The 11th address: Error 205, nothing stored, the arrows off.
    Join("Q", "999");
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 205"});
    EXPECT_EQ(Text(11, "strGrpOfWAddr"), ";");
    EXPECT_EQ(dialog->Members()->rowCount(), 10);
    EXPECT_FALSE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
    answers.reports.clear();

    Leave("P1", "101");
    Leave("P2", "102");
    Join("Q", "same@x");
    ASSERT_EQ(dialog->Members()->rowCount(), 9);
    // The same address text under another kind (P10's wireless address is Q's work e-mail)
    // and for another contact (R's home e-mail): Error 206 each time.
    Join("Q", "1010");
    Join("R", "same@x");
    EXPECT_EQ(answers.reports, (std::vector<std::string>{"Error 206", "Error 206"}));
    EXPECT_EQ(Text(11, "strGrpOfWEmail"), ";");
    EXPECT_EQ(Text(11, "strGrpOfHEmail"), ";5;");
    EXPECT_EQ(Text(12, "strGrpOfHEmail"), ";");
    EXPECT_EQ(dialog->Members()->rowCount(), 9);
    EXPECT_FALSE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
}

TEST_F(GroupsDlgTest, ChangingTheGroupForgetsTheMemberChoice) {
    Group(1, "A");
    Group(2, "B");
    Person(3, "Ann", "", {"100", "ann@w", ""}, {";1;", ";2;", ";"});
    Person(4, "Bob", "", {"200", "", ""}, {";", ";", ";"});
    Open();
    dialog->Members()->selectRow(0);
    dialog->AllContacts()->selectRow(RowOf(dialog->AllContacts(), "200"));
    ASSERT_TRUE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());
    dialog->GroupList()->setCurrentRow(1);
    // The choice came from group A's list; used on B it could take out another address.
    EXPECT_FALSE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());
    EXPECT_TRUE(Button(CGroupsDlg::kAddToGroup)->isEnabled()) << "all contacts did not change";
    Button(CGroupsDlg::kAddToGroup)->click();
    EXPECT_EQ(Text(4, "strGrpOfWAddr"), ";2;");
    EXPECT_EQ(Text(3, "strGrpOfWAddr"), ";1;");
}

TEST_F(GroupsDlgTest, ArrowsNeedAGroup) {
    Person(1, "Ann", "", {"100", "", ""});
    Open();
    dialog->AllContacts()->selectRow(0);
    EXPECT_FALSE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
    dialog->AddToGroup();
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";");
    EXPECT_EQ(dialog->Members()->rowCount(), 0);
}

TEST_F(GroupsDlgTest, CloseCancelEscAndTheCloseBoxHandTheTreeBackToItsRoot) {
    Open();
    dialog->show();
    Button(CGroupsDlg::kClose)->click();
    EXPECT_EQ(host.rootSelections, 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());

    dialog->show();
    dialog->close();  // the title bar's close box
    EXPECT_EQ(host.rootSelections, 2);
    EXPECT_FALSE(dialog->isVisible());

    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(host.rootSelections, 3);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(GroupsDlgTest, AFailedWriteIsReportedAndTheListsShowWhatTheDatabaseHolds) {
    Group(5, "Five");
    Person(1, "Ann", "", {"100", "", ""}, {";", ";", ";"});
    Person(2, "Bob", "", {"200", "", ""}, {";5;", ";", ";"});
    Open();
    ASSERT_TRUE(host.database.Execute("PRAGMA query_only=1"));
    Join("100");
    ASSERT_EQ(answers.reports, std::vector<std::string>{"Orvex Manager"});
    EXPECT_EQ(answers.texts[0].rfind("The address could not be added to the group.\n\nThe "
                                     "database said: ",
                                     0),
              0u)
        << answers.texts[0];
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Bob||WA|200"});
    Leave("200");
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Bob||WA|200"});
    {
        CNameDialogDriver driver(*dialog, {Type("New")});
        Button(CGroupsDlg::kAddGroup)->click();
    }
    EXPECT_EQ(dialog->GroupList()->count(), 1);
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_EQ(dialog->GroupList()->count(), 1);
    ASSERT_EQ(answers.texts.size(), 4u);
    EXPECT_EQ(answers.texts[1].rfind("The address could not be taken out of the group.", 0), 0u);
    EXPECT_EQ(answers.texts[2].rfind("The group could not be added.", 0), 0u);
    EXPECT_EQ(answers.texts[3].rfind("The group could not be deleted.", 0), 0u);
    ASSERT_TRUE(host.database.Execute("PRAGMA query_only=0"));
    EXPECT_EQ(Text(5, "strFName"), "Five");
    EXPECT_EQ(Text(2, "strGrpOfWAddr"), ";5;");
    EXPECT_EQ(CContactsTable::NextContactId(host.database), 6);
}

// A download numbers the device's groups apart from its contacts, so a group and a contact
// may share an iCID.
TEST_F(GroupsDlgTest, AGroupSharingAContactsNumberTouchesOnlyItsOwnRow) {
    Group(2, "Pals");
    Person(2, "Pals", "", {"", "", "p@x"}, {";2;", ";", ";"});  // even named like the group
    Person(3, "Bob", "", {"300", "", ""});
    Open();
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Pals||WA|"});
    // The member with the empty address leaves; the group row is not mistaken for it.
    Leave("");
    EXPECT_EQ(Text(2, "strFName"), "Pals");
    {
        CADORecordset rs(&host.database);
        ASSERT_TRUE(rs.Open("select * from [t_Contacts] where iCID=2 and iGroup=0"));
        std::string list;
        rs.ReadText("strGrpOfWAddr", list);
        EXPECT_EQ(list, ";");
    }
    {
        CNameDialogDriver driver(*dialog, {Replace("Friends")});
        Button(CGroupsDlg::kRenameGroup)->click();
    }
    Join("300");
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_TRUE(answers.reports.empty());
    CADORecordset rs(&host.database);
    ASSERT_TRUE(rs.Open("select * from [t_Contacts] where iCID=2"));
    ASSERT_EQ(rs.RowCount(), 1) << "the contact stays, the group went";
    std::string first;
    int kind = -1;
    rs.ReadText("strFName", first);
    rs.ReadInt("iGroup", kind);
    EXPECT_EQ(first, "Pals") << "the rename went to the group row only";
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(Text(3, "strGrpOfWAddr"), ";");
    EXPECT_EQ(dialog->AllContacts()->rowCount(), 2);
}

}  // namespace
}  // namespace orvex::test
