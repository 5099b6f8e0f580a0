#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableView>

#include "contact/ContactFields.h"
#include "tests/ui/EditingTestSupport.h"
#include "ui/ContactsColumns.h"
#include "ui/GridFilterModel.h"

namespace orvex::test {
namespace {

using F = CContactFields;

class ContactsFindTest : public CEditingTest {
  protected:
    QLineEdit* Find() const { return view->Grid()->FindField(); }
    // The first names down the grid, as the user reads them.
    std::vector<QString> Shown() const {
        std::vector<QString> names;
        const QAbstractItemModel* model = view->Grid()->Table()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            names.push_back(model->index(r, F::kFirstName).data().toString());
        }
        return names;
    }
    void ClickHeader(int column) const {
        QHeaderView* header = view->Grid()->Table()->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    QString StatusLine() const { return view->StatusLineText(); }
    // Names in Windows-1252 bytes, as the table keeps the program's texts.
    void AddFour() {
        Add(1, "Zoe", "Adams");
        AddWith(2, "\xC9mile", "Baker", F::kCompany, "Acme");
        AddWith(3, "\xE9va", "Cole", F::kNote, "met at ACME");
        AddWith(4, "Eve", "Dunn", F::kMobilePhone, "555-0100");
    }
    void AddWith(int id, const char* first, const char* last, F::EColumn column, const char* text) {
        SContact contact;
        contact.id = id;
        contact.first = first;
        contact.last = last;
        contact.texts[F::Name(column)] = text;
        Add(contact);
    }
};

// Typing narrows the grid as it goes, in every text a contact shows, letter case ignored and
// accented letters matched as the sort matches them; Esc gives all rows back.
TEST_F(ContactsFindTest, TheFindFieldNarrowsTheGridAsTheUserTypes) {
    AddFour();
    MakeView();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view->Grid()->Table(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), Find());
    EXPECT_EQ(Find()->accessibleName(), "Find");
    // The grid's selection turns grey without the focus, and back with it.
    QTableView* table = view->Grid()->Table();
    const QPalette standard = QApplication::palette(table);
    EXPECT_EQ(table->palette().color(QPalette::Highlight), standard.color(QPalette::Midlight));
    table->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(table->palette().color(QPalette::Highlight), standard.color(QPalette::Highlight));
    Find()->setFocus(Qt::TabFocusReason);

    QTest::keyClicks(Find(), QString::fromUtf8("\xC3\x89"));  // "É"
    EXPECT_EQ(Shown(), (std::vector<QString>{QString::fromUtf8("\xC3\x89mile"),
                                             QString::fromUtf8("\xC3\xA9va")}));
    // The first contact shown is under the cursor and in the editor.
    EXPECT_EQ(Text(V::kFirstName), QString::fromUtf8("\xC3\x89mile"));
    EXPECT_EQ(StatusLine(), "  1 of 2 Personal Contacts");
    EXPECT_EQ(view->Grid()->Table()->model()->headerData(1, Qt::Vertical).toInt(), 2);

    Find()->setText("aCmE");  // the company of one, the note of another
    EXPECT_EQ(GridRows(), 2);
    Find()->setText("0100");  // a phone
    EXPECT_EQ(Shown(), std::vector<QString>{"Eve"});
    EXPECT_EQ(StatusLine(), "  1 of 1 Personal Contact");

    Find()->setText("nobody");
    EXPECT_EQ(GridRows(), 0);
    EXPECT_EQ(Text(V::kFirstName), "");
    EXPECT_EQ(StatusLine(), "");
    // Nothing under the cursor: nothing to edit or delete.
    Click(V::kEdit);
    EXPECT_FALSE(Editing());
    Click(V::kDel);
    EXPECT_TRUE(answers.prompts.empty());

