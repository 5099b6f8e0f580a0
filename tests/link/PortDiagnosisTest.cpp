#include "link/PortDiagnosis.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/TestFolder.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using SHolder = CPortDiagnosis::SHolder;

std::string OwnComm() {
    std::ifstream in("/proc/self/comm");
    std::string line;
    std::getline(in, line);
    return line;
}

// Runs `work` in a child process and returns what it produced.
std::string InChild(const std::function<std::string()>& work) {
    int out[2];
    if (pipe(out) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        const std::string text = work();
        [[maybe_unused]] ssize_t n = write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    waitpid(child, nullptr, 0);
    return text;
}

// A process that holds `path` open and flock()ed until it is destroyed.
class CLockingChild {
  public:
    explicit CLockingChild(const std::string& path) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(m_release) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            close(m_release[1]);  // or the wait below would never see the end
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char state = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'L' : 'F';
            [[maybe_unused]] ssize_t n = write(ready[1], &state, 1);
            char wait;
            n = read(m_release[0], &wait, 1);
            _exit(0);
        }
        close(ready[1]);
        close(m_release[0]);
        char state = 0;
        m_locked = read(ready[0], &state, 1) == 1 && state == 'L';
        close(ready[0]);
    }
    ~CLockingChild() {
        if (m_pid > 0) {
            close(m_release[1]);
            waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t Pid() const { return m_pid; }
    bool Locked() const { return m_locked; }

  private:
    pid_t m_pid = -1;
    int m_release[2] = {-1, -1};
    bool m_locked = false;
};

// A pseudo-terminal, its slave side owned by root and the tty group, mode 0620, as on a
// desktop whatever this machine's devpts mount says; and a folder for fake system trees.
class PortDiagnosisTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        if (const group* tty = getgrnam("tty"); tty && geteuid() == 0) {
            ASSERT_EQ(fchown(slave, 0, tty->gr_gid), 0);
            ASSERT_EQ(fchmod(slave, 0620), 0);
        }
        ASSERT_FALSE(m_folder.Path().empty());
        root = fs::canonical(m_folder.Path()).string();
        machine.proc = root + "/proc";
        machine.lockDirs = {root + "/lockA", root + "/lockB", root + "/lockC", root + "/none"};
        machine.devices = {root + "/sys/class/tty", root + "/dev/serial/by-id", root + "/dev"};
    }
    void TearDown() override {
        close(master);
        close(slave);
    }

    void Put(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        std::ofstream(root + "/" + path, std::ios::binary) << text;
    }
    void Link(const std::string& target, const std::string& path) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        fs::create_symlink(target, root + "/" + path);
    }
    // A built-in UART in the fake sysfs, with its node.
    void Uart(const std::string& tty, const std::string& type) {
        Put("sys/class/tty/" + tty + "/type", type + "\n");
        Link("../../../devices/platform/serial8250", "sys/class/tty/" + tty + "/device");
        fs::create_directories(root + "/sys/devices/platform/serial8250");
        Put("dev/" + tty, "");
    }

    int master = -1;
    int slave = -1;
    std::string slavePath;
    std::string root;
    CPortDiagnosis::SSystem machine;

  private:
    CTestFolder m_folder{"diagnosis-test"};
};

