#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"

namespace orvex::test {
namespace {

using V = CContactsView;

// Finds the controls of the view as an assistive tool does: through the accessibility tree,
// by role and by the name a sighted user reads.
class ContactsViewAccessTest : public CViewTest {
  protected:
    void MakeView() {
        CViewTest::MakeView(820, 600);
        view->show();
        QApplication::processEvents();
    }

    // Every accessible object under the view.
    std::vector<QAccessibleInterface*> All() const {
        std::vector<QAccessibleInterface*> all;
        std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node,
                                                                   int depth) {
            if (!node || depth > 40) {
                return;
            }
            all.push_back(node);
            for (int i = 0; i < node->childCount(); ++i) {
                walk(node->child(i), depth + 1);
            }
        };
        walk(QAccessible::queryAccessibleInterface(view.get()), 0);
        return all;
    }
    QAccessibleInterface* Find(QAccessible::Role role, const QString& name) const {
        for (QAccessibleInterface* node : All()) {
            if (node->role() == role && node->text(QAccessible::Name) == name) {
                return node;
            }
        }
        return nullptr;
    }
    QObject* FindObject(QAccessible::Role role, const QString& name) const {
        QAccessibleInterface* node = Find(role, name);
        return node ? node->object() : nullptr;
    }
};

TEST_F(ContactsViewAccessTest, EveryFieldIsFoundByItsLabelsName) {
    Add(1, "Ann", "One");
    MakeView();
    auto* tabs = qobject_cast<QTabWidget*>(view->Control(V::kTabs));
    for (int page : {0, 1}) {
        tabs->setCurrentIndex(page);
        for (const V::SField& field : V::Fields()) {
            if (field.page != page) {
                continue;
            }
            QString name = QString::fromLatin1(field.label);
            name.chop(1);
            EXPECT_EQ(FindObject(QAccessible::EditableText, name), view->Control(field.id))
                << field.label;
            EXPECT_EQ(FindObject(QAccessible::StaticText, QString::fromLatin1(field.label)),
                      view->Control(field.labelId))
                << field.label;
        }
    }
    QAccessibleInterface* first = Find(QAccessible::EditableText, "First Name");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(QAccessible::Value), "Ann");
}

