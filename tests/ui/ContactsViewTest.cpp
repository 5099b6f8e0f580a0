#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <memory>

#include "tests/ui/UiTestSupport.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"
#include "ui/MultiLineEdit.h"
#include "ui/RowSourceModel.h"

namespace orvex::test {
namespace {

using V = CContactsView;

class ContactsViewTest : public CViewTest {
  protected:
    // The view as the main window sets it up, on the personal recordset opened at start-up.
    void MakeView() { CViewTest::MakeView(800, 560); }
    QString Text(int id) const { return view->FieldText(id); }
    QLineEdit* Line(int id) const { return qobject_cast<QLineEdit*>(view->Control(id)); }
    CMultiLineEdit* Multi(int id) const { return qobject_cast<CMultiLineEdit*>(view->Control(id)); }
    QString GridText(int row, int column) const {
        return view->Grid()->Model()->index(row, column).data().toString();
    }
};

TEST_F(ContactsViewTest, EmptyTableShowsNothingAndZeroCounts) {
    MakeView();
    EXPECT_EQ(host.status[1], "P:000/G:00");
    EXPECT_EQ(view->StatusLineText(), "");
    for (const V::SField& field : V::Fields()) {
        EXPECT_EQ(Text(field.id), "") << field.column;
    }
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(view->DefaultButton(n)->isChecked());
    }
    EXPECT_EQ(view->Grid()->RowCount(), 0);
    EXPECT_TRUE(box.reports.empty());
}

TEST_F(ContactsViewTest, OneContactIsSingular) {
    SContact contact;
    contact.id = 1;
    contact.first = "Ada";
    contact.last = "Lovelace";
    contact.byDefault = 2;
    contact.texts = {{"strWAddr", "ada@pager"},
                     {"strWEmail", "ada@work.example"},
                     {"strHEmail", "ada@home"},
                     {"strHPhone", "555-1234"},
                     {"strWPhone", "555-9876"},
                     {"strMPhone", "555-0000"},
                     {"strFax", "555-1111"},
                     {"strCompany", "Engines"},
                     {"strStreet", "1 Main St"},
                     {"strCity", "London"},
                     {"strState", "LN"},
                     {"strZip", "12345"},
                     {"strNote", "first programmer"}};
    Add(contact);
    MakeView();
    EXPECT_EQ(view->StatusLineText(), "  1 of 1 Personal Contact");
    EXPECT_EQ(host.status[1], "P:001/G:00");
    EXPECT_EQ(Text(V::kFirstName), "Ada");
    EXPECT_EQ(Text(V::kLastName), "Lovelace");
    for (const V::SField& field : V::Fields()) {
        auto it = contact.texts.find(field.column);
        if (it != contact.texts.end()) {
            EXPECT_EQ(Text(field.id), QString::fromStdString(it->second)) << field.column;
        }
    }
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_TRUE(view->DefaultButton(2)->isChecked());
    EXPECT_FALSE(view->DefaultButton(3)->isChecked());
}

TEST_F(ContactsViewTest, TwelveContactsWithTheThirdCurrent) {
    AddTwelve();
    MakeView();
    EXPECT_EQ(view->StatusLineText(), "  1 of 12 Personal Contacts");
    view->Grid()->SetRow(2);
    EXPECT_EQ(host.personal.Position(), 3);
    view->ShowCurrentContact();
    EXPECT_EQ(view->StatusLineText(), "  3 of 12 Personal Contacts");
    EXPECT_EQ(Text(V::kFirstName), "Carl");
    EXPECT_EQ(host.status[1], "P:012/G:00");
}

TEST_F(ContactsViewTest, WindowsTextsAreShownAsTheirCharacters) {
    Add(1, "Ren\xE9", "M\xFCller \x80");
    MakeView();
    EXPECT_EQ(Text(V::kFirstName), QString::fromUtf8("Ren\u00e9"));
    EXPECT_EQ(Text(V::kLastName), QString::fromUtf8("M\u00fcller \u20ac"));
    EXPECT_EQ(GridText(0, 3), QString::fromUtf8("Ren\u00e9"));
}

TEST_F(ContactsViewTest, StoredDefaultOutsideOneToThreeLeavesTheButtons) {
    Add(1, "Anna", "", 3);
    Add(2, "Bert", "", 4);
    Add(3, "Cleo", "", 0);
    MakeView();
    ASSERT_EQ(Text(V::kFirstName), "Anna");
    EXPECT_TRUE(view->DefaultButton(3)->isChecked());

    view->Grid()->SetRow(1);
    view->ShowCurrentContact();
    ASSERT_EQ(Text(V::kFirstName), "Bert");
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_FALSE(view->DefaultButton(2)->isChecked());
    EXPECT_TRUE(view->DefaultButton(3)->isChecked());

    view->Grid()->SetRow(2);
    view->ShowCurrentContact();
    ASSERT_EQ(Text(V::kFirstName), "Cleo");
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(view->DefaultButton(n)->isChecked()) << n;
    }
}

