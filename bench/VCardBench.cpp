// Import and export of a 10,000-card vCard 3.0 file, end to end as the commands run them,
// and the import's parts on their own (reading, the plan with its preview, storing).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/VCardCommands.h"
#include "app/VCardExport.h"
#include "app/VCardImportPlan.h"
#include "bench/BenchBook.h"
#include "bench/BenchLoop.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/BookHistory.h"
#include "db/ContactsTable.h"
#include "db/SafetyCopy.h"

namespace {

using namespace orvex;

constexpr int kGroups = 20;
constexpr int kPersonal = 10000;  // one card each

// A database of 20 groups of 10 members and 10,000 personal contacts with the usual fields
// filled (names, two addresses, company, phone, street, city, zip, a note), the vCard 3.0 file
// the export makes of it, and a history folder of its own, for the whole run.
class CBenchFiles : public bench::CBenchBook {
  public:
    CBenchFiles()
        : CBenchBook("vcard-bench"), vcf(dir + "contacts.vcf"), history(dir + "history/") {
        std::string error;
        bench::FillBook(db, kGroups + kPersonal, kGroups, kPersonal, 2,
                        "the \"usual\" order; twice");
        int count = 0;
        if (!CVCardExport::ExportContacts(db, vcf, EVCardVersion::kV30, count, error) ||
            count != kPersonal) {
            std::fprintf(stderr, "the vCard file could not be made: %s\n", error.c_str());
            std::abort();
        }
    }

    std::string vcf;
    std::string history;
};

CBenchFiles& Files() {
    static CBenchFiles files;
    return files;
}

// Whether the book holds what the file describes: 10,000 personal contacts, 20 groups, and
// 10 members in each group.
bool BookAsExpected(CADODatabase& db) {
    CADORecordset rs(&db);
    if (!rs.Open("select sum(iGroup=0), sum(iGroup=1), sum(strGrpOfWAddr like '%;%;%') "
                 "from [t_Contacts]",
                 CADORecordset::openQuery) ||
        rs.RowCount() != 1) {
        return false;
    }
    rs.MoveFirst();
    int personal = 0;
    int groups = 0;
    int members = 0;
    return rs.ReadInt(0, personal) && rs.ReadInt(1, groups) && rs.ReadInt(2, members) &&
           personal == kPersonal && groups == kGroups && members == kGroups * 10;
}

// What the command does once the user has chosen to replace: the book kept in the history,
// the safety copy, one transaction around Store, the copy discarded.
bool StoreReplace(CBenchFiles& files, CBookHistory& history, const CVCardImportPlan& plan,
                  std::string& error) {
    if (!history.Keep(files.db, CBookHistory::kImport, "contacts.vcf", error)) {
        return false;
    }
    CSafetyCopy copy(files.database);
    if (!copy.Make(files.db, error)) {
        return false;
    }
    if (!files.db.BeginTrans()) {
        error = files.db.GetErrorDescription();
        return false;
    }
    if (!plan.Store(files.db, error)) {
        files.db.RollbackTrans();
        return false;
    }
    if (!files.db.CommitTrans()) {
        error = files.db.GetErrorDescription();
        files.db.RollbackTrans();
        return false;
    }
    std::string ignored;
    copy.Discard(ignored);
    return true;
}

// The whole import in replace mode, as File > Import vCard runs it: the file read, the plan
// built and the preview made of it (the dialog opens in replace mode here), the plan built
// again for the choice, then stored. Replace mode empties the table and writes the same
// 10,020 rows every time, so every iteration starts from the same book.
void BM_VCardImportReplace(benchmark::State& state) {
    CBenchFiles& files = Files();
    CBookHistory history(files.history);
    std::string error;
    for (auto _ : state) {
        CVCardImportPlan plan;
        if (!plan.Read(files.vcf, error) || !plan.Build(files.db, true, false, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        SVCardPreview preview = CVCardCommands::PreviewOf(plan, "contacts.vcf");
        benchmark::DoNotOptimize(preview);
        if (!plan.Build(files.db, true, false, error) ||
            !StoreReplace(files, history, plan, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    if (!BookAsExpected(files.db)) {
        state.SkipWithError("the book is not what the file describes");
    }
    state.counters["cards"] = kPersonal;
}
BENCHMARK(BM_VCardImportReplace)->Unit(benchmark::kMillisecond);

// A plan of the file built in replace mode, for the benchmarks of what follows the build;
// false (the run skipped) when it cannot be made.
bool BuiltPlan(benchmark::State& state, CVCardImportPlan& plan) {
    CBenchFiles& files = Files();
    std::string error;
    if (!plan.Read(files.vcf, error) || !plan.Build(files.db, true, false, error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    return true;
}

// The import's parts. Reading the file into cards.
void BM_VCardRead(benchmark::State& state) {
    CBenchFiles& files = Files();
    bench::RunEach(state, [&](std::string& error) {
        CVCardImportPlan plan;
        const bool read = plan.Read(files.vcf, error);
        benchmark::DoNotOptimize(plan);
        return read;
    });
}
BENCHMARK(BM_VCardRead)->Unit(benchmark::kMillisecond);

// One Build in replace mode (cards to contacts, every value fitted, groups placed).
void BM_VCardBuild(benchmark::State& state) {
    CBenchFiles& files = Files();
    CVCardImportPlan plan;
    if (std::string error; !plan.Read(files.vcf, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    bench::RunEach(state, [&](std::string& error) {
        const bool built = plan.Build(files.db, true, false, error);
        benchmark::DoNotOptimize(plan);
        return built;
    });
}
BENCHMARK(BM_VCardBuild)->Unit(benchmark::kMillisecond);

// The preview's data of a built plan.
void BM_VCardPreview(benchmark::State& state) {
    CVCardImportPlan plan;
    if (!BuiltPlan(state, plan)) {
        return;
    }
    for (auto _ : state) {
        SVCardPreview preview = CVCardCommands::PreviewOf(plan, "contacts.vcf");
        benchmark::DoNotOptimize(preview);
    }
}
BENCHMARK(BM_VCardPreview)->Unit(benchmark::kMillisecond);

// Storing a built plan: history, safety copy, transaction, Store (delete, 10,020 inserts, the
// renumbering), commit, copy discarded.
void BM_VCardStore(benchmark::State& state) {
    CBenchFiles& files = Files();
    CBookHistory history(files.history);
    CVCardImportPlan plan;
    if (!BuiltPlan(state, plan)) {
        return;
    }
    bench::RunEach(state,
                   [&](std::string& error) { return StoreReplace(files, history, plan, error); });
}
BENCHMARK(BM_VCardStore)->Unit(benchmark::kMillisecond);

// File > Export vCard: the 10,000 personal contacts, in name order, with their groups.
void BM_VCardExport(benchmark::State& state) {
    CBenchFiles& files = Files();
    std::string error;
    for (auto _ : state) {
        int count = 0;
        if (!CVCardExport::ExportContacts(files.db, files.dir + "out.vcf", EVCardVersion::kV30,
                                          count, error) ||
            count != kPersonal) {
            state.SkipWithError(error.empty() ? "not every contact was written" : error.c_str());
            break;
        }
    }
    state.counters["cards"] = kPersonal;
}
BENCHMARK(BM_VCardExport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