TEST_F(PortDiagnosisTest, AccessAdviceFollowsTheUsersGroups) {
    CPortDiagnosis::SAccessFacts facts{"/dev/ttyUSB0", true,  20,    "dialout",
                                       S_IFCHR | 0660, "ann", false, false};
    std::string text = CPortDiagnosis::AccessAdvice(facts);
    EXPECT_THAT(text, HasSubstr("/dev/ttyUSB0 belongs to the group \"dialout\" (permissions "
                                "rw-rw----)"));
    EXPECT_THAT(text, HasSubstr("    sudo adduser ann dialout\n"));
    EXPECT_THAT(text, HasSubstr("log out and log in again"));
    EXPECT_THAT(text, Not(HasSubstr("either")));

    facts.mode = S_IFCHR | 0600;  // adding the user alone will not do
    EXPECT_THAT(CPortDiagnosis::AccessAdvice(facts), HasSubstr("do not let the group read and "
                                                               "write it either"));

    facts.mode = S_IFCHR | 0660;
    facts.inGroupDatabase = true;  // added, but this session predates it
    text = CPortDiagnosis::AccessAdvice(facts);
    EXPECT_THAT(text, HasSubstr("this login session started before that"));
    EXPECT_THAT(text, HasSubstr("Log out and log in again"));
    EXPECT_THAT(text, Not(HasSubstr("adduser")));

    facts.inProcessGroups = true;  // in the group, yet refused
    text = CPortDiagnosis::AccessAdvice(facts);
    EXPECT_THAT(text, HasSubstr("getfacl /dev/ttyUSB0"));
    EXPECT_THAT(text, Not(HasSubstr("adduser")));
    facts.mode = S_IFCHR | 0600;
    text = CPortDiagnosis::AccessAdvice(facts);
    EXPECT_THAT(text, HasSubstr("do not let the group read and write it"));
    EXPECT_THAT(text, HasSubstr("MODE=\"0660\""));

    facts = {"/dev/ttyS0",   true,  0,     "root",
             S_IFCHR | 0660, "ann", false, false};  // never join root
    text = CPortDiagnosis::AccessAdvice(facts);
    EXPECT_THAT(text, Not(HasSubstr("adduser")));
    EXPECT_THAT(text, HasSubstr("GROUP=\"dialout\""));

    facts.known = false;
    EXPECT_THAT(CPortDiagnosis::AccessAdvice(facts), HasSubstr("ls -lL /dev/ttyS0"));
}

// What an unprivileged user, really refused by the pseudo-terminal, is told: the user "nobody"
// with `processGroup` as the only group of the process.
std::string ExplainAsNobody(const std::string& path, gid_t processGroup) {
    return InChild([&] {
        if (setgroups(0, nullptr) != 0 || setgid(processGroup) != 0 || setuid(65534) != 0) {
            return std::string("could not become nobody");
        }
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            return std::string("opened");
        }
        return CPortDiagnosis::Explain({"COM4", path, EPortStep::kOpen, errno});
    });
}