TEST_F(ContactsViewTest, NamesAreSortedByFirstThenLastName) {
    Add(1, "Dan", "Adams");
    Add(2, "Bob", "Zorn");
    Add(3, "Anna", "Young");
    Add(4, "Bob", "Adams");
    Add(5, "Anna", "Baker");
    Add(6, "carl", "");
    MakeView();
    ASSERT_EQ(view->Grid()->RowCount(), 6);
    // Letter case does not count: carl comes between Bob and Dan.
    const char* expected[][2] = {{"Anna", "Baker"}, {"Anna", "Young"}, {"Bob", "Adams"},
                                 {"Bob", "Zorn"},   {"carl", ""},      {"Dan", "Adams"}};
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(GridText(row, 3), expected[row][0]) << row;
        EXPECT_EQ(GridText(row, 4), expected[row][1]) << row;
    }
    EXPECT_EQ(Text(V::kFirstName), "Anna");
    EXPECT_EQ(Text(V::kLastName), "Baker");
}

TEST_F(ContactsViewTest, GroupRowsAreCountedButNotListed) {
    Add(1, "Ann");
    Add(2, "Ben");
    Add({3, "Friends", "", 1, 0, {}});
    Add({4, "Family", "", 1, 0, {}});
    Add({5, "Work", "", 1, 0, {}});
    MakeView();
    EXPECT_EQ(host.status[1], "P:002/G:03");
    EXPECT_EQ(view->Grid()->RowCount(), 2);
    EXPECT_EQ(view->StatusLineText(), "  1 of 2 Personal Contacts");
}

TEST_F(ContactsViewTest, GridColumnsHiddenCaptionedAndAligned) {
    AddTwelve();
    MakeView();
    CDataGrid* grid = view->Grid();
    EXPECT_EQ(grid->Caption(), "Personal Contacts");
    EXPECT_EQ(grid->Table()->accessibleName(), "Personal Contacts");
    ASSERT_EQ(grid->ColumnCount(), 22);
    const char* captions[] = {"First Name", "Last Name",  "Wireless Address",
                              "Work Email", "Home Email", "Default Address"};
    for (int c = 0; c < 22; ++c) {
        EXPECT_EQ(grid->IsColumnVisible(c), c >= 3 && c <= 8) << c;
    }
    for (int c = 3; c <= 8; ++c) {
        EXPECT_EQ(grid->ColumnCaption(c), captions[c - 3]) << c;
        EXPECT_EQ(grid->Table()->model()->headerData(c, Qt::Horizontal).toString(),
                  captions[c - 3]);
        EXPECT_EQ(grid->ColumnAlignment(c), c == 8 ? CDataGrid::kAlignCenter : 0) << c;
    }
    const int alignment = grid->Table()->model()->index(0, 8).data(Qt::TextAlignmentRole).toInt();
    EXPECT_TRUE(alignment & Qt::AlignHCenter);
    // The cursor stays in a visible column.
    EXPECT_TRUE(grid->IsColumnVisible(grid->Table()->currentIndex().column()));
}

