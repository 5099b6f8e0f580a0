// The contacts view's Save of an edited contact and its Del, each from the click to the
// reloaded grid (write, renumbering of every row, re-read), in a table of 10,000 contacts.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "ui/ContactsHost.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"

namespace {

using namespace orvex;

constexpr int kRows = 10000;

// Says Yes to the deletion prompt and swallows reports.
class CYesBox : public IMessageBox {
  public:
    int Report(const std::string&, const std::string&) override { return IDOK; }
    int Prompt(const std::string&, const std::string&) override { return IDYES; }
};

// The main window as the view sees it, over a database file of kRows contacts.
class CBenchHost : public IContactsHost {
  public:
    CBenchHost() {
        char pattern[] = "/tmp/orvex-editbench-XXXXXX";
        m_dir = mkdtemp(pattern);
        const std::string path = m_dir + "/Orvex.mdb";
        std::string error;
        CContactsTable::CreateEmptyDatabase(path, error);
        database.Open(CContactsTable::ConnectionString(path));
        database.BeginTrans();
        for (int i = 1; i <= kRows; ++i) {
            Insert(i);
        }
        database.CommitTrans();
        personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery);
    }
    ~CBenchHost() override {
        personal.Close();
        database.Close();
        std::filesystem::remove_all(m_dir);
    }
    CBenchHost(const CBenchHost&) = delete;
    CBenchHost& operator=(const CBenchHost&) = delete;

    void Insert(int id) {
        // Names in an order unlike the identifiers, so the sort has work to do.
        const int k = (id * 7919) % kRows;
        database.Execute(
            "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strLName, strWAddr, "
            "strHPhone) values (" +
            std::to_string(id) + ", " + std::to_string(id) + ", 0, 'First" +
            std::to_string(k % 997) + "', 'Last" + std::to_string(k) + "', 'p" +
            std::to_string(id) + "@pager.example', '555-" + std::to_string(1000 + id % 9000) +
            "')");
    }

    CADODatabase& Database() override { return database; }
    CADORecordset& PersonalRecordset() override { return personal; }
    void SetStatusText(int, const std::string&) override {}
    void SetBusy(bool value) override { busy = value; }
    bool IsBusy() const override { return busy; }
    QWidget* NavigationTree() override { return &tree; }
    void SelectTreeRoot() override {}
    CErrorReport& Errors() override { return errors; }
    void SetMinTrackSize(int, int) override {}

    CADODatabase database;
    CADORecordset personal{&database};
    CErrorReport errors;
    bool busy = false;
    QWidget tree;

  private:
    std::string m_dir;
};

QApplication& App() {
    static int argc = 1;
    static char name[] = "edit_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

struct SFixture {
    SFixture() : view(host) {
        view.resize(820, 600);
        view.InitialUpdate();
        CErrorReport::SetMessageBox(&box);
    }
    ~SFixture() { CErrorReport::SetMessageBox(nullptr); }
    QPushButton* Button(int id) { return static_cast<QPushButton*>(view.Control(id)); }

    CYesBox box;
    CBenchHost host;
    CContactsView view;
};

void BM_SaveEditedContact(benchmark::State& state) {
    App();
    SFixture f;
    f.view.Grid()->SetRow(kRows / 2);
    f.view.ShowCurrentContact();
    int n = 0;
    for (auto _ : state) {
        f.Button(CContactsView::kEdit)->click();
        f.view.SetFieldText(CContactsView::kLastName, QString::number(++n % 2 ? 1 : 2));
        f.Button(CContactsView::kSave)->click();
    }
    if (f.host.personal.RowCount() != kRows || f.host.busy) {
        state.SkipWithError("the save did not go through");
    }
}
BENCHMARK(BM_SaveEditedContact)->Unit(benchmark::kMillisecond);

void BM_DeleteContact(benchmark::State& state) {
    App();
    SFixture f;
    int next = kRows + 1;
    for (auto _ : state) {
        state.PauseTiming();
        // Keep the table at its size: one row in for the one the click takes out.
        f.host.Insert(next++);
        f.view.SetRememberedRow(kRows / 2);
        f.view.ReloadContacts();
        state.ResumeTiming();
        f.Button(CContactsView::kDel)->click();
    }
    if (f.host.personal.RowCount() != kRows) {
        state.SkipWithError("the delete did not go through");
    }
}
BENCHMARK(BM_DeleteContact)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
