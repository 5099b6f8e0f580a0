// The kill sweep: an operation that replaces the contacts runs in a child process of its own
// (the whole program, in a program directory of its own), which is killed with SIGKILL at a
// point spread over the operation. Then the database must be whole and hold either the book of
// before or the complete book of after, never a mix, and a new start of the program in that
// directory must find it so, with what the killed run left taken care of.
//
// ORVEX_KILL_POINTS sets the number of kills of each operation (20 by default); ORVEX_KILL_SEED
// the jitter's seed. Each test prints its counts in a line starting "kill sweep".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/CsvExport.h"
#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/VelkorMgrApp.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "tests/QtTestApp.h"
#include "tests/TestFolder.h"
#include "tests/app/CsvTestSupport.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/SimOnPty.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kDatabase = "Orvex.mdb";
constexpr const char* kImportFile = "book.csv";
constexpr int kImportLines = 3000;
constexpr int kDownloadEntries = 150;

std::string g_self;  // this program, started again as the child

bool HasPrefix(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// --- The child ---------------------------------------------------------------------------------

void Signal(int fd, char c) {
    while (write(fd, &c, 1) < 0 && errno == EINTR) {
    }
}

// The program on its own in dir, the message box answering Yes; `op` runs between the marks
// 'S' (begun) and 'D' (done) written to fd.
int RunChild(const std::string& op, const std::string& dir, int fd) {
    TestApp();
    CRecordingMessageBox box;
    box.answer = IDYES;
    CChosenFile chooser;
    std::unique_ptr<CSimOnPty> pager;
    if (op == "download") {
        pager = std::make_unique<CSimOnPty>();
        if (!pager->IsOpen()) {
            return 10;
        }
        pager->With([](sim::CPagerSim& s) {
            sim::CPagerBook book;
            book.SetCapacity(200);
            for (int n = 1; n <= kDownloadEntries; ++n) {
                sim::SPersonalEntry entry;
                entry.number = static_cast<uint16_t>(n);
                entry.texts[sim::kFirstName] = "Device" + std::to_string(n);
                entry.texts[sim::kLastName] = "Pager";
                entry.texts[sim::kWireless] = "d" + std::to_string(n) + "@wave.example";
                entry.texts[sim::kNote] = std::string(40, static_cast<char>('a' + n % 26));
                book.PutEntry(entry);
            }
            book.PutGroup({301, "Team", {{1, 1}, {2, 1}, {3, 1}}});
            book.PutGroup({302, "Family", {{4, 1}, {5, 1}}});
            s.Device().SetBook(book);
            return 0;
        });
        setenv("ORVEX_COM1", pager->Path().c_str(), 1);
    } else {
        setenv("ORVEX_COM1", "/nonexistent/orvex-tty", 1);
        setenv("XDG_RUNTIME_DIR", (dir + "run").c_str(), 1);
        chooser.path = dir + kImportFile;
    }
    auto app = std::make_unique<CVelkorMgrApp>();
    CErrorReport::SetMessageBox(&box);
    if (!app->InitInstance(dir)) {
        return 11;
    }
    CMainFrame* frame = app->MainFrame();
    frame->SetFileChooser(&chooser);
    int rc = 0;
    if (op == "download") {
        if (!QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 20000)) {
            return 12;
        }
        Signal(fd, 'S');
        frame->Action(CMainFrame::kCmdDownload)->trigger();
        if (!QTest::qWaitFor([&] { return !frame->IsBusy(); }, 120000)) {
            rc = 13;
        }
    } else {
        Signal(fd, 'S');
        frame->Action(CMainFrame::kCmdImport)->trigger();
    }
    Signal(fd, 'D');
    // Only the prompt may have been shown, and for the import the report of the missing port.
    for (const std::string& shown : box.Shown()) {
        std::fprintf(stderr, "child %s: %s\n", op.c_str(), shown.c_str());
        if (shown.find("?") == std::string::npos && !HasPrefix(shown, "Error 301|")) {
            rc = 14;
        }
    }
    app.reset();
    CErrorReport::SetMessageBox(nullptr);
    return rc;
}