TEST_F(ContactsViewTest, WideningKeepsThePanelRightAndTheColumnRatios) {
    AddTwelve();
    MakeView();
    view->show();
    QApplication::processEvents();
    QWidget* panel = view->findChild<QWidget*>("editorPanel");
    ASSERT_NE(panel, nullptr);
    const int panelWidth = panel->width();
    const int gridWidth = view->Grid()->width();

    view->resize(1500, 700);
    QApplication::processEvents();
    ASSERT_EQ(view->width(), 1500);
    EXPECT_EQ(panel->width(), panelWidth);
    EXPECT_EQ(panel->geometry().right(), view->rect().right());
    EXPECT_EQ(view->Grid()->width(), gridWidth + 700);
    EXPECT_EQ(view->Grid()->geometry().right() + 1, panel->geometry().left());
    QWidget* status = view->Control(V::kStatusLine);
    EXPECT_EQ(status->width(), view->Grid()->width());
    EXPECT_EQ(status->geometry().bottom(), view->rect().bottom());
    EXPECT_EQ(status->geometry().top(), view->Grid()->geometry().bottom() + 1);
    EXPECT_GE(status->height(), V::kStatusLineHeight);

    // The six columns fill the table's visible width in their ratios.
    const int total = view->Grid()->Table()->viewport()->width();
    const double shares[] = {0.17, 0.17, 0.2, 0.2, 0.2, 0.06};
    int sum = 0;
    for (int c = 3; c <= 8; ++c) {
        const int width = view->Grid()->ColumnWidth(c);
        EXPECT_NEAR(width, total * shares[c - 3], 2.0) << c;
        sum += width;
    }
    EXPECT_EQ(sum, total);
    // 17 : 17 : 20 : 20 : 20 : 6
    const int widths[] = {view->Grid()->ColumnWidth(3), view->Grid()->ColumnWidth(5),
                          view->Grid()->ColumnWidth(8)};
    EXPECT_NEAR(widths[0] * 20.0 / 17.0, widths[1], 2.0);
    EXPECT_NEAR(widths[2] * 20.0 / 6.0, widths[1], 4.0);
}

TEST_F(ContactsViewTest, DownArrowInTheGridMovesTheRecordsetAndTheFields) {
    Add(1, "Ann", "One");
    Add(2, "Ben", "Two");
    Add(3, "Cid", "Three");
    MakeView();
    QTableView* table = view->Grid()->Table();
    ASSERT_EQ(host.personal.Position(), 1);
    view->DefaultButton(1)->setEnabled(true);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(view->Grid()->Row(), 1);
    EXPECT_EQ(host.personal.Position(), 2);
    EXPECT_EQ(Text(V::kFirstName), "Ben");
    EXPECT_EQ(Text(V::kLastName), "Two");
    EXPECT_EQ(view->StatusLineText(), "  2 of 3 Personal Contacts");
    // Moving in the grid returns the editor to viewing.
    EXPECT_FALSE(view->DefaultButton(1)->isEnabled());
    QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(host.personal.Position(), 3);
    EXPECT_EQ(Text(V::kFirstName), "Cid");
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(Text(V::kFirstName), "Ben");
}

TEST_F(ContactsViewTest, ClickingARowShowsItAndUnchecksEdit) {
    Add(1, "Ann");
    Add(2, "Ben");
    Add(3, "Cid");
    MakeView();
    view->show();
    QApplication::processEvents();
    auto* edit = qobject_cast<QPushButton*>(view->Control(V::kEdit));
    {
        // Checked without starting to edit (which would disable the grid): the grid's own
        // event is what is under test.
        const QSignalBlocker quiet(edit);
        edit->setChecked(true);
    }
    QTableView* table = view->Grid()->Table();
    const QRect cell = table->visualRect(table->model()->index(2, 3));
    ASSERT_TRUE(cell.isValid());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(host.personal.Position(), 3);
    EXPECT_EQ(Text(V::kFirstName), "Cid");
    EXPECT_FALSE(edit->isChecked());
    EXPECT_TRUE(Line(V::kFirstName)->isReadOnly());
}

