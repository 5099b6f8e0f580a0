#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/ActingRunner.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/GroupNameDlg.h"
#include "ui/GroupsDlg.h"

namespace orvex::test {

// Answers the name dialogs of a groups dialog as they come up, one action each; a dialog
// beyond the list is cancelled. It stands in for the user while it lives.
class CNameDialogDriver {
  public:
    using Action = std::function<void(CGroupNameDlg&)>;
    CNameDialogDriver(CGroupsDlg& groups, std::vector<Action> actions)
        : m_groups(groups), m_actions(std::move(actions)) {
        m_runner.act = [this](QDialog& run) {
            auto* dialog = qobject_cast<CGroupNameDlg*>(&run);
            if (!dialog) {
                ADD_FAILURE() << "not the group name dialog: " << run.windowTitle().toStdString();
                return;
            }
            shown.push_back(dialog->NameEdit()->text());
            if (m_next < m_actions.size()) {
                m_actions[m_next++](*dialog);
            }
        };
        m_groups.SetDialogRunner(&m_runner);
    }
    ~CNameDialogDriver() { m_groups.SetDialogRunner(nullptr); }
    CNameDialogDriver(const CNameDialogDriver&) = delete;
    CNameDialogDriver& operator=(const CNameDialogDriver&) = delete;

    // The text each dialog showed when it came up.
    std::vector<QString> shown;

  private:
    CGroupsDlg& m_groups;
    std::vector<Action> m_actions;
    size_t m_next = 0;
    CActingRunner m_runner;
};

// Types the text into the name edit and presses Enter (the default button, OK).
inline CNameDialogDriver::Action Type(const QString& text) {
    return [text](CGroupNameDlg& dialog) {
        QTest::keyClicks(dialog.NameEdit(), text);
        QTest::keyClick(dialog.NameEdit(), Qt::Key_Return);
    };
}
// Puts the text in place of the edit's (as a paste does: the test keyboard types ASCII only)
// and presses Enter.
inline CNameDialogDriver::Action Replace(const QString& text) {
    return [text](CGroupNameDlg& dialog) {
        dialog.NameEdit()->clear();
        dialog.NameEdit()->insert(text);
        QTest::keyClick(dialog.NameEdit(), Qt::Key_Return);
    };
}
inline CNameDialogDriver::Action Escape() {
    return [](CGroupNameDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); };
}

// A groups dialog over the test database, its reports and prompts answered by answers.
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
        ChooseAndPress(dialog->AllContacts(), CGroupsDlg::kAddToGroup, first, address);
    }
    void Leave(const QString& address) { Leave({}, address); }
    void Leave(const QString& first, const QString& address) {
        ChooseAndPress(dialog->Members(), CGroupsDlg::kRemoveFromGroup, first, address);
    }
    void ChooseAndPress(QTableWidget* list, int arrow, const QString& first,
                        const QString& address) {
        const int row = RowOf(list, address, first);
        ASSERT_GE(row, 0) << address.toStdString();
        list->clearSelection();
        list->selectRow(row);
        ASSERT_TRUE(Button(arrow)->isEnabled());
        Button(arrow)->click();
    }

    CAnsweringBox answers;
    std::unique_ptr<CGroupsDlg> dialog;
};

}  // namespace orvex::test
