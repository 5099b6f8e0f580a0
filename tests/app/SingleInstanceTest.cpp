// One copy of the program per program directory: the lock and the raise request in one test
// process, then the real program started as separate processes.
#include "app/SingleInstance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/QtTestApp.h"
#include "tests/app/ProgramTestSupport.h"

extern char** environ;

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using ERole = CSingleInstance::ERole;

std::string MakeTempDir(const char* label) {
    std::string pattern = std::string("/tmp/orvex-") + label + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        return {};
    }
    return pattern + "/";
}

// Puts an environment variable back as it was when the test began.
class CSavedVariable {
  public:
    explicit CSavedVariable(const char* name) : m_name(name) {
        const char* value = getenv(name);
        m_had = value != nullptr;
        m_value = value ? value : "";
    }
    ~CSavedVariable() {
        if (m_had) {
            setenv(m_name, m_value.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    bool m_had = false;
    std::string m_value;
};

// A socket that is bound to `path` and then closed: what a killed copy leaves behind.
bool LeaveStaleSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

// Whether something accepts connections at `path`.
bool Answers(const std::string& path) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(path));
    return socket.waitForConnected(1000);
}

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        runtime = MakeTempDir("single-run");
        program = MakeTempDir("single-home");
        ASSERT_FALSE(runtime.empty());
        ASSERT_FALSE(program.empty());
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        fs::remove_all(runtime);
        fs::remove_all(program);
    }

    CSavedVariable savedRuntime{"XDG_RUNTIME_DIR"};
    std::string runtime;
    std::string program;
    std::string error;
};

TEST_F(SingleInstanceTest, ALaterStartIsNotPrimaryAndRaisesTheFirst) {
    CSingleInstance first(program);
    ASSERT_EQ(first.Claim(error), ERole::Primary) << error;
    EXPECT_EQ(error, "");
    const CSingleInstance::SPlaces& places = first.Places();
    EXPECT_EQ(fs::path(places.lockFile).parent_path(), fs::path(runtime).parent_path());
    EXPECT_EQ(fs::path(places.socket).parent_path(), fs::path(runtime).parent_path());
    EXPECT_TRUE(fs::is_socket(places.socket));
    EXPECT_EQ(
        fs::status(places.socket).permissions() & (fs::perms::group_all | fs::perms::others_all),
        fs::perms::none);
    const std::string uid = std::to_string(geteuid());
    EXPECT_NE(fs::path(places.socket).filename().string().find("orvex-manager-" + uid + "-"),
              std::string::npos);

    QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
    CSingleInstance second(program);
    ASSERT_EQ(second.Claim(error), ERole::Secondary) << error;
    EXPECT_EQ(second.Places().socket, places.socket);
    ASSERT_TRUE(second.RequestRaise(2000, error)) << error;
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised.count() == 1; }, 10000));
    EXPECT_EQ(second.Role(), ERole::Secondary);

    const std::string other = MakeTempDir("single-other");
    CSingleInstance third(other);
    EXPECT_EQ(third.Claim(error), ERole::Primary) << error;
    EXPECT_NE(third.Places().socket, places.socket);
    EXPECT_NE(third.Places().lockFile, places.lockFile);
    // No more raises than requests: the third copy's start asked no one.
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 1);
    fs::remove_all(other);
}

TEST_F(SingleInstanceTest, EveryNameOfTheFolderIsTheSameProgram) {
    CSingleInstance first(program);
    ASSERT_EQ(first.Claim(error), ERole::Primary) << error;
    const std::string link = runtime + "home-link";
    fs::create_directory_symlink(program, link);
    const std::string base = program.substr(0, program.size() - 1);
    const std::string dotted =
        base + "/../" + fs::path(base).filename().string() + "/./";  // "/tmp/x/../x/./"
    for (const std::string& name : {link, link + "/", dotted, base}) {
        CSingleInstance again(name);
        EXPECT_EQ(again.Claim(error), ERole::Secondary) << name;
    }
}

