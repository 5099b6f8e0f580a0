#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "tests/ui/UiTestSupport.h"
#include "ui/GroupNameDlg.h"
#include "ui/GroupsDlg.h"

namespace orvex::test {
namespace {

// Answers the name dialogs as they come up, one action each; a dialog beyond the list is
// cancelled, so a test never hangs on an unexpected one.
class CNameDialogDriver : public QObject {
  public:
    using Action = std::function<void(CGroupNameDlg&)>;
    explicit CNameDialogDriver(std::vector<Action> actions) : m_actions(std::move(actions)) {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(0);
    }
    // The text each dialog showed when it came up.
    std::vector<QString> shown;

  private:
    void Poll() {
        auto* dialog = qobject_cast<CGroupNameDlg*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            return;
        }
        shown.push_back(dialog->NameEdit()->text());
        if (m_next < m_actions.size()) {
            m_actions[m_next++](*dialog);
        } else {
            dialog->reject();
        }
    }
    std::vector<Action> m_actions;
    size_t m_next = 0;
    QTimer m_timer;
};

// Types the text into the name edit and presses Enter (the default button, OK).
CNameDialogDriver::Action Type(const QString& text) {
    return [text](CGroupNameDlg& dialog) {
        QTest::keyClicks(dialog.NameEdit(), text);
        QTest::keyClick(dialog.NameEdit(), Qt::Key_Return);
    };
}
// Puts the text in place of the edit's (as a paste does: the test keyboard types ASCII only)
// and presses Enter.
CNameDialogDriver::Action Replace(const QString& text) {
    return [text](CGroupNameDlg& dialog) {
        dialog.NameEdit()->clear();
        dialog.NameEdit()->insert(text);
        QTest::keyClick(dialog.NameEdit(), Qt::Key_Return);
    };
}
CNameDialogDriver::Action Escape() {
    return [](CGroupNameDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); };
}

class GroupsDlgTest : public CContactsDbTest {
  protected:
    void SetUp() override {
        CContactsDbTest::SetUp();
        CErrorReport::SetMessageBox(&answers);
    }
    void TearDown() override {
        dialog.reset();
        CContactsDbTest::TearDown();
    }

    void Group(int id, const std::string& name) {
        SContact group;
        group.id = id;
        group.first = name;
        group.group = 1;
        Add(group);
    }
    // A personal contact: addresses and group lists by kind (WA, WE, HE); a list left empty
    // keeps the table's ";".
    void Person(int id, const std::string& first, const std::string& last,
                std::array<std::string, 3> addresses, std::array<std::string, 3> lists = {}) {
        static const char* kAddress[] = {"strWAddr", "strWEmail", "strHEmail"};
        static const char* kList[] = {"strGrpOfWAddr", "strGrpOfWEmail", "strGrpOfHEmail"};
        SContact contact;
        contact.id = id;
        contact.first = first;
        contact.last = last;
        for (size_t k = 0; k < 3; ++k) {
            if (!addresses[k].empty()) {
                contact.texts[kAddress[k]] = addresses[k];
            }
            if (!lists[k].empty()) {
                contact.texts[kList[k]] = lists[k];
            }
        }
        Add(contact);
    }
    void Open() { dialog = std::make_unique<CGroupsDlg>(host); }

    // A column of one row, "<none>" when the row does not exist.
    std::string Text(int id, const char* column) {
        CADORecordset rs(&host.database);
        if (!rs.Open(CContactsTable::Format(CContactsTable::kSelectById, id)) ||
            rs.RowCount() == 0) {
            return "<none>";
        }
        rs.MoveFirst();
        std::string value;
        rs.ReadText(column, value);
        return value;
    }

    static std::vector<std::string> Rows(QTableWidget* list) {
        std::vector<std::string> rows;
        for (int r = 0; r < list->rowCount(); ++r) {
            std::string row;
            for (int c = 0; c < list->columnCount(); ++c) {
                row += (c ? "|" : "") + list->item(r, c)->text().toStdString();
            }
            rows.push_back(row);
        }
        return rows;
    }
    static std::vector<std::string> Entries(QListWidget* list) {
        std::vector<std::string> entries;
        for (int i = 0; i < list->count(); ++i) {
            entries.push_back(list->item(i)->text().toStdString() + "=" +
                              list->item(i)->data(Qt::UserRole).toString().toStdString());
        }
        return entries;
    }
    // The row of an address, of the contact with the first name when one is given.
    static int RowOf(QTableWidget* list, const QString& address, const QString& first = {}) {
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->item(r, CGroupsDlg::kColAddress)->text() == address &&
                (first.isEmpty() || list->item(r, CGroupsDlg::kColFirst)->text() == first)) {
                return r;
            }
        }
        return -1;
    }
    // The next control that Tab can reach, disabled ones included.
    static QWidget* NextTabStop(QWidget* from) {
        for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) && !w->isHidden()) {
                return w;
            }
        }
        return nullptr;
    }
    QPushButton* Button(int id) { return static_cast<QPushButton*>(dialog->Control(id)); }
    // Chooses an address in a list as a click on its row does, then presses the arrow.
    void Join(const QString& address) { Join({}, address); }
    void Join(const QString& first, const QString& address) {
        const int row = RowOf(dialog->AllContacts(), address, first);
        ASSERT_GE(row, 0) << address.toStdString();
        dialog->AllContacts()->clearSelection();
        dialog->AllContacts()->selectRow(row);
        ASSERT_TRUE(Button(CGroupsDlg::kAddToGroup)->isEnabled());
        Button(CGroupsDlg::kAddToGroup)->click();
    }
    void Leave(const QString& address) { Leave({}, address); }
    void Leave(const QString& first, const QString& address) {
        const int row = RowOf(dialog->Members(), address, first);
        ASSERT_GE(row, 0) << address.toStdString();
        dialog->Members()->clearSelection();
        dialog->Members()->selectRow(row);
        ASSERT_TRUE(Button(CGroupsDlg::kRemoveFromGroup)->isEnabled());
        Button(CGroupsDlg::kRemoveFromGroup)->click();
    }

    CAnsweringBox answers;
    std::unique_ptr<CGroupsDlg> dialog;
};

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

TEST_F(GroupsDlgTest, AddGroupAsksForANameAndNumbersAboveEveryRow) {
    Person(40, "Zoe", "", {"1", "", ""});
    Group(3, "Alpha");
    Open();
    {
        CNameDialogDriver driver({Type("Team"), Type("Team")});
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
    CNameDialogDriver driver({Type(""), Escape()});
    Button(CGroupsDlg::kAddGroup)->click();
    EXPECT_EQ(driver.shown.size(), 2u);
    EXPECT_EQ(answers.reports, std::vector<std::string>{"Error 102"});
    EXPECT_EQ(dialog->GroupList()->count(), 0);
    EXPECT_EQ(CContactsTable::NextContactId(host.database), 1) << "nothing stored";
    EXPECT_TRUE(host.status.empty());
}

TEST_F(GroupsDlgTest, TheNameTakesFifteenCharactersAndWindows1252Only) {
    Open();
    CNameDialogDriver driver({Type("ABCDEFGHIJKLMNOPQ"),
                              Replace(QString::fromUtf8("Caf\u00e9 \u20ac")),
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
    CNameDialogDriver driver({});
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
    CNameDialogDriver driver({Replace(""), Replace("Aardvark")});
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
        CNameDialogDriver driver({Type("New")});
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
        CNameDialogDriver driver({Replace("Friends")});
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
