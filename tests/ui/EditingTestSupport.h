#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/ContactEditor.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"
#include "ui/MultiLineEdit.h"

namespace orvex::test {

// One stored row of t_Contacts, read back from the file.
struct SStored {
    bool found = false;
    int id = 0;
    int index = 0;
    int group = 0;
    int byDefault = 0;
    std::string first;
    std::string last;
    std::string wireless;
    std::string groupList;
};

// A contacts view on a shown, active window over a real database file, with its failures
// recorded instead of shown.
class CEditingTest : public CViewTest {
  protected:
    void SetUp() override {
        CViewTest::SetUp();
        CErrorReport::SetMessageBox(&answers);
    }

    void MakeView() {
        CViewTest::MakeView(820, 600);
        view->Editor().SetFailureReport(
            [this](QWidget*, const QString& caption, const QString& text) {
                failures.push_back(caption + QLatin1Char('|') + text);
            });
        view->show();
        view->activateWindow();
        QApplication::processEvents();
    }

    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(view->Control(id)); }
    QWidget* Control(int id) const { return view->Control(id); }
    void Click(int id) const { QTest::mouseClick(Button(id), Qt::LeftButton); }
    QString Text(int id) const { return view->FieldText(id); }
    // Replaces a field's text as the user would: focus, select all, type.
    void Type(int id, const QString& text) const {
        QWidget* edit = Control(id);
        edit->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        if (!text.isEmpty()) {
            QTest::keyClicks(edit, text);
        }
    }
    bool Editing() const { return Button(V::kSave)->isEnabled(); }
    int GridRow() const { return view->Grid()->Row(); }
    int GridRows() const { return view->Grid()->RowCount(); }

    SStored Stored(int id) {
        SStored row;
        CADORecordset rs(&host.database);
        if (!rs.Open(CContactsTable::Format(CContactsTable::kSelectById, id)) ||
            rs.RowCount() != 1) {
            return row;
        }
        rs.MoveFirst();
        row.found = true;
        rs.ReadInt("iCID", row.id);
        rs.ReadInt("iEIdx", row.index);
        rs.ReadInt("iGroup", row.group);
        rs.ReadInt("byDefault", row.byDefault);
        rs.ReadText("strFName", row.first);
        rs.ReadText("strLName", row.last);
        rs.ReadText("strWAddr", row.wireless);
        rs.ReadText("strGrpOfWAddr", row.groupList);
        return row;
    }
    // The first names of the whole table in iEIdx order.
    std::vector<std::string> ByIndex() {
        std::vector<std::string> names;
        CADORecordset rs(&host.database);
        if (rs.Open("select strFName from [t_Contacts] order by iEIdx")) {
            for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
                std::string name;
                rs.ReadText(0, name);
                names.push_back(name);
            }
        }
        return names;
    }
    int TableRows() {
        CADORecordset rs(&host.database);
        return rs.Open(CContactsTable::kTable, CADORecordset::openTable) ? rs.RowCount() : -1;
    }

    using V = CContactsView;
    CAnsweringBox answers;
    std::vector<QString> failures;
};

}  // namespace orvex::test