TEST_F(SingleInstanceTest, TheEndOfThePrimaryFreesTheNameAndTheLock) {
    CSingleInstance::SPlaces places;
    {
        CSingleInstance first(program);
        ASSERT_EQ(first.Claim(error), ERole::Primary) << error;
        places = first.Places();
    }
    EXPECT_FALSE(fs::exists(places.socket));
    // The lock file stays: removing it could let two copies lock two different files.
    EXPECT_TRUE(fs::is_regular_file(places.lockFile));
    CSingleInstance next(program);
    EXPECT_EQ(next.Claim(error), ERole::Primary) << error;
}

TEST_F(SingleInstanceTest, AChildProcessOfThePrimaryDoesNotKeepTheLock) {
    pid_t child = -1;
    {
        CSingleInstance first(program);
        ASSERT_EQ(first.Claim(error), ERole::Primary) << error;
        // What the help's browser would be: started by the primary, outliving it.
        char sleeper[] = "/bin/sleep";
        char seconds[] = "60";
        char* argv[] = {sleeper, seconds, nullptr};
        ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ), 0);
    }
    // The child drops the lock only as its exec completes, which may be just after the spawn
    // returned: allow for that moment, not for a child that keeps it.
    bool primary = false;
    for (int tries = 0; !primary && tries < 100; ++tries) {
        CSingleInstance next(program);
        primary = next.Claim(error) == ERole::Primary;
        if (!primary) {
            usleep(20000);
        }
    }
    EXPECT_TRUE(primary);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST_F(SingleInstanceTest, AStaleSocketIsReplacedByTheLockHolder) {
    CSingleInstance::SPlaces places;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(program, places, error)) << error;
    ASSERT_TRUE(LeaveStaleSocket(places.socket));
    ASSERT_FALSE(Answers(places.socket));

    CSingleInstance first(program);
    ASSERT_EQ(first.Claim(error), ERole::Primary) << error;
    EXPECT_EQ(error, "");
    QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
    CSingleInstance second(program);
    ASSERT_EQ(second.Claim(error), ERole::Secondary);
    EXPECT_TRUE(second.RequestRaise(2000, error)) << error;
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised.count() == 1; }, 10000));
}

TEST_F(SingleInstanceTest, ALaterStartWaitsForAPrimaryThatIsStillStarting) {
    CSingleInstance::SPlaces places;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(program, places, error)) << error;
    // A primary between taking the lock and listening: its lock, no socket yet.
    const int held = open(places.lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    CSingleInstance second(program);
    ASSERT_EQ(second.Claim(error), ERole::Secondary) << error;
    EXPECT_FALSE(second.RequestRaise(300, error));
    EXPECT_NE(error.find("does not answer"), std::string::npos) << error;
    EXPECT_EQ(second.Role(), ERole::Secondary);
    EXPECT_FALSE(fs::exists(places.socket));

    // The primary begins to listen while the later start is trying.
    std::string received;
    std::thread primary([&] {
        usleep(400000);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, places.socket.c_str(), sizeof address.sun_path - 1);
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 4) != 0) {
            close(fd);
            return;
        }
        pollfd waiting{fd, POLLIN, 0};
        const int client = poll(&waiting, 1, 15000) == 1 ? accept(fd, nullptr, nullptr) : -1;
        char buffer[64];
        ssize_t n;
        while (client >= 0 && (n = read(client, buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<size_t>(n));
        }
        if (client >= 0) {
            close(client);
        }
        close(fd);
    });
    const bool delivered = second.RequestRaise(10000, error);
    primary.join();
    EXPECT_TRUE(delivered) << error;
    EXPECT_EQ(received, "raise\n");
    EXPECT_EQ(second.Role(), ERole::Secondary);

    // The primary ends before answering: the later start takes its place.
    CSingleInstance third(program);
    ASSERT_EQ(third.Claim(error), ERole::Secondary) << error;
    close(held);
    error.clear();
    EXPECT_FALSE(third.RequestRaise(10000, error));
    EXPECT_EQ(third.Role(), ERole::Primary);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(Answers(places.socket));
}

