#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "db/BookHistory.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/RestoreBookDlg.h"

namespace orvex::test {
namespace {

using D = CRestoreBookDlg;

class RestoreBookDlgTest : public CContactsDbTest {
  protected:
    void SetUp() override {
        CContactsDbTest::SetUp();
        history = std::make_unique<CBookHistory>(dir + "/history/");
    }
    void TearDown() override {
        dialog.reset();
        CContactsDbTest::TearDown();
    }

    void Keep(const std::string& operation, const std::string& detail = "") {
        std::string error;
        ASSERT_TRUE(history->Keep(host.database, operation, detail, error)) << error;
    }
    void Person(int id, const std::string& first, const std::string& last,
                const std::string& wireless, const std::string& work, const std::string& home) {
        SContact contact;
        contact.id = id;
        contact.first = first;
        contact.last = last;
        contact.texts = {{"strWAddr", wireless}, {"strWEmail", work}, {"strHEmail", home}};
        Add(contact);
    }
    // Two books: the older with Ann and the group Family, the newer with Bob as well.
    void KeepTwoBooks() {
        Person(1, "Ann", "Lee", "5551234", "ann@work.example", "ann@home.example");
        Group(1, "Family");
        Keep(CBookHistory::kDownload);
        Person(2, "Bob", "Ren\xe9", "5559876", "", "");
        Keep(CBookHistory::kImport, "people.csv");
    }
    void Open() {
        dialog = std::make_unique<D>(*history, [this](const SBookEntry& entry, std::string& error) {
            restored.push_back(entry);
            error = failure;
            return failure.empty();
        });
    }