TEST_F(ContactsViewTest, TabPagesSwitchFromTheKeyboard) {
    MakeView();
    view->show();
    QApplication::processEvents();
    auto* tabs = qobject_cast<QTabWidget*>(view->Control(V::kTabs));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Basic");
    EXPECT_EQ(tabs->tabText(1), "Additional Info");
    EXPECT_EQ(view->TabPage(), 0);
    EXPECT_TRUE(view->Control(V::kFirstName)->isVisible());
    EXPECT_FALSE(view->Control(V::kCompany)->isVisible());

    QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
    EXPECT_EQ(view->TabPage(), 1);
    EXPECT_FALSE(view->Control(V::kFirstName)->isVisible());
    EXPECT_FALSE(view->Control(V::kContactAddressGroup)->isVisible());
    EXPECT_TRUE(view->Control(V::kCompany)->isVisible());
    EXPECT_TRUE(view->Control(V::kNote)->isVisible());
    EXPECT_TRUE(view->Control(V::kAddressGroup)->isVisible());

    // Ctrl+Tab from a field of the page turns to the other page.
    QTest::keyClick(view->Control(V::kCity), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(view->TabPage(), 0);
    EXPECT_TRUE(view->Control(V::kHomePhone)->isVisible());
    EXPECT_FALSE(view->Control(V::kZip)->isVisible());
    // The buttons and the grid belong to no page.
    for (int id : {V::kGrid, V::kEdit, V::kNew, V::kDel, V::kSave, V::kCancel, V::kStatusLine}) {
        EXPECT_TRUE(view->Control(id)->isVisible()) << id;
    }
}

TEST_F(ContactsViewTest, ViewingStateAfterInitialUpdate) {
    Add(1, "Ann");
    MakeView();
    for (const V::SField& field : V::Fields()) {
        if (field.multiLine) {
            EXPECT_TRUE(Multi(field.id)->isReadOnly()) << field.column;
        } else {
            EXPECT_TRUE(Line(field.id)->isReadOnly()) << field.column;
        }
        // A read-only field still takes the keyboard focus.
        EXPECT_TRUE(view->Control(field.id)->focusPolicy() & Qt::TabFocus) << field.column;
    }
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(view->DefaultButton(n)->isEnabled());
    }
    auto* edit = qobject_cast<QPushButton*>(view->Control(V::kEdit));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isCheckable());
    EXPECT_FALSE(edit->isChecked());
    for (int id : {V::kEdit, V::kNew, V::kDel, V::kGrid, V::kTabs}) {
        EXPECT_TRUE(view->Control(id)->isEnabled()) << id;
    }
    for (int id : {V::kSave, V::kCancel}) {
        EXPECT_FALSE(view->Control(id)->isEnabled()) << id;
    }

    view->SetFieldsReadOnly(false);
    EXPECT_FALSE(Line(V::kWireless)->isReadOnly());
    EXPECT_FALSE(Multi(V::kNote)->isReadOnly());
    EXPECT_TRUE(view->DefaultButton(2)->isEnabled());
    view->SetFieldsReadOnly(true);
    EXPECT_TRUE(Line(V::kZip)->isReadOnly());
    EXPECT_FALSE(view->DefaultButton(3)->isEnabled());
    // Labels, group boxes and the tabs are never disabled.
    EXPECT_TRUE(view->Control(V::kFirstNameLabel)->isEnabled());
    EXPECT_TRUE(view->Control(V::kPhoneGroup)->isEnabled());
}

TEST_F(ContactsViewTest, CharacterLimitsPerField) {
    MakeView();
    const std::map<int, int> limits = {
        {V::kFirstName, 15}, {V::kLastName, 18},  {V::kWireless, 65},  {V::kWorkEmail, 65},
        {V::kHomeEmail, 65}, {V::kHomePhone, 15}, {V::kWorkPhone, 18}, {V::kMobilePhone, 15},
        {V::kFax, 15},       {V::kCompany, 18},   {V::kStreet, 70},    {V::kCity, 20},
        {V::kState, 10},     {V::kZip, 10},       {V::kNote, 72}};
    ASSERT_EQ(V::Fields().size(), limits.size());
    view->SetFieldsReadOnly(false);
    for (const auto& [id, limit] : limits) {
        const V::SField* field = V::Field(id);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->limit, limit);
        EXPECT_EQ(field->limit, CContactsTable::MaxLength(field->column)) << field->column;
        const QString typed(limit + 7, QLatin1Char('7'));
        if (field->multiLine) {
            EXPECT_EQ(Multi(id)->Limit(), limit);
            QTest::keyClicks(Multi(id), typed);
            EXPECT_EQ(Multi(id)->Length(), limit) << field->column;
        } else {
            EXPECT_EQ(Line(id)->maxLength(), limit);
            QTest::keyClicks(Line(id), typed);
            EXPECT_EQ(Line(id)->text().size(), limit) << field->column;
        }
    }
}

TEST_F(ContactsViewTest, AStoredTextBeyondTheLimitIsShownWhole) {
    SContact contact;
    contact.id = 1;
    contact.first = std::string(20, 'F');
    contact.texts = {{"strNote", std::string(80, 'n')}};
    Add(contact);
    MakeView();
    EXPECT_EQ(Text(V::kFirstName).size(), 20);
    EXPECT_EQ(Text(V::kNote).size(), 80);
    // The user cannot make it longer.
    view->SetFieldsReadOnly(false);
    QTest::keyClick(Line(V::kFirstName), Qt::Key_End);
    QTest::keyClicks(Line(V::kFirstName), "xyz");
    EXPECT_EQ(Text(V::kFirstName).size(), 20);
    QTest::keyClicks(Multi(V::kNote), "xyz");
    EXPECT_EQ(Text(V::kNote).size(), 80);
}

