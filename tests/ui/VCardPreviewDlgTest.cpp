#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <utility>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/VCardPreviewDlg.h"

namespace orvex::test {
namespace {

using D = CVCardPreviewDlg;

// The texts of an item's columns, joined with '|'.
QString Row(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column) {
        texts << item->text(column);
    }
    return texts.join('|');
}

// Three cards: a plain one, one with a value shortened and one left out, and a duplicate of a
// current contact (skipped unless duplicates are kept; replacing leaves nothing to duplicate).
SVCardPreview Sample(bool replace, bool keepDuplicates) {
    SVCardPreview preview;
    SVCardPreviewCard ann;
    ann.number = 1;
    ann.line = 1;
    ann.name = "Ann Lee";
    ann.stored = "ann@work.example";
    SVCardPreviewCard bob;
    bob.number = 2;
    bob.line = 9;
    bob.name = "Bob\nRen\u00e9";
    bob.stored = "5551234, Acme";
    bob.problems = {
        {"Work Phone", "+1 555 123 4567 x89", "5551234567", "longer than 15 characters"},
        {"Group", "Friends <and> Family", "", "no room for another group"}};
    SVCardPreviewCard cid;
    cid.number = 3;
    cid.line = 20;
    cid.name = "Cid Moe";
    cid.stored = "cid@home.example";
    cid.duplicate = !replace;
    cid.skipped = !replace && !keepDuplicates;
    cid.problems = {{"Home Email", "x@y", "", "not an address"}};
    preview.cards = {ann, bob, cid};
    preview.counts = {"3 cards read", replace ? "0 duplicates" : "1 duplicate"};
    return preview;
}

class VCardPreviewDlgTest : public ::testing::Test {
  protected:
    void Open() {
        dialog = std::make_unique<D>("/home/ann/people.vcf", [this](bool replace, bool keep) {
            calls.emplace_back(replace, keep);
            return Sample(replace, keep);
        });
    }
    // A button pressed as a screen reader presses it; the click comes a moment later.
    void Press(QAbstractButton* button) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(node, nullptr);
        ASSERT_NE(node->actionInterface(), nullptr);
        node->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        for (int i = 0; i < 100 && dialog->isVisible(); ++i) {
            QTest::qWait(10);
        }
    }

    QApplication& app = TestApp();
    std::vector<std::pair<bool, bool>> calls;
    std::unique_ptr<D> dialog;
};

TEST_F(VCardPreviewDlgTest, TheListAndTheCountsComeFromTheBuilder) {
    Open();
    EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{false, false}}));
    EXPECT_EQ(dialog->windowTitle(), "Import vCard");
    EXPECT_EQ(dialog->Summary()->text(), "3 cards read\n1 duplicate");
    QAccessibleInterface* summary = QAccessible::queryAccessibleInterface(dialog->Summary());
    EXPECT_EQ(summary->text(QAccessible::Name), "Summary");
    EXPECT_EQ(summary->text(QAccessible::Description), "3 cards read\n1 duplicate");

    QTreeWidget* list = dialog->List();
    EXPECT_EQ(Row(list->headerItem()), "Card|Name|What is stored|Notes");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Name), "Cards");
    bool labelled = false;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        labelled = labelled || (label->buddy() == list && label->text() == "&Cards:");
    }
    EXPECT_TRUE(labelled);

    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(Row(list->topLevelItem(0)), "1|Ann Lee|ann@work.example|");
    // A line break of the card stays out of the row.
    EXPECT_EQ(Row(list->topLevelItem(1)),
              QString::fromUtf8("2|Bob Ren\u00e9|5551234, Acme|2 values changed or left out"));
    EXPECT_EQ(Row(list->topLevelItem(2)), "3|Cid Moe|cid@home.example|duplicate: skipped");

    // The values that do not fit stand under their card, unfolded.
    QTreeWidgetItem* bob = list->topLevelItem(1);
    EXPECT_TRUE(bob->isExpanded());
    ASSERT_EQ(bob->childCount(), 2);
    EXPECT_EQ(Row(bob->child(0)),
              "|Work Phone: +1 555 123 4567 x89|stored as: 5551234567|longer than 15 characters");
    EXPECT_EQ(Row(bob->child(1)),
              "|Group: Friends <and> Family|left out|no room for another group");
    // A skipped card stores nothing: greyed, its problems folded away.
    QTreeWidgetItem* cid = list->topLevelItem(2);
    EXPECT_FALSE(cid->isExpanded());
    EXPECT_EQ(cid->childCount(), 1);
    EXPECT_NE(cid->foreground(D::kColName), list->topLevelItem(0)->foreground(D::kColName));
    EXPECT_EQ(cid->foreground(D::kColName).color(),
              list->palette().color(QPalette::Disabled, QPalette::Text));
}

