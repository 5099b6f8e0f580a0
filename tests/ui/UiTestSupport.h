#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "tests/QtTestApp.h"
#include "ui/ContactsHost.h"
#include "ui/ContactsView.h"

QT_BEGIN_NAMESPACE
// Readable failures for texts of the widgets.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace orvex::test {

// Records the reports (their captions and texts) and the prompts, which get the chosen answer.
class CAnsweringBox : public IMessageBox {
  public:
    int Report(const std::string& caption, const std::string& text) override {
        reports.push_back(caption);
        texts.push_back(text);
        return IDOK;
    }
    int Prompt(const std::string& caption, const std::string& text) override {
        prompts.push_back(text);
        asked.push_back(caption + "|" + text);
        return answer;
    }

    int answer = IDYES;
    std::vector<std::string> reports;
    std::vector<std::string> texts;
    std::vector<std::string> prompts;  // their texts
    std::vector<std::string> asked;    // "caption|text"
};

// The main window as the contacts view sees it, over a real database file.
class CFakeHost : public IContactsHost {
  public:
    CADODatabase& Database() override { return database; }
    CADORecordset& PersonalRecordset() override { return personal; }
    void SetStatusText(int pane, const std::string& text) override { status[pane] = text; }
    void SetBusy(bool value) override { busy = value; }
    bool IsBusy() const override { return busy; }
    QWidget* NavigationTree() override { return &tree; }
    void SelectTreeRoot() override { ++rootSelections; }
    CErrorReport& Errors() override { return errors; }
    void SetMinTrackSize(int width, int height) override {
        minWidth = width;
        minHeight = height;
    }

    // The database outlives the recordset on it.
    CADODatabase database;
    CADORecordset personal{&database};
    CErrorReport errors;
    std::map<int, std::string> status;
    bool busy = false;
    QWidget tree;
    int rootSelections = 0;
    int minWidth = -1;
    int minHeight = -1;
};

// The fields of one row to insert; empty texts stay null.
struct SContact {
    int id = 0;
    std::string first;
    std::string last;
    int group = 0;
    int byDefault = 0;
    std::map<std::string, std::string> texts;
};

// A real contacts database file in a temporary folder of its own, opened on the host.
class CContactsDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvex-ui-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/Orvex.mdb";
        std::string error;
        ASSERT_TRUE(CContactsTable::CreateEmptyDatabase(path, error)) << error;
        ASSERT_TRUE(host.database.Open(CContactsTable::ConnectionString(path)))
            << host.database.GetLastErrorString();
        box.answer = IDNO;  // nothing here is meant to be confirmed
        CErrorReport::SetMessageBox(&box);
    }
    void TearDown() override {
        CErrorReport::SetMessageBox(nullptr);
        host.personal.Close();
        host.database.Close();
        std::filesystem::remove_all(dir);
    }

    void Add(const SContact& contact) {
        CADORecordset rs(&host.database);
        ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable))
            << rs.GetLastErrorString();
        ASSERT_TRUE(rs.AddNew());
        ASSERT_TRUE(rs.WriteInt("iCID", contact.id));
        ASSERT_TRUE(rs.WriteInt("iEIdx", contact.id));
        ASSERT_TRUE(rs.WriteInt("iGroup", contact.group));
        ASSERT_TRUE(rs.WriteText("strFName", contact.first));
        ASSERT_TRUE(rs.WriteText("strLName", contact.last));
        ASSERT_TRUE(rs.WriteInt("byDefault", contact.byDefault));
        for (const auto& [column, text] : contact.texts) {
            ASSERT_TRUE(rs.WriteText(column, text)) << column;
        }
        ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
    }
    // A group: a row with iGroup 1, its name in the first-name column.
    void Group(int id, const std::string& name) {
        SContact group;
        group.id = id;
        group.first = name;
        group.group = 1;
        Add(group);
    }
    void Add(int id, const std::string& first, const std::string& last = "", int byDefault = 0) {
        SContact contact;
        contact.id = id;
        contact.first = first;
        contact.last = last;
        contact.byDefault = byDefault;
        Add(contact);
    }
    // Opens the personal recordset as the main window does at start-up.
    void OpenPersonal() {
        ASSERT_TRUE(host.personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery))
            << host.personal.GetLastErrorString();
    }

    // First, so that the application exists before any widget of the fixture.
    QApplication& app = TestApp();
    std::string dir;
    std::string path;
    CFakeHost host;
    CAnsweringBox box;
};

// A contacts view over the test database, set up as the main window sets it up.
class CViewTest : public CContactsDbTest {
  protected:
    void TearDown() override {
        view.reset();
        CContactsDbTest::TearDown();
    }
    void MakeView(int width, int height) {
        OpenPersonal();
        view = std::make_unique<CContactsView>(host);
        view->resize(width, height);
        view->InitialUpdate();
    }
    // Twelve contacts, inserted out of order: the view sorts them.
    void AddTwelve() {
        const char* names[] = {"Lena", "Bob", "Carl", "Abe", "Kim", "Dora",
                               "Fay",  "Gus", "Hal",  "Ivy", "Jon", "Eve"};
        int id = 1;
        for (const char* name : names) {
            Add(id++, name, "Smith");
        }
    }

    std::unique_ptr<CContactsView> view;
};

}  // namespace orvex::test