    Find()->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(Find(), Qt::Key_Escape);
    EXPECT_EQ(Find()->text(), "");
    EXPECT_EQ(GridRows(), 4);
    EXPECT_EQ(StatusLine(), "  1 of 4 Personal Contacts");
}

// A click on a header sorts by the column, a second reverses, a third gives the name order
// back; the header shows which. The status line counts as the grid shows.
TEST_F(ContactsFindTest, HeaderClicksSortReverseAndReturnToNameOrder) {
    AddFour();
    MakeView();
    QHeaderView* header = view->Grid()->Table()->horizontalHeader();
    const std::vector<QString> byName = Shown();
    view->Grid()->SetRow(0);  // Eve, first by name
    ClickHeader(F::kLastName);
    EXPECT_EQ(Shown(), (std::vector<QString>{"Zoe", QString::fromUtf8("\xC3\x89mile"),
                                             QString::fromUtf8("\xC3\xA9va"), "Eve"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), F::kLastName);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // Eve stays under the cursor, now the fourth.
    EXPECT_EQ(Text(V::kFirstName), "Eve");
    EXPECT_EQ(StatusLine(), "  4 of 4 Personal Contacts");

    ClickHeader(F::kLastName);
    EXPECT_EQ(Shown().front(), "Eve");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(F::kLastName);
    EXPECT_EQ(Shown(), byName);
    EXPECT_FALSE(header->isSortIndicatorShown());
    EXPECT_EQ(view->Grid()->SortColumn(), -1);
}

// On a narrowed and sorted grid the contact the user sees is the one edited or deleted, the
// saved contact stays under the cursor, and the stored entry indexes stay in name order.
TEST_F(ContactsFindTest, EditAndDelActOnTheContactShownUnderTheCursor) {
    AddTwelve();  // all "Smith"
    Add(13, "Amy", "Jones");
    MakeView();
    view->Grid()->SetSort(F::kFirstName, Qt::DescendingOrder);
    Find()->setText("smith");
    ASSERT_EQ(GridRows(), 12);
    view->Grid()->SetRow(1);  // Kim (after Lena)
    view->ShowCurrentContact();
    ASSERT_EQ(Text(V::kFirstName), "Kim");
    Click(V::kEdit);
    Type(V::kFirstName, "Aaron");
    Click(V::kSave);
    EXPECT_FALSE(Editing());
    EXPECT_EQ(Stored(5).first, "Aaron");
    EXPECT_EQ(Text(V::kFirstName), "Aaron");
    EXPECT_EQ(Shown().back(), "Aaron");
    EXPECT_EQ(GridRow(), 11);
    // Aaron, Abe, Amy, Bob...: the indexes follow the names, not the grid.
    EXPECT_EQ(Stored(5).index, 0);
    EXPECT_EQ(Stored(13).index, 2);

    view->Grid()->SetRow(0);  // Lena
    view->ShowCurrentContact();
    Click(V::kDel);
    ASSERT_EQ(answers.prompts.size(), 1u);
    EXPECT_NE(answers.prompts[0].find("Lena"), std::string::npos);
    EXPECT_FALSE(Stored(1).found);
    EXPECT_TRUE(Stored(2).found);
    EXPECT_EQ(GridRows(), 11);
    EXPECT_EQ(Find()->text(), "smith");

    // A new contact the find text would hide is shown all the same once saved.
    Click(V::kNew);
    Type(V::kFirstName, "Nell");
    Click(V::kSave);
    EXPECT_EQ(Find()->text(), "");
    EXPECT_EQ(Text(V::kFirstName), "Nell");
}

// The shown columns fill the width in their ratios; the header's menu adds the optional ones,
// a drag takes its width from the columns to the right, and the arrangement comes back from
// its state while a damaged state changes nothing.
TEST_F(ContactsFindTest, ColumnsFillTheWidthAndComeBackFromTheirState) {
    AddFour();
    MakeView();
    QTableView* table = view->Grid()->Table();
    QHeaderView* header = table->horizontalHeader();
    auto sum = [&] {
        int total = 0;
        for (int c = 0; c < header->count(); ++c) {
            total += header->isSectionHidden(c) ? 0 : header->sectionSize(c);
        }
        return total;
    };
    EXPECT_EQ(sum(), table->viewport()->width());
    EXPECT_TRUE(header->isSectionHidden(F::kCompany));

    std::unique_ptr<QMenu> menu(view->Columns().CreateMenu(view.get()));
    for (QAction* action : menu->actions()) {
        if (action->text() == "Company") {
            action->trigger();
        }
    }
    EXPECT_FALSE(header->isSectionHidden(F::kCompany));
    EXPECT_EQ(header->model()->headerData(F::kCompany, Qt::Horizontal).toString(), "Company");
    EXPECT_EQ(sum(), table->viewport()->width());

    // The user drags the first column wider.
    const int first = header->sectionSize(F::kFirstName);
    header->resizeSection(F::kFirstName, first + 40);
    EXPECT_EQ(header->sectionSize(F::kFirstName), first + 40);
    EXPECT_NEAR(sum(), table->viewport()->width(), 1);
    const QByteArray state = view->ColumnState();

    view->resize(view->width() + 200, view->height());
    QApplication::processEvents();
    EXPECT_EQ(sum(), table->viewport()->width());

    view->Columns().SetShown(F::kCompany, false);
    view->RestoreColumnState("3:0.5:1 junk");
    EXPECT_TRUE(header->isSectionHidden(F::kCompany));
    view->RestoreColumnState(state);
    EXPECT_FALSE(header->isSectionHidden(F::kCompany));
    EXPECT_EQ(view->ColumnState(), state);

    // A reload (after a save, a download, an import) lays the columns out afresh, which is
    // no drag of the user's: the shares stay.
    view->ReloadContacts();
    QApplication::processEvents();
    EXPECT_EQ(view->ColumnState(), state);
}

}  // namespace
}  // namespace orvex::test
