#include <QAccessible>
#include <set>

#include "tests/ui/GroupsDlgTestSupport.h"

// The groups themselves: adding, renaming and deleting them, and the name dialog that asks.
namespace orvex::test {
namespace {

TEST_F(GroupsDlgTest, AddGroupAsksForANameAndNumbersAboveEveryRow) {
    Person(40, "Zoe", "", {"1", "", ""});
    Group(3, "Alpha");
    Open();
    {
        CNameDialogDriver driver(*dialog, {Type("Team"), Type("Team")});
        Button(CGroupsDlg::kAddGroup)->click();
        Button(CGroupsDlg::kAddGroup)->click();
        EXPECT_EQ(driver.shown, (std::vector<QString>{"", ""}));
    }
    // Two groups may share a name; each takes the next number above the largest iCID.
    EXPECT_EQ(Entries(dialog->GroupList()),
              (std::vector<std::string>{"Alpha=3", "Team=41", "Team=42"}));
    EXPECT_EQ(dialog->GroupList()->currentRow(), 2);
    EXPECT_EQ(Text(41, "strFName"), "Team");
    EXPECT_EQ(Text(41, "iGroup"), "1");
    EXPECT_EQ(host.status[1], "P:001/G:03");
    // Renumbered by name: Alpha, Team, Team, Zoe.
    EXPECT_EQ(Text(3, "iEIdx"), "0");
    EXPECT_EQ(Text(41, "iEIdx"), "1");
    EXPECT_EQ(Text(42, "iEIdx"), "2");
    EXPECT_EQ(Text(40, "iEIdx"), "3");
    EXPECT_TRUE(answers.reports.empty());
}

TEST_F(GroupsDlgTest, AnEmptyNameIsAskedAgainAndCancelChangesNothing) {
    Open();
    CNameDialogDriver driver(*dialog, {Type(""), Escape()});
    Button(CGroupsDlg::kAddGroup)->click();
    EXPECT_EQ(driver.shown.size(), 2u);
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 102"});
    EXPECT_EQ(dialog->GroupList()->count(), 0);
    EXPECT_EQ(CContactsTable::NextContactId(host.database), 1) << "nothing stored";
    EXPECT_TRUE(host.status.empty());
}

TEST_F(GroupsDlgTest, TheNameTakesFifteenCharactersAndWindows1252Only) {
    Open();
    CNameDialogDriver driver(
        *dialog, {Type("ABCDEFGHIJKLMNOPQ"), Replace(QString::fromUtf8("Caf\u00e9 \u20ac")),
                  Replace(QString::fromUtf8("\u0416uk")), Escape()});
    Button(CGroupsDlg::kAddGroup)->click();  // 15 characters kept
    Button(CGroupsDlg::kAddGroup)->click();  // é and € are Windows-1252 bytes
    Button(CGroupsDlg::kAddGroup)->click();  // Ж is not: asked again, then Cancel
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 102"});
    EXPECT_EQ(Text(1, "strFName"), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(Text(2, "strFName"), "Caf\xE9 \x80");
    EXPECT_EQ(dialog->GroupList()->count(), 2);
    EXPECT_EQ(dialog->GroupList()->item(1)->text(), QString::fromUtf8("Caf\u00e9 \u20ac"));
    // The text that was refused is shown again for correction.
    ASSERT_EQ(driver.shown.size(), 4u);
    EXPECT_EQ(driver.shown[3], QString::fromUtf8("\u0416uk"));
}

TEST_F(GroupsDlgTest, TwentyGroupsRefuseAnotherWithoutAskingForAName) {
    for (int i = 1; i <= 20; ++i) {
        Group(i, "G" + std::to_string(i));
    }
    Open();
    CNameDialogDriver driver(*dialog, {});
    Button(CGroupsDlg::kAddGroup)->click();
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 204"});
    EXPECT_TRUE(driver.shown.empty());
    EXPECT_EQ(CContactsTable::NextContactId(host.database), 21);
}

TEST_F(GroupsDlgTest, RenamingKeepsTheNumberPlaceAndMembers) {
    Group(5, "Alpha");
    Group(6, "Beta");
    Person(1, "Ann", "", {"100", "", ""}, {";6;", ";", ";"});
    Open();
    dialog->GroupList()->setCurrentRow(1);
    CNameDialogDriver driver(*dialog, {Replace(""), Replace("Aardvark")});
    Button(CGroupsDlg::kRenameGroup)->click();
    ASSERT_EQ(driver.shown.size(), 2u);
    EXPECT_EQ(driver.shown[0], "Beta") << "the current name first";
    EXPECT_EQ(driver.shown[1], "") << "after an empty name, asked again";
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 102"});
    EXPECT_EQ(Entries(dialog->GroupList()), (std::vector<std::string>{"Alpha=5", "Aardvark=6"}));
    EXPECT_EQ(dialog->GroupList()->currentRow(), 1);
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Ann||WA|100"});
    EXPECT_EQ(Text(6, "strFName"), "Aardvark");
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";6;");
    EXPECT_EQ(Text(6, "iEIdx"), "0") << "renumbered by the new name";
    EXPECT_EQ(Text(5, "iEIdx"), "1");
}

TEST_F(GroupsDlgTest, DeletingAGroupTakesItsTokenFromEveryListAndKeepsTheContacts) {
    Group(5, "Five");
    Group(12, "Twelve");
    Person(1, "Ann", "", {"100", "ann@w", "ann@h"}, {";5;12;", ";12;5;", ";5;"});
    Person(2, "Bob", "", {"200", "", ""}, {";12;", ";", ";"});
    Open();
    answers.answer = IDNO;
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_EQ(answers.asked, std::vector<std::string>{"Orvex Manager|Delete the group 'Five'?"});
    EXPECT_EQ(Text(5, "strFName"), "Five");
    EXPECT_EQ(dialog->GroupList()->count(), 2);

    answers.answer = IDYES;
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_EQ(Text(5, "strFName"), "<none>");
    EXPECT_EQ(Text(1, "strGrpOfWAddr"), ";12;");
    EXPECT_EQ(Text(1, "strGrpOfWEmail"), ";12;");
    EXPECT_EQ(Text(1, "strGrpOfHEmail"), ";");
    EXPECT_EQ(Text(2, "strGrpOfWAddr"), ";12;");
    EXPECT_EQ(Text(1, "strFName"), "Ann");
    EXPECT_EQ(host.status[1], "P:002/G:01");
    // The entry at the same place is selected and its members shown.
    EXPECT_EQ(Entries(dialog->GroupList()), std::vector<std::string>{"Twelve=12"});
    EXPECT_EQ(dialog->GroupList()->currentRow(), 0);
    EXPECT_EQ(Rows(dialog->Members()),
              (std::vector<std::string>{"Ann||WA|100", "Ann||WE|ann@w", "Bob||WA|200"}));
    EXPECT_EQ(Text(1, "iEIdx"), "0");
    EXPECT_EQ(Text(2, "iEIdx"), "1");
    EXPECT_EQ(Text(12, "iEIdx"), "2");

    // The only group: both lists end up empty.
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_EQ(dialog->GroupList()->count(), 0);
    EXPECT_EQ(dialog->Members()->rowCount(), 0);
    EXPECT_EQ(Text(2, "strGrpOfWAddr"), ";");
    EXPECT_EQ(host.status[1], "P:002/G:00");
    EXPECT_EQ(dialog->AllContacts()->rowCount(), 4) << "the contacts stay";
}

TEST_F(GroupsDlgTest, DeletingTheLastEntrySelectsTheOneBefore) {
    Group(1, "A");
    Group(2, "B");
    Group(3, "C");
    Person(4, "Ann", "", {"100", "", ""}, {";2;", ";", ";"});
    Open();
    dialog->GroupList()->setCurrentRow(2);
    Button(CGroupsDlg::kDeleteGroup)->click();
    EXPECT_EQ(Entries(dialog->GroupList()), (std::vector<std::string>{"A=1", "B=2"}));
    EXPECT_EQ(dialog->GroupList()->currentRow(), 1);
    EXPECT_EQ(Rows(dialog->Members()), std::vector<std::string>{"Ann||WA|100"});
}

TEST(GroupNameDlgTest, AsksWithTheNameFocusedAndKeepsItToFifteen) {
    TestApp();
    CGroupNameDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Group Name");
    dialog.SetName("Family");
    dialog.show();
    EXPECT_EQ(dialog.focusWidget(), dialog.NameEdit());
    EXPECT_EQ(dialog.NameEdit()->maxLength(), 15);
    std::set<QString> names;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (QAccessibleInterface* node = QAccessible::queryAccessibleInterface(w)) {
            names.insert(node->text(QAccessible::Name));
        }
    }
    for (const char* name : {"Group Name", "OK", "Cancel"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    QTest::keyClicks(dialog.NameEdit(), "Friends and Neighbours");
    EXPECT_EQ(dialog.NameEdit()->text().size(), 15);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Name(), "Family") << "Cancel keeps the name";
}

}  // namespace
}  // namespace orvex::test