TEST_F(SingleInstanceTest, ALockFileThatIsNoFileLeavesTheProgramUnchecked) {
    CSingleInstance::SPlaces places;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(program, places, error)) << error;
    const std::string target = runtime + "elsewhere";
    fs::create_symlink(target, places.lockFile);
    CSingleInstance first(program);
    EXPECT_EQ(first.Claim(error), ERole::Unchecked);
    EXPECT_NE(error.find(places.lockFile), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(target));  // the link was not followed

    fs::remove(places.lockFile);
    fs::create_directory(places.lockFile);
    CSingleInstance second(program);
    EXPECT_EQ(second.Claim(error), ERole::Unchecked);
}

TEST_F(SingleInstanceTest, OnlyAPrivateFolderOfOursIsUsed) {
    const std::string created = runtime + "a/";
    ASSERT_TRUE(CSingleInstance::EnsurePrivateFolder(created, error)) << error;
    struct stat info {};
    ASSERT_EQ(lstat(created.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(CSingleInstance::EnsurePrivateFolder(created, error)) << error;

    const std::string open = runtime + "b";
    fs::create_directory(open);
    chmod(open.c_str(), 0755);
    EXPECT_FALSE(CSingleInstance::EnsurePrivateFolder(open, error));
    EXPECT_NE(error.find("0755"), std::string::npos) << error;

    const std::string link = runtime + "c";
    fs::create_directory_symlink(created, link);
    EXPECT_FALSE(CSingleInstance::EnsurePrivateFolder(link, error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;

    const std::string file = runtime + "d";
    std::ofstream(file) << "x";
    EXPECT_FALSE(CSingleInstance::EnsurePrivateFolder(file, error));

    if (geteuid() == 0) {
        const std::string foreign = runtime + "e";
        fs::create_directory(foreign);
        chmod(foreign.c_str(), 0700);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(CSingleInstance::EnsurePrivateFolder(foreign, error));
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
    }
}

TEST_F(SingleInstanceTest, WithoutAUsableRuntimeFolderThePrivateTmpFolderIsUsed) {
    const std::string fallback = "/tmp/orvex-manager-" + std::to_string(geteuid()) + "/";
    std::string folder;
    for (const char* value : {"", "relative/run", "/nonexistent/orvex-run"}) {
        setenv("XDG_RUNTIME_DIR", value, 1);
        if (CSingleInstance::RuntimeFolder(folder, error)) {
            EXPECT_EQ(folder, fallback) << value;
        } else {
            EXPECT_NE(error.find(fallback.substr(0, fallback.size() - 1)), std::string::npos);
        }
    }
    unsetenv("XDG_RUNTIME_DIR");
    if (CSingleInstance::RuntimeFolder(folder, error)) {
        EXPECT_EQ(folder, fallback);
    }
    // A runtime folder too deep for a socket address.
    std::string deep = runtime;
    while (deep.size() < 100) {
        deep += "deeper/";
    }
    fs::create_directories(deep);
    setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    CSingleInstance::SPlaces places;
    if (CSingleInstance::LocatePlaces(program, places, error)) {
        EXPECT_EQ(places.socket.rfind(fallback, 0), 0u) << places.socket;
    }
}

// A pseudo-terminal whose slave side is a copy's COM1: the port opens without an error box,
// and the first bytes the program sends there say that its window is up.
class CTestPort {
  public:
    CTestPort() {
        char name[128];
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            fcntl(m_master, F_SETFD, FD_CLOEXEC);
            fcntl(m_slave, F_SETFD, FD_CLOEXEC);
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
            m_path = name;
        }
    }
    ~CTestPort() {
        if (m_master >= 0) {
            close(m_master);
            close(m_slave);
        }
    }
    const std::string& Path() const { return m_path; }
    // Forgets what was sent so far.
    void Drain() {
        char buffer[256];
        while (read(m_master, buffer, sizeof buffer) > 0) {
        }
    }
    bool WaitForBytes(int ms) {
        pollfd waiting{m_master, POLLIN, 0};
        const bool arrived = poll(&waiting, 1, ms) == 1 && (waiting.revents & POLLIN);
        Drain();
        return arrived;
    }

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// One started copy of the real program, its standard error collected; killed at the end of
// the test whatever happened.
class CProgramProcess {
  public:
    CProgramProcess(const std::string& home, const std::string& port, const std::string& runtime) {
        std::vector<std::string> environment;
        for (char** variable = environ; *variable; ++variable) {
            const std::string entry = *variable;
            const std::string name = entry.substr(0, entry.find('='));
            if (name != "ORVEX_HOME" && name != "XDG_RUNTIME_DIR" && name != "QT_QPA_PLATFORM" &&
                name.rfind("ORVEX_COM", 0) != 0) {
                environment.push_back(entry);
            }
        }
        environment.push_back("ORVEX_HOME=" + home);
        environment.push_back("ORVEX_COM1=" + port);
        environment.push_back("XDG_RUNTIME_DIR=" + runtime);
        environment.push_back("QT_QPA_PLATFORM=offscreen");
        // Everything the child needs is made before fork: it only redirects and executes.
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::string exe = ORVEX_MANAGER_EXE;
        char* argv[] = {exe.data(), nullptr};
        int errors[2];
        if (pipe2(errors, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(errors[1], STDERR_FILENO);
            const int nowhere = open("/dev/null", O_WRONLY);
            dup2(nowhere, STDOUT_FILENO);
            execve(argv[0], argv, envp.data());
            _exit(127);
        }
        close(errors[1]);
        m_errors = errors[0];
        fcntl(m_errors, F_SETFL, fcntl(m_errors, F_GETFL) | O_NONBLOCK);
    }
    ~CProgramProcess() {
        Kill();
        if (m_errors >= 0) {
            close(m_errors);
        }
    }
    bool Started() const { return m_pid > 0; }
    void Kill() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    bool Running() {
        if (m_pid > 0 && waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
            m_pid = -1;
        }
        return m_pid > 0;
    }
    // Waits up to `ms` for the end; then the exit status, or -1 (still running or killed).
    int WaitForExit(int ms) {
        for (int waited = 0; Running() && waited < ms; waited += 20) {
            usleep(20000);
        }
        if (Running()) {
            return -1;
        }
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }
    const std::string& Errors() {
        char buffer[512];
        ssize_t n;
        while ((n = read(m_errors, buffer, sizeof buffer)) > 0) {
            m_text.append(buffer, static_cast<size_t>(n));
        }
        return m_text;
    }
    bool WaitForError(const std::string& text, int ms) {
        for (int waited = 0; waited < ms; waited += 20) {
            if (Errors().find(text) != std::string::npos) {
                return true;
            }
            usleep(20000);
        }
        return Errors().find(text) != std::string::npos;
    }

  private:
    pid_t m_pid = -1;
    int m_status = 0;
    int m_errors = -1;
    std::string m_text;
};

// Every entry of a folder with its kind, mode, size, modification time and contents.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        std::string description =
            std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + " " +
            std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
        if (S_ISREG(info.st_mode)) {
            description += "\n" + Slurp(entry.path());
        }
        entries[entry.path().string()] = description;
    }
    return entries;
}

constexpr int kStartLimitMs = 30000;  // a start on a loaded machine; no measure of speed
constexpr char kRaised[] = "another start asked for this window";
constexpr char kAlreadyRunning[] = "already running; its window was brought to the front";

// The real program in program directories of its own, each with the shipped database, a
// settings file and a pseudo-terminal as its port.
class SingleInstanceProgramTest : public SingleInstanceTest {
  protected:
    void SetUp() override {
        SingleInstanceTest::SetUp();
        other = MakeTempDir("single-home2");
        ASSERT_FALSE(other.empty());
        Furnish(program);
        Furnish(other);
        ASSERT_FALSE(port.Path().empty());
        ASSERT_FALSE(otherPort.Path().empty());
    }
    void TearDown() override {
        fs::remove_all(other);
        SingleInstanceTest::TearDown();
    }
    static void Furnish(const std::string& dir) {
        fs::copy_file(ORVEX_DEFAULT_DATABASE, dir + "Orvex.mdb");
        std::ofstream(dir + "OrvexMgr.ini", std::ios::binary)
            << "[DbFilePath]\r\n;" << dir << "Orvex.mdb$\r\n[ProgramDirPath]\r\n;" << dir
            << "$\r\n[MaxPersonal]\r\n;200$\r\n[Communication]\r\n;1$\r\n;.";
    }
    std::unique_ptr<CProgramProcess> Start(const std::string& home, const CTestPort& on) {
        return std::make_unique<CProgramProcess>(home, on.Path(), runtime);
    }
    // Waits until a copy runs with its window up: it answers on the directory's socket and
    // has begun to poll its port.
    static bool IsUp(CProgramProcess& copy, CTestPort& on, const std::string& socket) {
        if (!on.WaitForBytes(kStartLimitMs) || !copy.Running()) {
            return false;
        }
        return Answers(socket);
    }

    std::string other;
    CTestPort port;
    CTestPort otherPort;
};

TEST_F(SingleInstanceProgramTest, ASecondStartRaisesTheFirstAndTouchesNothing) {
    CSingleInstance::SPlaces places;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(program, places, error)) << error;
    std::unique_ptr<CProgramProcess> first = Start(program, port);
    ASSERT_TRUE(first->Started());
    ASSERT_TRUE(IsUp(*first, port, places.socket)) << first->Errors();
    const std::string settings = Slurp(program + "OrvexMgr.ini");
    const std::map<std::string, std::string> before = Snapshot(program);

    std::unique_ptr<CProgramProcess> second = Start(program, port);
    ASSERT_TRUE(second->Started());
    EXPECT_EQ(second->WaitForExit(kStartLimitMs), 0) << second->Errors();
    EXPECT_NE(second->Errors().find(kAlreadyRunning), std::string::npos) << second->Errors();
    EXPECT_TRUE(first->WaitForError(kRaised, kStartLimitMs)) << first->Errors();
    EXPECT_TRUE(first->Running());
    EXPECT_EQ(Slurp(program + "OrvexMgr.ini"), settings);
    EXPECT_EQ(Snapshot(program), before);

    // Killed, the first copy leaves its socket behind; the next start takes over anyway.
    first->Kill();
    ASSERT_TRUE(fs::is_socket(places.socket));
    port.Drain();
    std::unique_ptr<CProgramProcess> next = Start(program, port);
    ASSERT_TRUE(IsUp(*next, port, places.socket)) << next->Errors();
    EXPECT_EQ(next->Errors().find("already running"), std::string::npos) << next->Errors();
    std::unique_ptr<CProgramProcess> last = Start(program, port);
    EXPECT_EQ(last->WaitForExit(kStartLimitMs), 0) << last->Errors();
    EXPECT_TRUE(next->WaitForError(kRaised, kStartLimitMs)) << next->Errors();
    EXPECT_TRUE(next->Running());
}

TEST_F(SingleInstanceProgramTest, TwoProgramDirectoriesRunSideBySide) {
    CSingleInstance::SPlaces places;
    CSingleInstance::SPlaces otherPlaces;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(program, places, error)) << error;
    ASSERT_TRUE(CSingleInstance::LocatePlaces(other, otherPlaces, error)) << error;
    std::unique_ptr<CProgramProcess> first = Start(program, port);
    ASSERT_TRUE(IsUp(*first, port, places.socket)) << first->Errors();
    std::unique_ptr<CProgramProcess> second = Start(other, otherPort);
    ASSERT_TRUE(IsUp(*second, otherPort, otherPlaces.socket)) << second->Errors();
    EXPECT_TRUE(first->Running());
    EXPECT_EQ(first->Errors().find(kRaised), std::string::npos) << first->Errors();
    EXPECT_EQ(second->Errors().find("already running"), std::string::npos) << second->Errors();
}

}  // namespace
}  // namespace orvex::test