TEST_F(ContactsViewTest, ReloadSelectsTheRememberedRow) {
    AddTwelve();
    MakeView();
    EXPECT_EQ(view->RememberedRow(), 0);
    view->SetRememberedRow(4);
    Add(13, "Aaron", "Zed");  // a change of the table that the reload reads
    view->ReloadContacts();
    EXPECT_EQ(host.status[1], "P:013/G:00");
    EXPECT_EQ(view->Grid()->RowCount(), 13);
    EXPECT_EQ(view->Grid()->Row(), 4);
    EXPECT_EQ(host.personal.Position(), 5);
    EXPECT_EQ(view->StatusLineText(), "  5 of 13 Personal Contacts");
    // Aaron, Abe, Bob, Carl, Dora
    EXPECT_EQ(Text(V::kFirstName), "Dora");
    EXPECT_EQ(GridText(0, 3), "Aaron");
    // The columns are set again after the rebinding.
    EXPECT_FALSE(view->Grid()->IsColumnVisible(0));
    EXPECT_EQ(view->Grid()->ColumnCaption(5), "Wireless Address");

    view->SetRememberedRow(0);
    view->ReloadContacts();
    EXPECT_EQ(view->StatusLineText(), "  1 of 13 Personal Contacts");
    EXPECT_EQ(Text(V::kFirstName), "Aaron");
}

TEST_F(ContactsViewTest, ReloadLeavesTheEditingStateAlone) {
    Add(1, "Ann");
    Add(2, "Ben");
    MakeView();
    auto* edit = qobject_cast<QPushButton*>(view->Control(V::kEdit));
    edit->setChecked(true);
    view->SetFieldsReadOnly(false);
    view->SetRememberedRow(1);
    view->ReloadContacts();
    EXPECT_TRUE(edit->isChecked());
    EXPECT_FALSE(Line(V::kFirstName)->isReadOnly());
    EXPECT_EQ(Text(V::kFirstName), "Ben");
}

TEST_F(ContactsViewTest, ReloadOfAnEmptiedTableEmptiesTheEditor) {
    Add(1, "Ann", "One", 1);
    MakeView();
    ASSERT_EQ(Text(V::kFirstName), "Ann");
    ASSERT_TRUE(host.database.Execute(CContactsTable::kDeleteAll));
    view->ReloadContacts();
    EXPECT_EQ(host.status[1], "P:000/G:00");
    EXPECT_EQ(view->StatusLineText(), "");
    EXPECT_EQ(Text(V::kFirstName), "");
    EXPECT_EQ(Text(V::kLastName), "");
    EXPECT_FALSE(view->DefaultButton(1)->isChecked());
    EXPECT_EQ(view->Grid()->RowCount(), 0);
}

TEST_F(ContactsViewTest, AFailedReloadUpdatesNothing) {
    Add(1, "Ann");
    MakeView();
    host.status.clear();
    host.database.Close();
    view->ReloadContacts();
    EXPECT_FALSE(host.personal.IsOpen());
    EXPECT_TRUE(host.status.empty());
    EXPECT_EQ(Text(V::kFirstName), "Ann");
    EXPECT_EQ(view->StatusLineText(), "  1 of 1 Personal Contact");
    EXPECT_TRUE(box.reports.empty());
}

TEST_F(ContactsViewTest, ClosedDatabaseReportsError202) {
    host.database.Close();
    view = std::make_unique<CContactsView>(host);
    view->InitialUpdate();
    ASSERT_EQ(box.reports.size(), 1U);
    EXPECT_EQ(box.reports[0], "Error 202");
    EXPECT_TRUE(host.status.empty());
    EXPECT_EQ(host.minWidth, -1);
    EXPECT_EQ(view->Grid()->DataSource(), nullptr);
    EXPECT_FALSE(Line(V::kFirstName)->isReadOnly());
    EXPECT_FALSE(view->Control(V::kSave)->isEnabled());
    // The limits are set before the check.
    EXPECT_EQ(Line(V::kFirstName)->maxLength(), 15);
}

