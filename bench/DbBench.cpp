// The contacts table at 10,000 personal rows: reading and sorting the list, and the
// renumbering of the entry indexes that follows every change in the contacts view and the
// groups dialog, through the recordset and (as the floor) in one statement.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchBook.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace {

using namespace orvex;

constexpr int kRows = 10000;

// One database of kRows contacts for the whole run.
struct SBenchDatabase : bench::CBenchBook {
    SBenchDatabase() : CBenchBook("bench") {
        db.BeginTrans();
        for (int i = 1; i <= kRows; ++i) {
            bench::InsertPersonal(db, i, kRows);
        }
        db.CommitTrans();
    }
};

SBenchDatabase& Database() {
    static SBenchDatabase database;
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

// Renumbers the table once an iteration, from another offset each time, so that every
// iteration rewrites every row.
template <typename Renumber>
void RenumberEach(benchmark::State& state, Renumber renumber) {
    CADODatabase& db = Database().db;
    int offset = 0;
    for (auto _ : state) {
        renumber(db, ++offset);
    }
}

// Every row sorted by name, every iEIdx rewritten through the recordset, in one transaction.
void BM_RenumberWalk(benchmark::State& state) {
    RenumberEach(state, [](CADODatabase& db, int offset) {
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
    });
}
BENCHMARK(BM_RenumberWalk)->Unit(benchmark::kMillisecond);

// The same renumbering as one statement: the floor for the walk.
void BM_RenumberStatement(benchmark::State& state) {
    RenumberEach(state, [](CADODatabase& db, int offset) {
        db.Execute("update t_Contacts set iEIdx = (o.n + " + std::to_string(offset) +
                   ") % 30000 from (select rowid as r, row_number() over (order by strFName "
                   "collate nocase, strLName collate nocase) - 1 as n from t_Contacts) as o "
                   "where t_Contacts.rowid = o.r");
    });
}
BENCHMARK(BM_RenumberStatement)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