TEST_F(ContactsViewAccessTest, ButtonsCheckBoxesGroupsAndTabsByCaption) {
    MakeView();
    // Edit toggles: it is presented as a check button.
    EXPECT_EQ(FindObject(QAccessible::CheckBox, "Edit"), view->Control(V::kEdit));
    for (const auto& [name, id] : std::vector<std::pair<const char*, int>>{
             {"New", V::kNew}, {"Del", V::kDel}, {"Save", V::kSave}, {"Cancel", V::kCancel}}) {
        EXPECT_EQ(FindObject(QAccessible::Button, name), view->Control(id)) << name;
    }
    QAccessibleInterface* edit = Find(QAccessible::CheckBox, "Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->state().checkable);
    EXPECT_EQ(FindObject(QAccessible::CheckBox, "1"), view->DefaultButton(1));
    EXPECT_EQ(FindObject(QAccessible::CheckBox, "2"), view->DefaultButton(2));
    EXPECT_EQ(FindObject(QAccessible::CheckBox, "3"), view->DefaultButton(3));
    EXPECT_EQ(FindObject(QAccessible::StaticText, "Default:"), view->Control(V::kDefaultLabel));
    EXPECT_EQ(FindObject(QAccessible::Grouping, "Contact Address"),
              view->Control(V::kContactAddressGroup));
    EXPECT_EQ(FindObject(QAccessible::Grouping, "Phone Number"), view->Control(V::kPhoneGroup));
    EXPECT_NE(Find(QAccessible::PageTab, "Basic"), nullptr);
    EXPECT_NE(Find(QAccessible::PageTab, "Additional Info"), nullptr);
    qobject_cast<QTabWidget*>(view->Control(V::kTabs))->setCurrentIndex(1);
    EXPECT_EQ(FindObject(QAccessible::Grouping, "Address"), view->Control(V::kAddressGroup));
}

// A screen reader toggles Edit through its action, with no click: editing starts as with the
// mouse.
TEST_F(ContactsViewAccessTest, EditsToggleActionStartsAndEndsEditing) {
    Add(1, "Ann", "One");
    MakeView();
    QAccessibleInterface* edit = Find(QAccessible::CheckBox, "Edit");
    ASSERT_NE(edit, nullptr);
    QAccessibleActionInterface* actions = edit->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    auto* first = view->Control(V::kFirstName);
    EXPECT_FALSE(first->isEnabled() && !first->property("readOnly").toBool());
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(edit->state().checked);
    EXPECT_FALSE(first->property("readOnly").toBool()) << "the fields take input";
    EXPECT_FALSE(view->Grid()->isEnabled()) << "the grid waits while editing";
    // The default-address buttons keep exactly one checked, toggled as clicked.
    QAccessibleInterface* second = Find(QAccessible::CheckBox, "2");
    ASSERT_NE(second, nullptr);
    for (int times = 0; times < 2; ++times) {
        second->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_TRUE(view->DefaultButton(2)->isChecked()) << times;
        EXPECT_FALSE(view->DefaultButton(1)->isChecked() || view->DefaultButton(3)->isChecked());
    }
    // Edit waits while editing; Cancel, pressed the same way, ends it.
    QAccessibleInterface* cancel = Find(QAccessible::Button, "Cancel");
    ASSERT_NE(cancel, nullptr);
    cancel->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(300);  // a press is an animated click
    EXPECT_FALSE(edit->state().checked);
    EXPECT_TRUE(first->property("readOnly").toBool());
    EXPECT_TRUE(view->Grid()->isEnabled());
}

TEST_F(ContactsViewAccessTest, TheGridAndTheStatusLineExposeTheirTexts) {
    Add(1, "Ann", "One");
    Add(2, "Ben", "Two");
    MakeView();
    QAccessibleInterface* grid = Find(QAccessible::Table, "Personal Contacts");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->object(), view->Grid()->Table());
    ASSERT_NE(grid->tableInterface(), nullptr);
    EXPECT_EQ(grid->tableInterface()->rowCount(), 2);
    std::vector<QString> cells;
    for (int i = 0; i < grid->childCount(); ++i) {
        cells.push_back(grid->child(i)->text(QAccessible::Name));
    }
    EXPECT_NE(std::find(cells.begin(), cells.end(), "Ben"), cells.end());
    EXPECT_NE(std::find(cells.begin(), cells.end(), "Two"), cells.end());
    EXPECT_NE(std::find(cells.begin(), cells.end(), "First Name"), cells.end());

    QAccessibleInterface* status =
        Find(QAccessible::StaticText, QString::fromLatin1("  1 of 2 Personal Contacts"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->object(), view->Control(V::kStatusLine));
}

TEST_F(ContactsViewAccessTest, TabOrderFollowsTheFormFromTheTopLeft) {
    Add(1, "Ann", "One");
    MakeView();
    view->activateWindow();
    QApplication::processEvents();
    // Every control takes part, as while a contact is edited.
    view->SetFieldsReadOnly(false);
    view->Control(V::kSave)->setEnabled(true);
    view->Control(V::kCancel)->setEnabled(true);
    auto* tabs = qobject_cast<QTabWidget*>(view->Control(V::kTabs));
    QTableView* table = view->Grid()->Table();

    auto walk = [&](int steps) {
        std::vector<QWidget*> seen;
        table->setFocus(Qt::TabFocusReason);
        seen.push_back(QApplication::focusWidget());
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(QApplication::focusWidget());
        }
        return seen;
    };
    auto controls = [&](std::initializer_list<int> ids) {
        std::vector<QWidget*> widgets = {table, view->Control(V::kEdit), view->Control(V::kNew),
                                         view->Control(V::kDel), tabs->tabBar()};
        for (int id : ids) {
            widgets.push_back(view->Control(id));
        }
        widgets.push_back(view->Control(V::kCancel));
        widgets.push_back(view->Control(V::kSave));
        return widgets;
    };
    std::vector<QWidget*> basic = controls(
        {V::kFirstName, V::kLastName, V::kWireless, V::kWorkEmail, V::kHomeEmail, V::kDefault1,
         V::kDefault2, V::kDefault3, V::kHomePhone, V::kWorkPhone, V::kMobilePhone, V::kFax});
    basic.push_back(table);  // and round again
    EXPECT_EQ(walk(static_cast<int>(basic.size()) - 1), basic);
    // The find field comes before the grid.
    QTest::keyClick(table, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), view->Grid()->FindField());

    tabs->setCurrentIndex(1);
    const std::vector<QWidget*> additional =
        controls({V::kCompany, V::kStreet, V::kCity, V::kState, V::kZip, V::kNote});
    EXPECT_EQ(walk(static_cast<int>(additional.size()) - 1), additional);

    // Backwards from Save, and from the first field back over the tabs to Del.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), view->Control(V::kCancel));
    view->Control(V::kCompany)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), tabs->tabBar());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), view->Control(V::kDel));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), table);
}

}  // namespace
}  // namespace orvex::test
