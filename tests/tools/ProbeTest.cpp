// orvex-probe against orvex-pager-sim: two programs, a pseudo-terminal between them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Result {
    int status;
    std::string output;
};

// Runs a shell command and collects its standard output and error.
Result RunCommand(const std::string& command) {
    Result result{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return result;
    }
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe)) {
        result.output += buffer.data();
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The emulator, started with the given options and a symbolic link to its terminal.
class CEmulator {
  public:
    explicit CEmulator(std::vector<std::string> options) {
        m_dir = std::filesystem::temp_directory_path() /
                ("orvex-probe-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        m_link = (m_dir / "pager").string();
        options.insert(options.begin(), {ORVEX_PAGER_SIM_EXE, "--link", m_link});
        m_pid = fork();
        if (m_pid == 0) {
            std::vector<char*> argv;
            for (std::string& o : options) {
                argv.push_back(o.data());
            }
            argv.push_back(nullptr);
            freopen("/dev/null", "w", stdout);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && !std::filesystem::exists(m_link); ++i) {
            usleep(20000);
        }
    }
    ~CEmulator() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        std::filesystem::remove_all(m_dir);
    }
    const std::string& Link() const { return m_link; }

  private:
    std::filesystem::path m_dir;
    std::string m_link;
    pid_t m_pid = -1;
};

std::string Probe(const std::string& port, const std::string& device) {
    return "ORVEX_COM" + port + "='" + device + "' " ORVEX_PROBE_EXE " " + port;
}

TEST(ProbeTest, ReportsTheEmulatorsCapacityAndCounts) {
    CEmulator pager({"--capacity", "150"});
    ASSERT_TRUE(std::filesystem::exists(pager.Link()));
    const Result result = RunCommand(Probe("1", pager.Link()));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "COM1 (" + pager.Link() +
                                 "): device present, capacity 150, 4 personal entries, 1 groups\n");
}

TEST(ProbeTest, GetsOverABurstOfGarbage) {
    CEmulator pager({"--garbage", "64"});
    const Result result = RunCommand(Probe("3", pager.Link()));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("device present, capacity 200"), std::string::npos);
}

TEST(ProbeTest, SaysSoWhenNoDeviceAnswers) {
    CEmulator pager({"--silent"});
    const Result result = RunCommand(Probe("2", pager.Link()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "COM2 (" + pager.Link() + "): no device answers\n");
}

TEST(ProbeTest, GivesTheSystemsReasonWhenThePortCannotBeOpened) {
    const Result missing = RunCommand(Probe("4", "/nonexistent/ttyX"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output.rfind(
                  "COM4 (/nonexistent/ttyX): cannot open the port: cannot open /nonexistent/ttyX: "
                  "No such file or directory\nPort: COM4\nDevice: /nonexistent/ttyX\n",
                  0),
              0u)
        << missing.output;
    // Then the same diagnosis as under the program's Error 301: what it means, what to do.
    EXPECT_NE(missing.output.find("not plugged in"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("Communication > Configuration"), std::string::npos);
    const Result notATerminal = RunCommand(Probe("1", "/dev/null"));
    EXPECT_EQ(notATerminal.status, 1);
    EXPECT_NE(notATerminal.output.find("is not a serial port"), std::string::npos)
        << notATerminal.output;
    EXPECT_EQ(RunCommand(ORVEX_PROBE_EXE " 9").status, 2);
}

TEST(ProbeTest, OpensTheDeviceTheProgramChoseForThePort) {
    CEmulator pager({});
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("orvex-probe-home-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    {
        std::ofstream map(home / "OrvexPorts.conf");
        map << "COM2=" << pager.Link() << "\n";
    }
    const Result result = RunCommand("env -u ORVEX_COM2 ORVEX_HOME='" + home.string() + "' " +
                                     ORVEX_PROBE_EXE + " 2");
    std::filesystem::remove_all(home);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.rfind("COM2 (" + pager.Link() + "): device present", 0), 0u)
        << result.output;
}

}  // namespace
