// The contacts view's Save of an edited contact and its Del, each from the click to the
// reloaded grid (write, renumbering of every row, re-read), in a table of 10,000 contacts.
#include <benchmark/benchmark.h>

#include <QPushButton>
#include <QWidget>
#include <string>

#include "bench/BenchBook.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "tests/QtTestApp.h"
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
    CBenchHost() : book("editbench") {
        book.db.BeginTrans();
        for (int i = 1; i <= kRows; ++i) {
            Insert(i);
        }
        book.db.CommitTrans();
        personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery);
    }
    ~CBenchHost() override { personal.Close(); }
    CBenchHost(const CBenchHost&) = delete;
    CBenchHost& operator=(const CBenchHost&) = delete;

    void Insert(int id) { bench::InsertPersonal(book.db, id, kRows); }

    CADODatabase& Database() override { return book.db; }
    CADORecordset& PersonalRecordset() override { return personal; }
    void SetStatusText(int, const std::string&) override {}
    void SetBusy(bool value) override { busy = value; }
    bool IsBusy() const override { return busy; }
    QWidget* NavigationTree() override { return &tree; }
    void SelectTreeRoot() override {}
    CErrorReport& Errors() override { return errors; }
    void SetMinTrackSize(int, int) override {}

    bench::CBenchBook book;
    CADORecordset personal{&book.db};
    CErrorReport errors;
    bool busy = false;
    QWidget tree;
};

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
    test::TestApp();
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
    test::TestApp();
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
