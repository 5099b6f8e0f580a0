#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "app/CsvExport.h"
#include "app/CsvImport.h"
#include "app/ImportStaging.h"
#include "db/SchemaIni.h"
#include "tests/app/CsvTestSupport.h"

namespace orvex::test {
namespace {

constexpr uid_t kNobody = 65534;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A process id that no process has: that of a child that has ended and been reaped.
pid_t DeadProcess() {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

// Runs body in a child process and returns how it ended: its exit status, or 128 and the
// signal that killed it. What body writes to the descriptor it is given comes back in said.
// unprivileged: the child runs as the user nobody when this process runs as root, so that a
// folder of root's that only root may write is read-only for it.
int RunInChild(bool unprivileged, const std::function<int(int out)>& body, std::string& said) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(90);
        }
        _exit(body(fds[1]));
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        said.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Say(int out, const std::string& text) {
    if (write(out, text.data(), text.size()) < 0) {
        _exit(93);
    }
}

// In a child: the import as the command runs it, on a connection of its own to the database.
// 0 imported, 1 not (the details said to out), 92 the database did not open.
int ImportAlone(const std::string& database, const std::string& file, int out) {
    CADODatabase db;
    if (!db.Open(CContactsTable::ConnectionString(database), "", "")) {
        return 92;
    }
    CErrorReport errors;
    CCsvImport import(db, database, errors);
    const bool imported = import.ImportFile(file);
    Say(out, imported ? "" : import.Details());
    std::string ignored;
    import.SafetyCopy().Discard(ignored);
    db.Close();
    return imported ? 0 : 1;
}

// A recording box that also runs onPrompt when the import asks its question: the moment the
// staged file is read.
class CWatchingBox : public CRecordingMessageBox {
  public:
    int Prompt(const std::string& caption, const std::string& text) override {
        if (onPrompt) {
            onPrompt();
        }
        return CRecordingMessageBox::Prompt(caption, text);
    }
    std::function<void()> onPrompt;
};

class CsvStagingTest : public CsvProgramTest {
  protected:
    void SetUp() override {
        CsvProgramTest::SetUp();
        user = dir + "user/";
        std::filesystem::create_directory(user);
    }
    // The small table and a name with a Windows-1252 letter, exported; the file's bytes.
    std::string Exported() {
        Fill();
        AddRow({{"iCID", "6"},
                {"iEIdx", "5"},
                {"iGroup", "0"},
                {"strFName",
                 "Ren\xE9"
                 "e"}});
        std::string error;
        EXPECT_TRUE(CCsvExport::ExportContacts(Db(), dir + "export.csv", error)) << error;
        return Slurp(dir + "export.csv");
    }
    // The table the exported file gives in replace mode.
    std::string Imported(const std::string& bytes) {
        WriteFile("plain.csv", bytes);
        Import(dir + "plain.csv", IDYES);
        EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
        box.shown.clear();
        return Dump();
    }
    void WriteUserFile(const std::string& name, const std::string& bytes) {
        std::ofstream(user + name, std::ios::binary | std::ios::trunc) << bytes;
    }
    // A failed import of path: Error 002 came last, with the details it carried.
    std::string FailedImport(const std::string& path) {
        box.shown.clear();
        Import(path, IDYES);
        const std::vector<std::string> shown = box.Shown();
        EXPECT_FALSE(shown.empty());
        EXPECT_EQ(shown.empty() ? "" : shown.back(), kError002);
        return box.Details(kError002);
    }

    std::string user;  // the user's folder, ending with "/"
};

TEST_F(CsvStagingTest, TheExportComesBackFromAFileOfAnyName) {
    const std::string bytes = Exported();
    const std::string expected = Imported(bytes);
    ASSERT_TRUE(Contains(expected, "Zoe")) << expected;
    // Blanks, "-", a reserved word, letters beyond ASCII, any extension or none, a leading
    // digit, a semicolon, brackets, the staged name itself: none stands bare in a query.
    for (const char* name :
         {"my-contacts.csv", "order.csv", "a b.txt", "kontakte-\xC3\xBC.csv", "select",
          "no extension", "2024 export.dat", "semi;colon.csv", "[x].csv", "contacts.csv"}) {
        SCOPED_TRACE(name);
        WriteUserFile(name, bytes);
        box.shown.clear();
        Import(user + name, IDYES);
        EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace}) << box.Details(kError002);
        EXPECT_EQ(Dump(), expected);
        EXPECT_EQ(Listing(user), std::vector<std::string>{name});
        EXPECT_EQ(Slurp(user + name), bytes);
        EXPECT_TRUE(Staged().empty());
        EXPECT_FALSE(Exists(frame->DatabasePath() + ".bak"));
        std::filesystem::remove(user + name);
    }
}