// --- Reading a database file without the program ---------------------------------------------

// Every row, all columns as texts, in a fixed order; "integrity" gets PRAGMA integrity_check's
// answer. A hot journal beside the file is rolled back by the opening, as any reader would.
struct SBook {
    bool opened = false;
    std::string integrity;
    std::vector<std::string> rows;
};

SBook ReadBook(const std::string& path) {
    SBook book;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return book;
    }
    book.opened = true;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(st, 0);
            book.integrity += (book.integrity.empty() ? "" : "; ") +
                              std::string(text ? reinterpret_cast<const char*>(text) : "");
        }
    } else {
        book.integrity = sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    if (sqlite3_prepare_v2(db, "select * from t_Contacts order by iGroup, iCID, iEIdx, rowid", -1,
                           &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto* text = sqlite3_column_text(st, c);
                row += (c ? "," : "") +
                       (text ? std::string(reinterpret_cast<const char*>(text)) : "<null>");
            }
            book.rows.push_back(row);
        }
    } else {
        book.opened = false;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return book;
}

bool Execute(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// --- One run of the child ------------------------------------------------------------------------

struct SRun {
    bool started = false;    // 'S' came
    bool finished = false;   // 'D' came before the kill
    bool killed = false;     // the kill reached a running child
    bool committed = false;  // the journal was deleted (the commit) before the kill
    int status = 0;
    double duration = 0;  // seconds from 'S' to 'D' (unkilled run)
    double delay = 0;     // seconds from 'S' to the kill
};

// Starts the child on dir; kills it `delay` seconds after it began the operation, or lets it
// end when delay < 0.
SRun RunOperation(const std::string& op, const std::string& dir, double delay) {
    SRun run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return run;
    }
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // Everything the child needs is made before the fork: it only opens, duplicates and execs.
    const std::string logPath = dir + "child.log";
    const pid_t pid = fork();
    if (pid == 0) {
        if (fds[1] == 3) {
            fcntl(3, F_SETFD, 0);
        } else {
            dup2(fds[1], 3);
        }
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execl(g_self.c_str(), g_self.c_str(), "--kill-child", op.c_str(), dir.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    auto readMark = [&](double seconds) -> char {
        pollfd p{fds[0], POLLIN, 0};
        const auto ns = static_cast<long long>(seconds * 1e9);
        const timespec timeout{static_cast<time_t>(ns / 1000000000),
                               static_cast<long>(ns % 1000000000)};
        if (ppoll(&p, 1, &timeout, nullptr) <= 0) {
            return 0;
        }
        char c = 0;
        return read(fds[0], &c, 1) == 1 ? c : 0;
    };
    if (readMark(60) == 'S') {
        run.started = true;
        inotify_add_watch(watch, dir.c_str(), IN_DELETE);
        const auto begun = Clock::now();
        if (delay < 0) {
            run.finished = readMark(180) == 'D';
            run.duration = std::chrono::duration<double>(Clock::now() - begun).count();
        } else {
            run.finished = readMark(delay) == 'D';
            run.delay = delay;
            run.killed = !run.finished && kill(pid, SIGKILL) == 0;
        }
    } else {
        kill(pid, SIGKILL);
    }
    waitpid(pid, &run.status, 0);
    close(fds[0]);
    // The events of unlinks that happened before the child died.
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && std::string(event->name) == std::string(kDatabase) + "-journal") {
                run.committed = true;
            }
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    return run;
}

// --- The sweep -----------------------------------------------------------------------------------

std::string Names(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) {
        out += (out.empty() ? " (" : ", ") + name;
    }
    return out.empty() ? out : out + ")";
}

// The first eight bytes of a journal, SQLite's magic, are zero until the journal is synced.
bool ZeroMagic(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[8] = {};
    in.read(magic, sizeof magic);
    return in.gcount() == sizeof magic &&
           std::all_of(std::begin(magic), std::end(magic), [](char c) { return c == 0; });
}