TEST_F(PortDiagnosisTest, ExplainsARealRefusalFromTheProcesssGroups) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another user";
    }
    const passwd* nobody = getpwuid(65534);
    ASSERT_NE(nobody, nullptr);
    const std::string user = nobody->pw_name;
    const gid_t primary = nobody->pw_gid;
    struct stat st {};
    ASSERT_EQ(stat(slavePath.c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;

    std::string text = ExplainAsNobody(slavePath, primary);
    EXPECT_THAT(text, StartsWith("Port: COM4\nDevice: " + slavePath +
                                 "\nReason: " + std::strerror(EACCES) + "\n"));
    EXPECT_THAT(text, HasSubstr("belongs to the group \"" + groupName + "\""));
    EXPECT_THAT(text, HasSubstr("sudo adduser " + user + " " + groupName));

    // The device's group is the user's own by the user database, but this process runs
    // without it, as a session started before the user joined would.
    ASSERT_EQ(fchown(slave, 0, primary), 0);
    ASSERT_EQ(fchmod(slave, 0660), 0);
    text = ExplainAsNobody(slavePath, primary - 1);
    EXPECT_THAT(text, HasSubstr("this login session started before that"));
    EXPECT_THAT(text, Not(HasSubstr("adduser")));
}

TEST_F(PortDiagnosisTest, BusyAdviceNamesTheHolderAndTheWayOut) {
    const auto busy = [](std::vector<SHolder> holders, const std::string& usbId = "") {
        return CPortDiagnosis::BusyAdvice("/dev/ttyUSB0", holders, usbId);
    };
    std::string text = busy({{10, "orvex-manager"}});
    EXPECT_THAT(text, HasSubstr("In use by:\n    orvex-manager (process 10)\n"));
    EXPECT_THAT(text, HasSubstr("Another copy of Orvex Manager uses this port"));

    text = busy({{11, "ModemManager"}}, "067b:2303");
    EXPECT_THAT(text, HasSubstr("/etc/udev/rules.d/90-orvex-pager.rules"));
    EXPECT_THAT(text, HasSubstr("    ATTRS{idVendor}==\"067b\", ATTRS{idProduct}==\"2303\", "
                                "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"));
    EXPECT_THAT(text, HasSubstr("sudo udevadm control --reload"));
    EXPECT_THAT(text, HasSubstr("re-plug"));
    text = busy({{11, "ModemManager"}});  // ids unknown: a rule for every USB adapter
    EXPECT_THAT(text, HasSubstr("KERNEL==\"ttyUSB[0-9]*|ttyACM[0-9]*\", "
                                "ENV{ID_MM_DEVICE_IGNORE}=\"1\""));
    EXPECT_THAT(text, Not(HasSubstr("idVendor")));

    // Two terminal sessions get one piece of advice each kind, every process listed.
    text = busy({{12, "screen"}, {13, "screen"}, {14, "picocom"}});
    EXPECT_THAT(text, HasSubstr("screen (process 12)\n    screen (process 13)\n"));
    EXPECT_EQ(text.find("screen is a terminal program"), text.rfind("screen is a terminal"));
    EXPECT_THAT(text, HasSubstr("picocom is a terminal program: close it"));

    EXPECT_THAT(busy({{15, "brltty"}}), HasSubstr("sudo apt remove brltty"));
    EXPECT_THAT(busy({{16, "gpsd"}}), HasSubstr("sudo systemctl stop gpsd.socket gpsd"));
    EXPECT_THAT(busy({{17, "myscript"}}), HasSubstr("Close myscript, or choose another port"));
    text = busy({{18, ""}});
    EXPECT_THAT(text, HasSubstr("    process 18\n"));
    EXPECT_THAT(text, HasSubstr("Close that program"));

    text = busy({});
    EXPECT_THAT(text, HasSubstr("could not be identified"));
    EXPECT_THAT(text, HasSubstr("sudo fuser -v /dev/ttyUSB0"));
    EXPECT_THAT(text, HasSubstr("probing a newly plugged adapter"));
}

// Every way of holding a port, in a /proc and lock folders of our own.
TEST_F(PortDiagnosisTest, HoldersComeFromLocksDescriptorsAndLockFiles) {
    Put("dev/ttyUSB0", "");
    const std::string device = root + "/dev/ttyUSB0";
    struct stat st {};
    ASSERT_EQ(stat(device.c_str(), &st), 0);
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    char other[64];
    std::snprintf(other, sizeof other, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino + 1));
    const std::string self = std::to_string(getpid());
    Put("proc/locks", std::string("1: FLOCK  ADVISORY  WRITE 4242 ") + id + " 0 EOF\n" +
                          "2: -> FLOCK  ADVISORY  WRITE 4545 " + id + " 0 EOF\n" +
                          "3: POSIX  ADVISORY  WRITE 4646 " + other + " 0 EOF\n" +
                          "4: OFDLCK ADVISORY  READ  -1 " + id + " 0 EOF\n" +
                          "5: FLOCK  ADVISORY  WRITE " + self + " " + id + " 0 EOF\n" +
                          "6: FLOCK  ADVISORY  WRITE 4747 " + id + " 0 EOF\n");
    for (const char* pid : {"4242", "4343", "4444", "4545", "4646", "4848", "4949"}) {
        Put(std::string("proc/") + pid + "/comm",
            std::string("name-") + pid + "\n");  // 4747 has ended: no folder
    }
    Link(device, "proc/4343/fd/5");
    Link("/dev/null", "proc/4343/fd/1");
    Link(root + "/dev/ttyUSB1", "proc/4848/fd/3");
    Link(device, "proc/" + self + "/fd/4");
    Put("proc/" + self + "/comm", "us\n");
    Put("lockA/LCK..ttyUSB0", "      4444\n");
    const int binary = 4949;
    Put("lockB/LCK..ttyUSB0", std::string(reinterpret_cast<const char*>(&binary), 4));
    Put("lockC/LCK..ttyUSB0", "4242\n");  // already known
    Put("lockC/LCK..ttyUSB1", "4848\n");  // another port

    const std::vector<SHolder> holders = CPortDiagnosis::Holders(device, machine);
    std::vector<std::string> texts;
    for (const SHolder& holder : holders) {
        texts.push_back(CPortDiagnosis::HolderText(holder));
    }
    EXPECT_THAT(texts,
                ::testing::ElementsAre("name-4242 (process 4242)", "name-4343 (process 4343)",
                                       "name-4444 (process 4444)", "name-4949 (process 4949)"));
    // A stale lock file names nobody.
    fs::remove_all(root + "/proc");
    Put("proc/locks", "");
    EXPECT_TRUE(CPortDiagnosis::Holders(device, machine).empty());
}