TEST_F(CsvStagingTest, TheFileIsReadAsACopyInAFolderOfItsOwn) {
    const std::string bytes = Exported();
    const std::string expected = Imported(bytes);
    WriteUserFile("my-contacts.csv", bytes);
    CWatchingBox watching;
    watching.answer = IDYES;
    bool looked = false;
    watching.onPrompt = [&] {
        looked = true;
        const std::vector<std::string> staged = Staged();
        ASSERT_EQ(staged.size(), 1u);
        const std::string prefix =
            std::string(CImportStaging::kPrefix) + std::to_string(getpid()) + "-";
        EXPECT_EQ(staged[0].rfind(prefix, 0), 0u) << staged[0];
        EXPECT_EQ(staged[0].size(), prefix.size() + 6) << staged[0];
        const std::string folder = run + "/" + staged[0] + "/";
        struct stat info {};
        ASSERT_EQ(lstat(folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(info.st_uid, geteuid());
        EXPECT_EQ(Listing(folder), (std::vector<std::string>{"Schema.ini", "contacts.csv"}));
        // A file of its own, neither a link to the user's file nor another name of it.
        ASSERT_EQ(lstat((folder + "contacts.csv").c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_nlink, 1u);
        EXPECT_EQ(Slurp(folder + "contacts.csv"), bytes);
        EXPECT_EQ(
            Slurp(folder + "Schema.ini").rfind("[contacts.csv]\r\nFormat=CSVDelimited\r\n", 0), 0u);
        EXPECT_EQ(Listing(user), std::vector<std::string>{"my-contacts.csv"});
        // A change of the user's file now reaches none of the queries still to come.
        std::ofstream(user + "my-contacts.csv", std::ios::binary | std::ios::in | std::ios::out)
            << "CHANGED";
        EXPECT_EQ(Slurp(folder + "contacts.csv"), bytes);
    };
    CErrorReport::SetMessageBox(&watching);
    chooser.path = user + "my-contacts.csv";
    frame->Action(CMainFrame::kCmdImport)->trigger();
    CErrorReport::SetMessageBox(&box);
    EXPECT_TRUE(looked);
    EXPECT_EQ(watching.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(Dump(), expected);
    EXPECT_TRUE(Staged().empty());
}

TEST_F(CsvStagingTest, AUsersSchemaIniIsNeitherReadNorWritten) {
    const std::string bytes = Exported();
    const std::string expected = Imported(bytes);
    // Sections that would fail the read, for the user's name and for the staged one.
    const std::string own =
        "; mine\r\n[my-contacts.csv]\r\nFormat=FixedLength\r\n[contacts.csv]\r\nCol1=X Blob\r\n";
    WriteUserFile("Schema.ini", own);
    std::filesystem::permissions(user + "Schema.ini", std::filesystem::perms(0640));
    const auto stamp =
        std::filesystem::last_write_time(user + "Schema.ini") - std::chrono::hours(1);
    std::filesystem::last_write_time(user + "Schema.ini", stamp);
    WriteUserFile("my-contacts.csv", bytes);

    Import(user + "my-contacts.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace}) << box.Details(kError002);
    EXPECT_EQ(Dump(), expected);

    WriteUserFile("my-contacts.csv", kHeader + SCsvLine(1, "Ann").Set(8, "9").Text());
    const std::string details = FailedImport(user + "my-contacts.csv");
    EXPECT_TRUE(Contains(details, "DEFAULT_ADDRESS is not 0 to 3")) << details;
    EXPECT_EQ(Dump(), expected);

    EXPECT_EQ(Slurp(user + "Schema.ini"), own);
    EXPECT_EQ(std::filesystem::status(user + "Schema.ini").permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(std::filesystem::last_write_time(user + "Schema.ini"), stamp);
    EXPECT_EQ(Listing(user), (std::vector<std::string>{"Schema.ini", "my-contacts.csv"}));
    EXPECT_TRUE(Staged().empty());
}

TEST_F(CsvStagingTest, AFileInAReadOnlyFolderImports) {
    const std::string bytes = Exported();
    const std::string expected = Imported(bytes);
    // The folders the child needs to pass through, read or write.
    std::filesystem::permissions(dir, std::filesystem::perms(0755));
    const std::string readOnly = dir + "read-only";
    const std::string work = dir + "work";
    const std::string childRun = dir + "child-run";
    std::filesystem::create_directory(readOnly);
    std::ofstream(readOnly + "/my-contacts.csv", std::ios::binary) << bytes;
    std::filesystem::permissions(readOnly, std::filesystem::perms(0555));
    std::filesystem::create_directory(work);
    std::filesystem::create_directory(childRun);
    std::filesystem::permissions(childRun, std::filesystem::perms(0700));
    std::filesystem::copy_file(ORVEX_DEFAULT_DATABASE, work + "/Orvex.mdb");
    if (geteuid() == 0) {
        for (const std::string& path : {work, work + "/Orvex.mdb", childRun}) {
            ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0) << path;
        }
    }

    // The import as the command runs it, in a process that may not write the user's folder.
    auto importAs = [&](const std::string& runtime) {
        return [&, runtime](int out) {
            if (access(readOnly.c_str(), W_OK) == 0) {
                return 91;  // the folder is not read-only for this process
            }
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            CRecordingMessageBox answers;
            answers.answer = IDYES;
            CErrorReport::SetMessageBox(&answers);
            return ImportAlone(work + "/Orvex.mdb", readOnly + "/my-contacts.csv", out);
        };
    };
    std::string said;
    ASSERT_EQ(RunInChild(true, importAs(childRun), said), 0) << said;
    CADODatabase db;
    ASSERT_TRUE(db.Open(CContactsTable::ConnectionString(work + "/Orvex.mdb"), "", ""));
    EXPECT_EQ(DumpTable(db), expected);
    db.Close();
    EXPECT_EQ(Listing(readOnly), std::vector<std::string>{"my-contacts.csv"});
    EXPECT_EQ(Listing(work), std::vector<std::string>{"Orvex.mdb"});
    EXPECT_TRUE(Listing(childRun).empty());

    // Where no staging folder can be made, the details say where and why.
    said.clear();
    EXPECT_EQ(RunInChild(true, importAs(readOnly), said), 1);
    EXPECT_EQ(said, readOnly +
                        "/my-contacts.csv could not be imported: no staging folder can be "
                        "made in " +
                        readOnly + ": " + std::strerror(EACCES) + ".");
    EXPECT_EQ(Listing(readOnly), std::vector<std::string>{"my-contacts.csv"});
    std::filesystem::permissions(readOnly, std::filesystem::perms(0755));
}

TEST_F(CsvStagingTest, EveryFailureTakesItsStagingFolderAlongAndNamesItsCause) {
    const std::string bytes = Exported();
    const std::string before = Imported(bytes);
    ASSERT_EQ(mkfifo((user + "fifo").c_str(), 0600), 0);
    std::ofstream(user + "huge.csv", std::ios::binary) << kHeader;
    std::filesystem::resize_file(user + "huge.csv", CImportStaging::kMaxFileSize + 1);
    WriteUserFile("bad line.csv", kHeader + SCsvLine(1, "Ann").Set(8, "9").Text());
    WriteUserFile("open quote.csv", kHeader + SCsvLine(1, "Ann").Set(21, "\"open").Text());
    const std::string missing = user + "missing.csv";
    const std::pair<std::string, std::string> cases[] = {
        {user + "bad line.csv", "the line of CONTACT_ID 1: DEFAULT_ADDRESS is not 0 to 3."},
        {user + "open quote.csv", "not closed"},
        {missing, "the file cannot be opened: " + std::string(std::strerror(ENOENT)) + "."},
        {user, "it is not a regular file."},
        {user + "fifo", "it is not a regular file."},
        {user + "huge.csv", "it holds " + std::to_string(CImportStaging::kMaxFileSize + 1) +
                                " bytes; a contacts file holds at most " +
                                std::to_string(CImportStaging::kMaxFileSize) + "."},
    };
    for (const auto& [path, cause] : cases) {
        SCOPED_TRACE(path);
        const std::string details = FailedImport(path);
        EXPECT_EQ(details.rfind(path + " could not be imported: ", 0), 0u) << details;
        EXPECT_TRUE(Contains(details, cause)) << details;
        // The text driver's reasons name the user's file, not the staged copy.
        EXPECT_FALSE(Contains(details, CImportStaging::kPrefix)) << details;
        EXPECT_TRUE(Staged().empty());
        EXPECT_EQ(Dump(), before);
        EXPECT_FALSE(Exists(frame->DatabasePath() + ".bak"));
    }

    // The database's own reason, when it refuses the rows.
    ASSERT_TRUE(Db().Execute(std::string("CREATE TRIGGER refuse BEFORE INSERT ON ") +
                             CContactsTable::kTable +
                             " BEGIN SELECT RAISE(ABORT, 'no rows today'); END"));
    WriteUserFile("good.csv", bytes);
    const std::string details = FailedImport(user + "good.csv");
    EXPECT_EQ(details.rfind(user + "good.csv could not be imported: ", 0), 0u) << details;
    EXPECT_TRUE(Contains(details, "no rows today")) << details;
    EXPECT_TRUE(Staged().empty());
    EXPECT_EQ(Dump(), before);
}

TEST_F(CsvStagingTest, ACopyThatCannotBeWrittenSaysWhy) {
    std::string lines = kHeader;
    for (int i = 1; i <= 400; ++i) {
        lines += SCsvLine(i, "N" + std::to_string(i)).Text();
    }
    WriteUserFile("long.csv", lines);
    // A file size limit below the file's size fails the copy's writes as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 8192;
    auto* const oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    CErrorReport errors;
    CCsvImport import(Db(), frame->DatabasePath(), errors);
    const bool imported = import.ImportFile(user + "long.csv");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(imported);
    EXPECT_TRUE(
        Contains(import.Details(), std::string("cannot be written: ") + std::strerror(EFBIG)))
        << import.Details();
    EXPECT_EQ(
        import.Details().rfind(user + "long.csv could not be imported: the copy " + run + "/", 0),
        0u)
        << import.Details();
    EXPECT_TRUE(Staged().empty());
    EXPECT_FALSE(import.SafetyCopy().Exists());
    EXPECT_EQ(Dump(), "");
}

TEST_F(CsvStagingTest, AFolderThatAKilledImportLeftIsRemovedAtTheNextImport) {
    const pid_t dead = DeadProcess();
    const std::string deadPrefix = std::string(CImportStaging::kPrefix) + std::to_string(dead);
    const std::string left = deadPrefix + "-aB3xYz";
    std::filesystem::create_directory(run + "/" + left);
    std::ofstream(run + "/" + left + "/contacts.csv") << kHeader;
    std::ofstream(run + "/" + left + "/Schema.ini") << "[contacts.csv]\r\n";
    // What stays: a running process's folder, names of another form, a link of that form
    // (its target untouched), and another user's folder.
    std::vector<std::string> stays = {
        std::string(CImportStaging::kPrefix) + "1-qwerty",
        std::string(CImportStaging::kPrefix) + std::to_string(getpid()) + "-qwerty",
        deadPrefix + "-short",
        std::string(CImportStaging::kPrefix) + "x-abcdef",
        "other-" + std::to_string(dead) + "-abcdef",
    };
    for (const std::string& name : stays) {
        std::filesystem::create_directory(run + "/" + name);
    }
    std::filesystem::create_directory(dir + "target");
    std::ofstream(dir + "target/keep") << "keep";
    std::filesystem::create_directory_symlink(dir + "target", run + "/" + deadPrefix + "-linked");
    stays.push_back(deadPrefix + "-linked");
    if (geteuid() == 0) {
        const std::string theirs = deadPrefix + "-theirs";
        std::filesystem::create_directory(run + "/" + theirs);
        ASSERT_EQ(chown((run + "/" + theirs).c_str(), kNobody, kNobody), 0);
        stays.push_back(theirs);
    }
    std::sort(stays.begin(), stays.end());

    WriteUserFile("c.csv", kHeader + SCsvLine(1, "Ann").Text());
    Import(user + "c.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(Staged(), stays);
    EXPECT_EQ(Slurp(dir + "target/keep"), "keep");

    // Directly, with the number removed.
    std::filesystem::create_directory(run + "/" + left);
    EXPECT_EQ(CImportStaging::RemoveStale(run), 1);
    EXPECT_EQ(CImportStaging::RemoveStale(run), 0);
    EXPECT_EQ(Staged(), stays);
}

TEST_F(CsvStagingTest, AnImportKilledWhileItRunsLeavesTheUsersFolderAlone) {
    const std::string bytes = Exported();
    const std::string expected = Imported(bytes);
    const std::string own = "[my-contacts.csv]\r\nColNameHeader=False\r\n";
    WriteUserFile("Schema.ini", own);
    WriteUserFile("my-contacts.csv", bytes);
    std::filesystem::copy_file(ORVEX_DEFAULT_DATABASE, dir + "killed.mdb");
    // Killed while the staged file is being read: nothing of the import's own can run after.
    std::string said;
    const int ended = RunInChild(
        false,
        [&](int out) {
            CWatchingBox killing;
            killing.onPrompt = [] { raise(SIGKILL); };
            CErrorReport::SetMessageBox(&killing);
            // Killed at the question: an import that ends is a failure of its own (94).
            const int rc = ImportAlone(dir + "killed.mdb", user + "my-contacts.csv", out);
            return rc == 92 ? 92 : 94;
        },
        said);
    ASSERT_EQ(ended, 128 + SIGKILL);
    const std::vector<std::string> left = Staged();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(Listing(run + "/" + left[0]),
              (std::vector<std::string>{"Schema.ini", "contacts.csv"}));
    EXPECT_EQ(Listing(user), (std::vector<std::string>{"Schema.ini", "my-contacts.csv"}));
    EXPECT_EQ(Slurp(user + "Schema.ini"), own);

    Import(user + "my-contacts.csv", IDYES);
    EXPECT_EQ(box.Shown(), std::vector<std::string>{kReplace});
    EXPECT_EQ(Dump(), expected);
    EXPECT_TRUE(Staged().empty());
    EXPECT_EQ(Slurp(user + "Schema.ini"), own);
}

TEST_F(CsvStagingTest, TheRuntimeFolderElseTheTemporaryFolderHoldsTheStagingFolder) {
    EXPECT_EQ(CImportStaging::BaseFolder(), run);
    setenv("XDG_RUNTIME_DIR", (run + "/").c_str(), 1);
    EXPECT_EQ(CImportStaging::BaseFolder(), run);

    const char* oldTemp = std::getenv("TMPDIR");
    const std::optional<std::string> savedTemp =
        oldTemp ? std::optional<std::string>(oldTemp) : std::nullopt;
    const std::string temp = dir + "temp";
    std::filesystem::create_directory(temp);
    setenv("TMPDIR", temp.c_str(), 1);
    WriteUserFile("c.csv", kHeader);
    const std::string aFile = user + "c.csv";
    for (const char* runtime : {"", "relative/run", "/nonexistent/run", aFile.c_str(),
                                static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(runtime ? runtime : "(unset)");
        if (runtime == nullptr) {
            unsetenv("XDG_RUNTIME_DIR");
        } else {
            setenv("XDG_RUNTIME_DIR", runtime, 1);
        }
        EXPECT_EQ(CImportStaging::BaseFolder(), temp);
        CImportStaging staging;
        std::string error;
        ASSERT_TRUE(staging.Stage(user + "c.csv", "", error)) << error;
        EXPECT_EQ(staging.Folder().rfind(temp + "/" + CImportStaging::kPrefix, 0), 0u);
        EXPECT_EQ(Listing(temp).size(), 1u);
    }
    EXPECT_TRUE(Listing(temp).empty()) << "each staging folder goes with its object";
    if (savedTemp) {
        setenv("TMPDIR", savedTemp->c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

TEST_F(CsvStagingTest, AStagingFolderHoldsTheCopyAndItsDescriptionUntilRemoved) {
    WriteUserFile("c.csv", "a,b\r\n1,2\r\n");
    std::filesystem::create_symlink(user + "c.csv", user + "link.csv");
    CImportStaging staging;
    std::string error;
    // A link the user chose is followed once, when the file is opened.
    ASSERT_TRUE(staging.Stage(user + "link.csv", "Col1=A Char\r\n", error)) << error;
    const std::string first = staging.Folder();
    ASSERT_EQ(first.back(), '/');
    EXPECT_EQ(Slurp(staging.FilePath()), "a,b\r\n1,2\r\n");
    EXPECT_FALSE(std::filesystem::is_symlink(staging.FilePath()));
    EXPECT_EQ(Slurp(first + CSchemaIni::kFileName), "[contacts.csv]\r\nCol1=A Char\r\n");
    // Staging again starts from a new folder.
    ASSERT_TRUE(staging.Stage(user + "c.csv", "", error)) << error;
    EXPECT_NE(staging.Folder(), first);
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(Staged().size(), 1u);
    EXPECT_TRUE(staging.Remove());
    EXPECT_EQ(staging.Folder(), "");
    EXPECT_TRUE(Staged().empty());
    EXPECT_TRUE(staging.Remove());
    // A failed staging leaves no folder.
    EXPECT_FALSE(staging.Stage(user + "none.csv", "", error));
    EXPECT_EQ(error, "the file cannot be opened: " + std::string(std::strerror(ENOENT)));
    EXPECT_EQ(staging.Folder(), "");
    EXPECT_TRUE(Staged().empty());
}

}  // namespace
}  // namespace orvex::test