TEST_F(ContactsViewTest, ClosedRecordsetReportsError203) {
    view = std::make_unique<CContactsView>(host);
    view->InitialUpdate();
    ASSERT_EQ(box.reports.size(), 1U);
    EXPECT_EQ(box.reports[0], "Error 203");
    EXPECT_TRUE(host.status.empty());
    EXPECT_EQ(view->Grid()->DataSource(), nullptr);
    EXPECT_FALSE(Multi(V::kStreet)->isReadOnly());
}

TEST_F(ContactsViewTest, AHiddenMainWindowIsFittedAroundTheFormBesideTheTree) {
    Add(1, "Ann");
    OpenPersonal();
    QMainWindow frame;
    auto* splitter = new QSplitter(&frame);
    auto* tree = new QWidget(splitter);
    tree->setMinimumWidth(100);
    auto* pane = new QStackedWidget(splitter);
    auto* child = new CContactsView(host, pane);
    pane->addWidget(child);
    splitter->addWidget(tree);
    splitter->addWidget(pane);
    // As the main window's splitter: the tree keeps its width, the view takes the change.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    frame.setCentralWidget(splitter);
    frame.resize(2000, 1500);
    splitter->setSizes({120, 1880});
    child->InitialUpdate();
    const QSize form = child->sizeHint().expandedTo(child->minimumSizeHint());
    EXPECT_LT(frame.width(), 2000);
    EXPECT_LT(frame.height(), 1500);
    EXPECT_EQ(child->size(), form);
    EXPECT_EQ(tree->width(), 120);
    EXPECT_EQ(host.minWidth, frame.width());
    EXPECT_EQ(host.minHeight, frame.height());
    // The columns were laid out for that size.
    const QTableView* table = child->Grid()->Table();
    const int total = child->Grid()->ClientWidth() - table->verticalHeader()->sizeHint().width();
    EXPECT_NEAR(child->Grid()->ColumnWidth(3), total * 0.17, 1.0);

    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(child->size(), form);
}

TEST_F(ContactsViewTest, InitialUpdateNeverEnlargesTheFrame) {
    OpenPersonal();
    QWidget frame;
    auto* child = new CContactsView(host, &frame);
    frame.resize(300, 200);
    child->setGeometry(0, 0, 300, 200);
    child->InitialUpdate();
    EXPECT_EQ(frame.size(), QSize(300, 200));
    EXPECT_EQ(host.minWidth, 300);
    EXPECT_EQ(host.minHeight, 200);
}

TEST_F(ContactsViewTest, LabelsAreTheBuddiesOfTheirFields) {
    MakeView();
    for (const V::SField& field : V::Fields()) {
        auto* label = qobject_cast<QLabel*>(view->Control(field.labelId));
        ASSERT_NE(label, nullptr) << field.label;
        EXPECT_EQ(label->text(), field.label);
        EXPECT_EQ(label->buddy(), view->Control(field.id)) << field.label;
        QString name = label->text();
        name.chop(1);
        EXPECT_EQ(view->Control(field.id)->accessibleName(), name);
    }
    auto* defaultLabel = qobject_cast<QLabel*>(view->Control(V::kDefaultLabel));
    ASSERT_NE(defaultLabel, nullptr);
    EXPECT_EQ(defaultLabel->text(), "Default:");
}

TEST_F(ContactsViewTest, TheFormHasEveryControl) {
    MakeView();
    const int ids[] = {1000, 1010, 1011, 1012, 1051, 1052, 1053, 1069, 1015, 1013, 1016, 1014,
                       1037, 1017, 1018, 1019, 1020, 1021, 1022, 1026, 1023, 1024, 1025, 1036,
                       1030, 1027, 1031, 1028, 1032, 1029, 1035, 1034, 1038, 1039, 1040, 1041,
                       1044, 1042, 1045, 1043, 1046, 1047, 1048, 1050, 1049};
    for (int id : ids) {
        EXPECT_NE(view->Control(id), nullptr) << id;
    }
    EXPECT_EQ(view->Control(999), nullptr);
    // 24 controls on the first page, 13 on the second.
    auto* tabs = qobject_cast<QTabWidget*>(view->Control(V::kTabs));
    int basic = 0;
    int additional = 0;
    for (int id : ids) {
        QWidget* control = view->Control(id);
        basic += tabs->widget(0)->isAncestorOf(control) ? 1 : 0;
        additional += tabs->widget(1)->isAncestorOf(control) ? 1 : 0;
    }
    EXPECT_EQ(basic, 24);
    EXPECT_EQ(additional, 13);
}

}  // namespace
}  // namespace orvex::test