TEST_F(VCardPreviewDlgTest, ChangingAChoiceAsksAgainAndKeepsThePlace) {
    Open();
    dialog->show();
    QTreeWidget* list = dialog->List();
    list->setCurrentItem(list->topLevelItem(1)->child(1), D::kColStored);
    ASSERT_TRUE(dialog->KeepDuplicatesBox()->isEnabled());

    dialog->ReplaceButton()->click();
    EXPECT_EQ(calls.back(), std::make_pair(true, false));
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_FALSE(dialog->KeepDuplicatesBox()->isEnabled());
    EXPECT_EQ(dialog->Summary()->text(), "3 cards read\n0 duplicates");
    EXPECT_EQ(list->topLevelItem(2)->text(D::kColNotes), "1 value changed or left out");
    EXPECT_TRUE(list->topLevelItem(2)->isExpanded());
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1)->child(1));
    EXPECT_EQ(list->currentColumn(), D::kColStored);

    dialog->AddButton()->click();
    EXPECT_EQ(calls.back(), std::make_pair(false, false));
    ASSERT_TRUE(dialog->KeepDuplicatesBox()->isEnabled());
    list->setCurrentItem(list->topLevelItem(2));
    dialog->KeepDuplicatesBox()->click();
    EXPECT_EQ(calls.back(), std::make_pair(false, true));
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_TRUE(dialog->KeepDuplicates());
    EXPECT_EQ(list->topLevelItem(2)->text(D::kColNotes),
              "duplicate: kept; 1 value changed or left out");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
    // Replacing keeps no duplicates, whatever the box still shows.
    dialog->ReplaceButton()->click();
    EXPECT_EQ(calls.back(), std::make_pair(true, false));
    EXPECT_FALSE(dialog->KeepDuplicates());
}

TEST_F(VCardPreviewDlgTest, ImportGivesTheModeChosenAndEscCancels) {
    const std::pair<bool, D::EChoice> modes[] = {{false, D::EChoice::kAdd},
                                                 {true, D::EChoice::kReplace}};
    for (const auto& [replace, choice] : modes) {
        Open();
        dialog->show();
        if (replace) {
            dialog->ReplaceButton()->click();
        }
        Press(dialog->ImportButton());
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(dialog->Choice(), choice);
    }

    Open();
    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->Choice(), D::EChoice::kCancel);

    // The keys reach every choice: the label's mnemonic the list, Alt+R replacing.
    Open();
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_R, Qt::AltModifier);
    for (int i = 0; i < 100 && !dialog->ReplaceButton()->isChecked(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_TRUE(dialog->ReplaceButton()->isChecked());
    EXPECT_EQ(calls.back(), std::make_pair(true, false));
    QTest::keyClick(dialog.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(dialog->List()->hasFocus());
    // Enter in the list is Import.
    QTest::keyClick(dialog->List(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->Choice(), D::EChoice::kReplace);
}

TEST_F(VCardPreviewDlgTest, TenThousandCardsFitInAWindowTheScreenHolds) {
    SVCardPreview many;
    many.counts = {"10000 cards read"};
    for (int i = 1; i <= 10000; ++i) {
        SVCardPreviewCard card;
        card.number = i;
        card.line = i * 8;
        card.name = QStringLiteral("Person %1 With A Rather Long Family Name").arg(i);
        card.stored = QStringLiteral(
                          "person%1@example.com, 555%1, Example Company Limited, "
                          "Friends, Family, Work, Choir")
                          .arg(i);
        if (i % 3 == 0) {
            card.problems = {{"Work Phone", "+1 555 0100 ext 12345", "", "longer than 15"}};
        }
        many.cards.push_back(card);
    }
    dialog = std::make_unique<D>("big.vcf", [&](bool, bool) { return many; });
    dialog->show();
    QTest::qWait(0);
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 10000);
    EXPECT_TRUE(dialog->List()->topLevelItem(2)->isExpanded());
    // Again, shown: a change of mode refills the whole list.
    dialog->ReplaceButton()->click();
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 10000);

    const QRect room = dialog->screen()->availableGeometry();
    EXPECT_LE(dialog->width(), room.width());
    EXPECT_LE(dialog->height(), room.height());
    // The long texts are cut within reason, leaving room for the notes.
    EXPECT_LT(dialog->List()->columnWidth(D::kColStored), room.width() / 2);
}

}  // namespace
}  // namespace orvex::test