    // The texts of a tree's top-level rows (all columns, joined by "|").
    static std::vector<std::string> Rows(QTreeWidget* tree, QTreeWidgetItem* parent = nullptr) {
        std::vector<std::string> rows;
        const int count = parent ? parent->childCount() : tree->topLevelItemCount();
        for (int r = 0; r < count; ++r) {
            QTreeWidgetItem* item = parent ? parent->child(r) : tree->topLevelItem(r);
            std::string row;
            for (int c = 0; c < tree->columnCount(); ++c) {
                row += (c ? "|" : "") + item->text(c).toStdString();
            }
            rows.push_back(row);
        }
        return rows;
    }
    static std::vector<std::string> Headers(QTreeWidget* tree) {
        std::vector<std::string> headers;
        for (int c = 0; c < tree->columnCount(); ++c) {
            headers.push_back(tree->headerItem()->text(c).toStdString());
        }
        return headers;
    }
    void ShowActive() {
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    std::unique_ptr<CBookHistory> history;
    std::unique_ptr<D> dialog;
    std::vector<SBookEntry> restored;
    std::string failure;
};

TEST_F(RestoreBookDlgTest, ListsTheBooksNewestFirstWithWhatReplacedThem) {
    KeepTwoBooks();
    Open();
    const std::vector<SBookEntry> entries = history->List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(dialog->windowTitle(), "Restore Earlier Book");
    EXPECT_EQ(Headers(dialog->Books()),
              (std::vector<std::string>{"When", "Replaced by", "Personal", "Groups"}));
    EXPECT_EQ(Rows(dialog->Books()),
              (std::vector<std::string>{entries[0].when + "|Import of people.csv|2|1",
                                        entries[1].when + "|Download|1|1"}));
    // The newest is selected, so its contacts show at once.
    ASSERT_NE(dialog->Selected(), nullptr);
    EXPECT_EQ(dialog->Selected()->path, entries[0].path);
    EXPECT_TRUE(dialog->RestoreButton()->isEnabled());
}

TEST_F(RestoreBookDlgTest, TheOperationsReadAsWords) {
    SBookEntry entry;
    entry.operation = CBookHistory::kDownload;
    EXPECT_EQ(D::ReplacedBy(entry), "Download");
    entry.operation = CBookHistory::kRestore;
    EXPECT_EQ(D::ReplacedBy(entry), "Restore");
    entry.operation = CBookHistory::kInterrupted;
    EXPECT_EQ(D::ReplacedBy(entry), "Interrupted operation");
    entry.detail = "download";
    EXPECT_EQ(D::ReplacedBy(entry), "Interrupted operation (download)");
    entry.operation = CBookHistory::kImport;
    entry.detail =
        "a\nb\x01"
        "caf\xc3\xa9.csv";
    EXPECT_EQ(D::ReplacedBy(entry), QString::fromUtf8("Import of a b caf\xc3\xa9.csv"));
}

TEST_F(RestoreBookDlgTest, SelectingABookShowsItsContactsAndGroups) {
    KeepTwoBooks();
    // What came after the books is not in them.
    Person(3, "Cid", "Moe", "", "", "");
    Open();
    QTreeWidget* contacts = dialog->Contacts();
    EXPECT_EQ(Headers(contacts),
              (std::vector<std::string>{"First Name", "Last Name", "Wireless Address", "Work Email",
                                        "Home Email"}));
    ASSERT_EQ(contacts->topLevelItemCount(), 2);
    EXPECT_EQ(contacts->topLevelItem(0)->text(0), "Personal contacts (2)");
    EXPECT_EQ(Rows(contacts, contacts->topLevelItem(0)),
              (std::vector<std::string>{"Ann|Lee|5551234|ann@work.example|ann@home.example",
                                        "Bob|Ren\xc3\xa9|5559876||"}));
    EXPECT_EQ(contacts->topLevelItem(1)->text(0), "Groups (1)");
    EXPECT_EQ(Rows(contacts, contacts->topLevelItem(1)), (std::vector<std::string>{"Family||||"}));

    dialog->Books()->setCurrentItem(dialog->Books()->topLevelItem(1));
    EXPECT_EQ(contacts->topLevelItem(0)->text(0), "Personal contacts (1)");
    EXPECT_EQ(Rows(contacts, contacts->topLevelItem(0)),
              (std::vector<std::string>{"Ann|Lee|5551234|ann@work.example|ann@home.example"}));
}

TEST_F(RestoreBookDlgTest, RestoreAsksAndYesHandsTheBookOver) {
    KeepTwoBooks();
    Open();
    dialog->show();
    dialog->Books()->setCurrentItem(dialog->Books()->topLevelItem(1));
    const SBookEntry older = history->List()[1];
    box.answer = IDYES;
    QTest::mouseClick(dialog->RestoreButton(), Qt::LeftButton);
    ASSERT_EQ(box.asked.size(), 1u);
    EXPECT_EQ(box.asked[0],
              "Orvex Manager|Replace the current contacts with the book of " + older.when + "?");
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].path, older.path);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(box.reports.empty());
}

TEST_F(RestoreBookDlgTest, NoLeavesEverythingAsItWas) {
    KeepTwoBooks();
    Open();
    dialog->show();
    box.answer = IDNO;
    QTest::mouseClick(dialog->RestoreButton(), Qt::LeftButton);
    EXPECT_EQ(box.prompts.size(), 1u);
    EXPECT_TRUE(restored.empty());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

TEST_F(RestoreBookDlgTest, AFailedRestoreIsReportedAndTheDialogStaysWithTheListRenewed) {
    KeepTwoBooks();
    const std::string chosen = history->List()[1].path;
    box.answer = IDYES;
    failure = "cannot replace /x/Orvex.mdb: No space left on device";
    // As the main window does first: the current book joins the history.
    dialog = std::make_unique<D>(*history, [this](const SBookEntry& entry, std::string& error) {
        restored.push_back(entry);
        Keep(CBookHistory::kRestore);
        error = failure;
        return false;
    });
    dialog->show();
    dialog->Books()->setCurrentItem(dialog->Books()->topLevelItem(1));
    QTest::mouseClick(dialog->RestoreButton(), Qt::LeftButton);

    ASSERT_EQ(restored.size(), 1u);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.reports[0], "Orvex Manager");
    EXPECT_EQ(box.texts[0], failure);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    // The list shows the book kept on the way, and the chosen one stays selected.
    EXPECT_EQ(dialog->Books()->topLevelItemCount(), 3);
    EXPECT_EQ(dialog->Books()->topLevelItem(0)->text(D::kColReplacedBy), "Restore");
    ASSERT_NE(dialog->Selected(), nullptr);
    EXPECT_EQ(dialog->Selected()->path, chosen);
}

TEST_F(RestoreBookDlgTest, AnEmptyHistorySaysSoAndCannotRestore) {
    Open();
    ASSERT_EQ(dialog->Books()->topLevelItemCount(), 1);
    QTreeWidgetItem* item = dialog->Books()->topLevelItem(0);
    EXPECT_EQ(item->text(0), "No earlier books yet.");
    EXPECT_FALSE(item->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(item->flags() & Qt::ItemIsSelectable);
    EXPECT_EQ(dialog->Selected(), nullptr);
    EXPECT_FALSE(dialog->RestoreButton()->isEnabled());
    EXPECT_EQ(dialog->Contacts()->topLevelItemCount(), 0);
    dialog->OnRestore();
    EXPECT_TRUE(box.prompts.empty());
}

TEST_F(RestoreBookDlgTest, ADamagedBookShowsItCannotBeReadAndCannotBeRestored) {
    KeepTwoBooks();
    {
        std::ofstream out(history->List()[0].path, std::ios::binary | std::ios::trunc);
        out << std::string(4096, 'Z');
    }
    Open();
    EXPECT_EQ(dialog->Books()->topLevelItem(0)->text(D::kColPersonal), "?");
    EXPECT_EQ(dialog->Books()->topLevelItem(0)->text(D::kColGroups), "?");
    ASSERT_EQ(dialog->Contacts()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog->Contacts()->topLevelItem(0)->text(0), "This book cannot be read.");
    EXPECT_FALSE(dialog->RestoreButton()->isEnabled());
    // The older one is still there to take.
    dialog->Books()->setCurrentItem(dialog->Books()->topLevelItem(1));
    EXPECT_TRUE(dialog->RestoreButton()->isEnabled());
}

TEST_F(RestoreBookDlgTest, TheKeysReachEveryControl) {
    KeepTwoBooks();
    Open();
    ShowActive();
    EXPECT_TRUE(dialog->Books()->hasFocus());
    QTest::keyClick(dialog.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(dialog->Contacts()->hasFocus());
    QTest::keyClick(dialog.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(dialog->Books()->hasFocus());
    // Down selects the older book and shows its contacts.
    QTest::keyClick(dialog->Books(), Qt::Key_Down);
    ASSERT_NE(dialog->Selected(), nullptr);
    EXPECT_EQ(dialog->Selected()->path, history->List()[1].path);
    EXPECT_EQ(dialog->Contacts()->topLevelItem(0)->text(0), "Personal contacts (1)");
    // Tab goes on in the order the controls stand.
    QTest::keyClick(dialog->Books(), Qt::Key_Tab);
    EXPECT_TRUE(dialog->Contacts()->hasFocus());
    QTest::keyClick(dialog->Contacts(), Qt::Key_Tab);
    EXPECT_TRUE(dialog->RestoreButton()->hasFocus());
    QTest::keyClick(dialog->RestoreButton(), Qt::Key_Tab);
    EXPECT_TRUE(dialog->CloseButton()->hasFocus());
    // Alt+R restores; Enter in the list never does.
    box.answer = IDNO;
    QTest::keyClick(dialog.get(), Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(dialog->Books()->hasFocus());
    QTest::keyClick(dialog->Books(), Qt::Key_Return);
    EXPECT_TRUE(box.prompts.empty());
    EXPECT_FALSE(dialog->isVisible()) << "Enter is Close";
    ShowActive();
    QTest::keyClick(dialog.get(), Qt::Key_R, Qt::AltModifier);
    // A mnemonic presses its button as a click shown on screen: a moment later.
    for (int i = 0; i < 100 && box.prompts.empty(); ++i) {
        QTest::qWait(20);
    }
    EXPECT_EQ(box.prompts.size(), 1u);
    EXPECT_TRUE(restored.empty());
    // Esc closes.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(RestoreBookDlgTest, TheControlsCarryTheNamesASightedUserReads) {
    KeepTwoBooks();
    Open();
    dialog->show();
    // A list's accessible interface has no label relation of its own: the label names it
    // through its buddy, and the accessible name says the same.
    const auto labelOf = [this](QWidget* widget) {
        QString text;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->buddy() == widget) {
                text = label->text();
            }
        }
        return text;
    };
    QAccessibleInterface* books = QAccessible::queryAccessibleInterface(dialog->Books());
    EXPECT_EQ(books->text(QAccessible::Name), "Earlier books");
    EXPECT_EQ(labelOf(dialog->Books()), "&Earlier books:");
    QAccessibleInterface* contacts = QAccessible::queryAccessibleInterface(dialog->Contacts());
    EXPECT_EQ(contacts->text(QAccessible::Name), "Contacts in this book");
    EXPECT_EQ(labelOf(dialog->Contacts()), "&Contacts in this book:");
    for (QPushButton* button : {dialog->RestoreButton(), dialog->CloseButton()}) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(node->role(), QAccessible::Button);
        EXPECT_EQ(node->text(QAccessible::Name), QString(button->text()).remove('&'));
    }
    // A book's row reads as its texts.
    bool found = false;
    for (int i = 0; i < books->childCount(); ++i) {
        found = found || books->child(i)->text(QAccessible::Name) == "Import of people.csv";
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace orvex::test