int KillPoints() {
    const char* text = std::getenv("ORVEX_KILL_POINTS");
    const int n = text ? std::atoi(text) : 20;
    return n > 0 ? n : 20;
}

class KillSweepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        ASSERT_FALSE(m_folder.Path().empty());
        base = m_folder.Path() + "/";
        templ = base + "template/";
        fs::create_directory(templ);
        fs::copy_file(ORVEX_DEFAULT_DATABASE, templ + kDatabase);
        // The book of before: 60 personal contacts and a group of five.
        std::string sql = "BEGIN;";
        for (int n = 1; n <= 60; ++n) {
            sql +=
                "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strLName, strWAddr, "
                "strGrpOfWAddr, strNote) values (" +
                std::to_string(n) + "," + std::to_string(n) + ",0,'Before" + std::to_string(n) +
                "','Old','b" + std::to_string(n) + "@old.example','" + (n <= 5 ? ";61;" : ";") +
                "','kept from before');";
        }
        sql += "insert into t_Contacts (iCID, iEIdx, iGroup, strFName) values (61,61,1,'OldTeam');";
        sql += "COMMIT;";
        ASSERT_TRUE(Execute(templ + kDatabase, sql));
        before = ReadBook(templ + kDatabase);
        ASSERT_EQ(before.integrity, "ok");
        ASSERT_EQ(before.rows.size(), 61u);
        const char* seed = std::getenv("ORVEX_KILL_SEED");
        rng.seed(seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10))
                      : static_cast<unsigned>(std::random_device{}()));
    }
    void TearDown() override {
        if (::testing::Test::HasFailure() && std::getenv("ORVEX_KILL_KEEP") != nullptr) {
            m_folder.Keep();
        }
    }

    // A fresh program directory for one run, from the template.
    std::string Fresh(const std::string& name) {
        const std::string dir = base + name + "/";
        fs::create_directory(dir);
        for (const auto& entry : fs::directory_iterator(templ)) {
            fs::copy(entry.path(), dir + entry.path().filename().string());
        }
        fs::create_directory(dir + "run");
        fs::permissions(dir + "run", fs::perms::owner_all);
        return dir;
    }

    // The files beside the database that an interrupted run may leave.
    struct SLeft {
        bool safety = false;
        bool journal = false;
        std::vector<std::string> temporary;
    };
    static SLeft Leftovers(const std::string& dir) {
        SLeft left;
        for (const auto& name : Listing(dir)) {
            if (name == std::string(kDatabase) + ".bak") {
                left.safety = true;
            } else if (name == std::string(kDatabase) + "-journal") {
                left.journal = true;
            } else if (HasPrefix(name, std::string(".") + kDatabase + ".")) {
                left.temporary.push_back(name);
            }
        }
        return left;
    }
    static int InterruptedBooks(const std::string& dir) {
        int count = 0;
        for (const auto& name : Listing(dir + "history")) {
            if (name.find("-interrupted") != std::string::npos && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".mdb") == 0) {
                ++count;
            }
        }
        return count;
    }

    // Starts the program again in dir, in this process, and closes it; what it reported.
    std::vector<std::string> Restart(const std::string& dir, bool& opened) {
        setenv("ORVEX_COM1", "/nonexistent/orvex-tty", 1);
        CRecordingMessageBox box;
        box.answer = IDNO;
        auto app = std::make_unique<CVelkorMgrApp>();
        CErrorReport::SetMessageBox(&box);
        opened = app->InitInstance(dir) && app->MainFrame() != nullptr &&
                 app->MainFrame()->Database().IsOpen();
        app.reset();
        CErrorReport::SetMessageBox(nullptr);
        return box.Shown();
    }

    void Sweep(const std::string& op) {
        // One run to its end: the book of after and the operation's duration.
        const std::string whole = Fresh("whole");
        const SRun measured = RunOperation(op, whole, -1);
        ASSERT_TRUE(measured.started && measured.finished && WIFEXITED(measured.status) &&
                    WEXITSTATUS(measured.status) == 0)
            << op << " did not run to its end; see " << whole << "child.log:\n"
            << Slurp(whole + "child.log");
        ASSERT_TRUE(measured.committed);
        const SBook after = ReadBook(whole + kDatabase);
        ASSERT_EQ(after.integrity, "ok");
        ASSERT_EQ(after.rows.size(),
                  op == "import" ? size_t{kImportLines} : size_t{kDownloadEntries + 2});
        ASSERT_FALSE(Leftovers(whole).safety);
        const double duration = measured.duration;

        const int points = KillPoints();
        int killed = 0, finishedFirst = 0, beforeCommit = 0, afterCommit = 0;
        int beforeBooks = 0, afterBooks = 0, lostOrMixed = 0, badIntegrity = 0, badRestart = 0;
        int safetyLeft = 0, journalsLeft = 0, adopted = 0, unplayableLeft = 0;
        int historyTemporary = 0;
        std::uniform_real_distribution<double> jitter(-0.5, 0.5);
        for (int i = 0; i < points; ++i) {
            // Spread over the operation and a little past its end, each with its own jitter.
            const double slot = duration * 1.05 / points;
            const double delay = std::max(0.0, slot * (i + 0.5 + jitter(rng)));
            // A child that never began (on a loaded machine its search for the device can
            // outlast its wait) says nothing about kills: that point is tried again.
            std::string dir;
            SRun run;
            for (int attempt = 0; attempt < 3 && !run.started; ++attempt) {
                dir =
                    Fresh("p" + std::to_string(i) + (attempt ? "-" + std::to_string(attempt) : ""));
                run = RunOperation(op, dir, delay);
            }
            const std::string where = op + " point " + std::to_string(i) + " at " +
                                      std::to_string(delay) + " s of " + std::to_string(duration) +
                                      " s, in " + dir;
            ASSERT_TRUE(run.started) << where << ", the child's status " << run.status << "\n"
                                     << Slurp(dir + "child.log");
            killed += run.killed ? 1 : 0;
            finishedFirst += run.finished ? 1 : 0;
            (run.committed ? afterCommit : beforeCommit) += 1;

            // The files as the kill left them, read from a copy so the start below sees them.
            const SLeft left = Leftovers(dir);
            safetyLeft += left.safety ? 1 : 0;
            journalsLeft += left.journal ? 1 : 0;
            const std::string look = dir + "look/";
            fs::create_directory(look);
            fs::copy_file(dir + kDatabase, look + kDatabase);
            if (left.journal) {
                fs::copy_file(dir + kDatabase + "-journal", look + kDatabase + "-journal");
                if (std::getenv("ORVEX_KILL_KEEP") != nullptr) {
                    fs::copy_file(dir + kDatabase + "-journal", dir + "journal-after-kill");
                }
            }
            const SBook found = ReadBook(look + kDatabase);
            fs::remove_all(look);
            EXPECT_TRUE(found.opened) << where;
            if (found.integrity != "ok") {
                ++badIntegrity;
                ADD_FAILURE() << where << ": integrity " << found.integrity;
            }
            const bool isBefore = found.rows == before.rows;
            const bool isAfter = found.rows == after.rows;
            if (isBefore) {
                ++beforeBooks;
            } else if (isAfter) {
                ++afterBooks;
            } else {
                ++lostOrMixed;
                ADD_FAILURE() << where << ": " << found.rows.size()
                              << " rows, neither the book before nor the book after";
            }
            EXPECT_EQ(isAfter, run.committed) << where << ": the commit and the book disagree";

            // The program starts again there.
            bool opened = false;
            const std::vector<std::string> reports = Restart(dir, opened);
            const SLeft still = Leftovers(dir);
            const int interrupted = InterruptedBooks(dir);
            // The temporary files of a book being kept when the kill came: the restart removes
            // them.
            for (const auto& name : Listing(dir + "history")) {
                historyTemporary += HasPrefix(name, ".") ? 1 : 0;
            }
            adopted += interrupted > 0 ? 1 : 0;
            if (still.journal && std::getenv("ORVEX_KILL_KEEP") != nullptr) {
                fs::copy_file(dir + kDatabase + "-journal", dir + "journal-after-restart");
            }
            // A journal whose magic is still zero (the run was killed before its first sync)
            // can roll nothing back: SQLite does not take it for a hot journal.
            const bool unplayable = still.journal && ZeroMagic(dir + kDatabase + "-journal");
            unplayableLeft += unplayable ? 1 : 0;
            const SBook restarted = ReadBook(dir + kDatabase);
            const bool clean = opened && !still.safety && !still.journal &&
                               still.temporary.empty() && interrupted == (left.safety ? 1 : 0) &&
                               restarted.integrity == "ok" && restarted.rows == found.rows;
            if (!clean) {
                ++badRestart;
                std::string shown;
                for (const auto& r : reports) {
                    shown += "\n  reported: " + r;
                }
                ADD_FAILURE() << where << ": restart not clean: opened " << opened << ", .bak "
                              << still.safety << ", journal " << still.journal << ", temporary "
                              << still.temporary.size() << Names(still.temporary)
                              << ", interrupted books " << interrupted << " (safety copy before "
                              << left.safety << "), integrity " << restarted.integrity
                              << ", same book " << (restarted.rows == found.rows)
                              << (unplayable ? ", the journal left has a zeroed magic" : "")
                              << shown;
            }
            if (!::testing::Test::HasFailure()) {
                fs::remove_all(dir);
            }
        }
        std::printf(
            "kill sweep %s: %d points over %.2f s; killed %d (finished first %d); killed before "
            "the commit %d, after %d; before-book %d, after-book %d, lost or mixed %d; integrity "
            "failures %d, unclean restarts %d; safety copy left %d (taken into the history %d), "
            "journal left %d (still there after the restart, with a zeroed magic: %d); temporary "
            "files left in history/ after the restart %d\n",
            op.c_str(), points, duration, killed, finishedFirst, beforeCommit, afterCommit,
            beforeBooks, afterBooks, lostOrMixed, badIntegrity, badRestart, safetyLeft, adopted,
            journalsLeft, unplayableLeft, historyTemporary);
        std::fflush(stdout);
        EXPECT_EQ(lostOrMixed, 0);
        EXPECT_EQ(badIntegrity, 0);
        EXPECT_EQ(badRestart, 0);
        EXPECT_EQ(historyTemporary, 0);
    }

    std::string base;
    std::string templ;
    SBook before;
    std::mt19937 rng;

  private:
    CTestFolder m_folder{"kill-sweep"};
};

TEST_F(KillSweepTest, ReplaceImportOfALargeFile) {
    std::string text = std::string(CCsvExport::kHeader) + "\r\n";
    // Ten groups of up to ten members each, the rest on their own.
    for (int g = 1; g <= 10; ++g) {
        text += SCsvLine::Group(5000 + g, "Group" + std::to_string(g)).Text();
    }
    for (int n = 1; n <= kImportLines - 10; ++n) {
        const std::string list =
            n <= 100 ? ";" + std::to_string(5000 + (n - 1) / 10 + 1) + ";" : std::string(";");
        text +=
            SCsvLine(n, "P" + std::to_string(n), list).Set(21, "line " + std::to_string(n)).Text();
    }
    std::ofstream(templ + kImportFile, std::ios::binary) << text;
    Sweep("import");
}

TEST_F(KillSweepTest, DownloadFromTheEmulator) {
    Sweep("download");
}

}  // namespace
}  // namespace orvex::test

int main(int argc, char** argv) {
    orvex::test::g_self = std::filesystem::read_symlink("/proc/self/exe").string();
    if (argc == 4 && std::string(argv[1]) == "--kill-child") {
        return orvex::test::RunChild(argv[2], std::string(argv[3]), 3);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
