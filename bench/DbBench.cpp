// The contacts table at 10,000 personal rows: reading and sorting the list, and the
// renumbering of the entry indexes that follows every change in the contacts view and the
// groups dialog, through the recordset and (as the floor) in one statement.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace {

using namespace orvex;

constexpr int kRows = 10000;

// One database of kRows contacts for the whole run.
class CBenchDatabase {
  public:
    CBenchDatabase() {
        char pattern[] = "/tmp/orvex-bench-XXXXXX";
        m_dir = mkdtemp(pattern);
        const std::string path = m_dir + "/Orvex.mdb";
        std::string error;
        CContactsTable::CreateEmptyDatabase(path, error);
        db.Open(CContactsTable::ConnectionString(path));
        db.BeginTrans();
        for (int i = 1; i <= kRows; ++i) {
            // Names in an order unlike the identifiers, so the sort has work to do.
            const int k = (i * 7919) % kRows;
            db.Execute(
                "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strLName, "
                "strWAddr, strHPhone) values (" +
                std::to_string(i) + ", " + std::to_string(i) + ", 0, 'First" +
                std::to_string(k % 997) + "', 'Last" + std::to_string(k) + "', 'p" +
                std::to_string(i) + "@pager.example', '555-" + std::to_string(1000 + i % 9000) +
                "')");
        }
        db.CommitTrans();
    }
    ~CBenchDatabase() {
        db.Close();
        std::filesystem::remove_all(m_dir);
    }
    CADODatabase db;

  private:
    std::string m_dir;
};

CBenchDatabase& Database() {
    static CBenchDatabase database;
    return database;
}

void BM_OpenAndSortPersonal(benchmark::State& state) {
    CADODatabase& db = Database().db;
    for (auto _ : state) {
        CADORecordset rs(&db);
        rs.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery);
        rs.SortBy(CContactsTable::kSortByName);
        benchmark::DoNotOptimize(rs.RowCount());
    }
}
BENCHMARK(BM_OpenAndSortPersonal)->Unit(benchmark::kMillisecond);

// Every row sorted by name, every iEIdx rewritten through the recordset, in one transaction.
void BM_RenumberWalk(benchmark::State& state) {
    CADODatabase& db = Database().db;
    int offset = 0;
    for (auto _ : state) {
        ++offset;
        db.BeginTrans();
        CADORecordset rs(&db);
        rs.Open(CContactsTable::kTable, CADORecordset::openTable);
        rs.SortBy(CContactsTable::kSortByName);
        int index = 0;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            rs.Edit();
            rs.WriteInt("iEIdx", (index++ + offset) % 30000);
            rs.Update();
        }
        rs.Close();
        db.CommitTrans();
    }
}
BENCHMARK(BM_RenumberWalk)->Unit(benchmark::kMillisecond);

// The same renumbering as one statement: the floor for the walk.
void BM_RenumberStatement(benchmark::State& state) {
    CADODatabase& db = Database().db;
    int offset = 0;
    for (auto _ : state) {
        ++offset;
        db.Execute("update t_Contacts set iEIdx = (o.n + " + std::to_string(offset) +
                   ") % 30000 from (select rowid as r, row_number() over (order by strFName "
                   "collate nocase, strLName collate nocase) - 1 as n from t_Contacts) as o "
                   "where t_Contacts.rowid = o.r");
    }
}
BENCHMARK(BM_RenumberStatement)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
