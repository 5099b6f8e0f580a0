// Export and import of a 10,000-line comma-delimited contacts file, side by side with the
// sqlite3 command-line program doing the same work its own way: ".import" of the same file
// into a fresh table, and "-csv" output of the same table.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/CsvExport.h"
#include "app/CsvImport.h"
#include "bench/BenchBook.h"
#include "bench/BenchLoop.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"

extern char** environ;

namespace {

using namespace orvex;

constexpr int kGroups = 20;
constexpr int kLines = 10000;

// Replace, every time.
class CAnswerYes : public IMessageBox {
  public:
    int Report(const std::string&, const std::string&) override { return IDOK; }
    int Prompt(const std::string&, const std::string&) override { return IDYES; }
};

// A database of 20 groups and 9,980 personal contacts (some in groups, some with quoted
// fields), and the file the export makes of it, for the whole run.
class CBenchFiles : public bench::CBenchBook {
  public:
    CBenchFiles() : CBenchBook("csv-bench"), csv(dir + "contacts.csv") {
        std::string error;
        bench::FillBook(db, kLines, kGroups, kLines, 3, "the \"usual\" order");
        CCsvExport::ExportContacts(db, csv, error);
        CErrorReport::SetMessageBox(&yes);
    }
    ~CBenchFiles() { CErrorReport::SetMessageBox(nullptr); }

    std::string csv;
    CAnswerYes yes;
};

CBenchFiles& Files() {
    static CBenchFiles files;
    return files;
}

// Runs a program with its standard output going to a file; its exit status.
int Run(const std::vector<std::string>& args, const std::string& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

// The whole import in replace mode, as the Import command runs it after the dialog.
void BM_ImportReplace(benchmark::State& state) {
    CBenchFiles& files = Files();
    CErrorReport errors;
    for (auto _ : state) {
        CCsvImport import(files.db, files.database, errors);
        const bool ok = import.ImportFile(files.dir + "contacts.csv");
        std::string ignored;
        import.SafetyCopy().Discard(ignored);
        if (!ok) {
            state.SkipWithError(import.Error().c_str());
            break;
        }
    }
}
BENCHMARK(BM_ImportReplace)->Unit(benchmark::kMillisecond);

// sqlite3 ".import" of the same file into a fresh table of a fresh database.
void BM_Sqlite3Import(benchmark::State& state) {
    CBenchFiles& files = Files();
    const std::string fresh = files.dir + "fresh.db";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(fresh);
        state.ResumeTiming();
        if (Run({"sqlite3", fresh, ".import --csv " + files.csv + " t_Import"}, "/dev/null") != 0) {
            state.SkipWithError("sqlite3 failed");
            break;
        }
    }
}
BENCHMARK(BM_Sqlite3Import)->Unit(benchmark::kMillisecond);

void BM_Export(benchmark::State& state) {
    CBenchFiles& files = Files();
    bench::RunEach(state, [&](std::string& error) {
        return CCsvExport::ExportContacts(files.db, files.dir + "out.csv", error);
    });
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// sqlite3 -csv of the same table, in the same order, with a header line.
void BM_Sqlite3Csv(benchmark::State& state) {
    CBenchFiles& files = Files();
    for (auto _ : state) {
        if (Run({"sqlite3", "-csv", "-header", files.database,
                 "select * from t_Contacts order by iCID"},
                files.dir + "sqlite3.csv") != 0) {
            state.SkipWithError("sqlite3 failed");
            break;
        }
    }
}
BENCHMARK(BM_Sqlite3Csv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