// A real process holding the real pseudo-terminal with flock.
TEST_F(PortDiagnosisTest, FindsARealProcessThatLocksThePort) {
    CLockingChild child(slavePath);
    ASSERT_TRUE(child.Locked());
    const SHolder expected{static_cast<int>(child.Pid()), OwnComm()};
    const auto holders = CPortDiagnosis::Holders(slavePath);  // this process has it open too
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, expected.pid);
    EXPECT_EQ(holders[0].program, expected.program);

    // The kernel's lock table alone, with the child's descriptors out of sight.
    CPortDiagnosis::SSystem locksOnly = machine;
    Link("/proc/locks", "proc/locks");
    Link("/proc/" + std::to_string(expected.pid) + "/comm",
         "proc/" + std::to_string(expected.pid) + "/comm");
    const auto locked = CPortDiagnosis::Holders(slavePath, locksOnly);
    ASSERT_EQ(locked.size(), 1u);
    EXPECT_EQ(locked[0].pid, expected.pid);

    const std::string text =
        CPortDiagnosis::Explain({"COM4", slavePath, EPortStep::kLock, EWOULDBLOCK});
    EXPECT_THAT(text, StartsWith("Port: COM4\nDevice: " + slavePath +
                                 "\nReason: " + std::strerror(EWOULDBLOCK) + "\n"));
    EXPECT_THAT(text, HasSubstr("Another program holds the port.\nIn use by:\n    " +
                                CPortDiagnosis::HolderText(expected) + "\n"));
}

TEST_F(PortDiagnosisTest, AMissingDeviceListsThoseThatArePresent) {
    Uart("ttyS0", "4");
    Link("../../ttyUSB7", "dev/serial/by-id/usb-Gone_Adapter-if00-port0");
    const std::string gone = machine.devices.byId + "/usb-Gone_Adapter-if00-port0";
    std::string text = CPortDiagnosis::Explain({"COM2", gone, EPortStep::kOpen, ENOENT}, machine);
    EXPECT_THAT(text, StartsWith("Port: COM2\nDevice: " + gone +
                                 " (a link to ../../ttyUSB7, which is not there)\nReason: "));
    EXPECT_THAT(text, HasSubstr("The link leads to a device that is not there"));
    EXPECT_THAT(text, HasSubstr("Serial devices present now:\n    " + root + "/dev/ttyS0\n"));
    EXPECT_THAT(text, HasSubstr("choose one of these in Communication > Configuration"));

    fs::remove_all(root + "/sys");
    text = CPortDiagnosis::Explain({"COM1", "/dev/ttyUSB9", EPortStep::kOpen, ENODEV}, machine);
    EXPECT_THAT(text, HasSubstr("The device is not there: the adapter is not plugged in"));
    EXPECT_THAT(text, HasSubstr("No serial device was found on this computer.\n"));
    EXPECT_THAT(text, HasSubstr("Plug the adapter in and try again."));
}

TEST_F(PortDiagnosisTest, OtherFailuresSayWhatWentWrong) {
    Uart("ttyS1", "0");  // a name without a UART
    std::string text =
        CPortDiagnosis::Explain({"COM2", root + "/dev/ttyS1", EPortStep::kTerminal, EIO}, machine);
    EXPECT_THAT(text, HasSubstr("no serial port behind this name"));

    Put("notes.txt", "");
    Link(root + "/notes.txt", "COM3");
    text = CPortDiagnosis::Explain({"COM3", root + "/COM3", EPortStep::kTerminal, ENOTTY}, machine);
    EXPECT_THAT(text, StartsWith("Port: COM3\nDevice: " + root + "/COM3 (a link to " + root +
                                 "/notes.txt)\nReason: " + std::strerror(ENOTTY) + "\n"));
    EXPECT_THAT(text, HasSubstr("not a serial device"));

    EXPECT_THAT(CPortDiagnosis::Explain({"COM1", slavePath, EPortStep::kSettings, EINVAL}),
                HasSubstr("refused the line settings"));
    EXPECT_THAT(CPortDiagnosis::Explain({"COM1", slavePath, EPortStep::kThread, EAGAIN}),
                HasSubstr("could not provide what an open port needs"));
    EXPECT_THAT(CPortDiagnosis::Explain({"COM1", slavePath, EPortStep::kOpen, EIO}),
                HasSubstr("does not answer"));
    text = CPortDiagnosis::Explain({"COM1", slavePath, EPortStep::kLock, 0});
    EXPECT_THAT(text, HasSubstr("Reason: none was given\n"));
    EXPECT_THAT(text, HasSubstr("choose another port in Communication > Configuration"));
}

}  // namespace
}  // namespace orvex::test
