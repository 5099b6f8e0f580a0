// The real orvex-pager-sim program: its terminal, its link, its exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/sim/FrameCodec.h"

using namespace sim;
using Bytes = std::vector<uint8_t>;

namespace {

// Only a guard against hanging forever when something is broken; never reached otherwise.
constexpr int kHangGuardMs = 30000;

struct SChild {
    pid_t pid = -1;
    int out = -1;  // its stdout
    int err = -1;  // its stderr
};

SChild Spawn(const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv;
        std::string program = ORVEX_PAGER_SIM_EXE;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    return {pid, out[0], err[0]};
}

bool WaitReadable(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return poll(&pfd, 1, kHangGuardMs) == 1;
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (WaitReadable(fd) && read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[512];
    ssize_t n = 0;
    while (WaitReadable(fd) && (n = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

Bytes ReadBytes(int fd, size_t count) {
    Bytes bytes;
    uint8_t byte = 0;
    while (bytes.size() < count && WaitReadable(fd) && read(fd, &byte, 1) == 1) {
        bytes.push_back(byte);
    }
    return bytes;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

int OpenRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

Bytes Exchange(int fd, const Bytes& unit, size_t answerSize = 1) {
    if (write(fd, unit.data(), unit.size()) != static_cast<ssize_t>(unit.size())) {
        return {};
    }
    return ReadBytes(fd, answerSize);
}

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid())))
        .string();
}

}  // namespace

TEST(SimProgram, AnswersPollOnItsTerminalThroughAReplacedLinkAndSurvivesAReopen) {
    const std::string link = TempPath("sim-com1");
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent/stale-terminal", link);

    const SChild child = Spawn({"--link", link});
    ASSERT_GT(child.pid, 0);
    const std::string path = ReadLine(child.out);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "first line: '" << path << "'";
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

    int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    // The PC program holds its port exclusively. The emulator keeps the terminal open, so the
    // mode would outlast the PC's close and refuse its next open (for anyone but root, so it
    // is looked at directly here): the emulator has undone it by the time it answers.
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    EXPECT_EQ(Exchange(fd, {kPoll}), Bytes{kAck});
    int exclusive = -1;
    ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(Exchange(fd, {kEot}), Bytes{kAck});
    // The PC program closes the port and opens it again: the device is still there.
    close(fd);
    fd = OpenRaw(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, {kPoll}), Bytes{kAck});
    close(fd);

    kill(child.pid, SIGTERM);
    EXPECT_EQ(ExitCode(child.pid), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link outlived the program";
    close(child.out);
    close(child.err);
}

TEST(SimProgram, ServesTheBookFileWithTheCapacityGiven) {
    const std::string book = TempPath("sim-book.txt");
    std::ofstream(book) << "P\t1\tAda\nP\t2\tBo\nG\t1\tPair\t1:1\t2:1\n";
    const SChild child = Spawn({"--book", book, "--capacity", "321"});
    ASSERT_GT(child.pid, 0);
    const int fd = OpenRaw(ReadLine(child.out));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, {kPoll}), Bytes{kAck});
    EXPECT_EQ(Exchange(fd, {kStx}), Bytes{kAck});
    EXPECT_EQ(Exchange(fd, CFrameCodec::PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kAck});
    EXPECT_EQ(Exchange(fd, {kEtx}), Bytes{kAck});
    EXPECT_EQ(Exchange(fd, {kEot}), Bytes{kStx});
    EXPECT_EQ(Exchange(fd, {kAck}, 9), CFrameCodec::DeviceFrame(kCmdStatusReply, {1, 65, 0, 2, 1}));
    close(fd);
    kill(child.pid, SIGINT);
    EXPECT_EQ(ExitCode(child.pid), 0);
    close(child.out);
    close(child.err);
    std::filesystem::remove(book);
}

TEST(SimProgram, BadOptionsAndUnreadableBooksExitWithTwoAndSayWhy) {
    const std::string book = TempPath("sim-broken-book.txt");
    std::ofstream(book) << "# fine\nP\t1\tAda\nQ\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--capacity", "x"}, "--capacity must be a number"},
        {{"--book", "/nonexistent/book.txt"}, "/nonexistent/book.txt: cannot be read"},
        {{"--book", book}, book + ": line 3: unknown line 'Q'"},
    };
    for (const auto& [args, message] : cases) {
        const SChild child = Spawn(args);
        ASSERT_GT(child.pid, 0);
        const std::string errors = ReadAll(child.err);
        EXPECT_EQ(ExitCode(child.pid), 2) << args[0];
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
        EXPECT_EQ(ReadAll(child.out), "") << "no terminal path on a failed start";
        close(child.out);
        close(child.err);
    }
    std::filesystem::remove(book);
}
