#include "link/PortDiagnosis.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/CommPort.h"

namespace orvex {

namespace fs = std::filesystem;

namespace {

const char* const kConfiguration = "Communication > Configuration";

// Programs a person uses to talk to a serial line by hand.
const char* const kTerminalPrograms[] = {"minicom", "picocom",  "screen",  "cu",
                                         "putty",   "gtkterm",  "cutecom", "moserial",
                                         "tio",     "microcom", "kermit",  "miniterm"};

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// The first line of a small file without its line end; "" when unreadable.
std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

std::string Permissions(unsigned mode) {
    std::string text = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (1u << (8 - bit))) == 0) {
            text[static_cast<size_t>(bit)] = '-';
        }
    }
    return text;
}

std::string ReasonText(int error) {
    return error == 0 ? std::string("none was given") : std::string(std::strerror(error));
}

// "Device: PATH", and where a link leads.
std::string DeviceLine(const std::string& path) {
    std::string line = "Device: " + path;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const std::string target = CSerialDevices::Resolve(path);
        if (!target.empty()) {
            line += " (a link to " + target + ")";
        } else {
            line += " (a link to " + fs::read_symlink(path, ec).string() + ", which is not there)";
        }
    }
    return line;
}

// The node is a ttyS whose UART type is unknown: the system names a port that has no
// hardware behind it.
bool NoUartBehind(const std::string& devicePath, const CSerialDevices::SRoots& roots) {
    const std::string node = CSerialDevices::Resolve(devicePath);
    const std::string name = fs::path(node.empty() ? devicePath : node).filename().string();
    return name.rfind("ttyS", 0) == 0 && FirstLine(roots.sysClassTty + "/" + name + "/type") == "0";
}

std::string PresentList(const std::vector<SSerialDevice>& present) {
    if (present.empty()) {
        return "No serial device was found on this computer.\n";
    }
    std::string text = "Serial devices present now:\n";
    for (const SSerialDevice& device : present) {
        text += "    " + device.DisplayText() + "\n";
    }
    return text;
}

// The line of a udev rule that keeps ModemManager away from the adapter.
std::string ModemManagerRule(const std::string& usbId) {
    const size_t colon = usbId.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == usbId.size()) {
        return "SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB[0-9]*|ttyACM[0-9]*\", "
               "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
    }
    return "ATTRS{idVendor}==\"" + usbId.substr(0, colon) + "\", ATTRS{idProduct}==\"" +
           usbId.substr(colon + 1) + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
}

// What to do about one holder.
std::string AdviceFor(const CPortDiagnosis::SHolder& holder, const std::string& usbId) {
    const std::string& name = holder.program;
    if (SameName(name, "orvex-manager")) {
        return "Another copy of Orvex Manager uses this port: close it, or choose another port "
               "in " +
               std::string(kConfiguration) + ".\n";
    }
    if (SameName(name, "ModemManager")) {
        return "ModemManager opens new serial adapters to look for a modem in them. Keep it off "
               "this adapter: create the file /etc/udev/rules.d/90-orvex-pager.rules with the "
               "line\n    " +
               ModemManagerRule(usbId) +
               "\nthen run\n    sudo udevadm control --reload\nand unplug and re-plug the "
               "adapter." +
               (usbId.empty() ? " (The line keeps it off every USB serial adapter.)" : "") + "\n";
    }
    if (SameName(name, "brltty")) {
        return "brltty, the braille display service, takes some USB serial adapters for itself. "
               "Without a braille display, remove it (sudo apt remove brltty) and re-plug the "
               "adapter.\n";
    }
    if (SameName(name, "gpsd")) {
        return "gpsd, the GPS service, takes USB serial adapters that might be GPS receivers. "
               "Stop it (sudo systemctl stop gpsd.socket gpsd), or set USBAUTO=\"false\" in "
               "/etc/default/gpsd.\n";
    }
    for (const char* terminal : kTerminalPrograms) {
        if (SameName(name, terminal)) {
            return name + " is a terminal program: close it (end its session), then try again.\n";
        }
    }
    return "Close " + (name.empty() ? std::string("that program") : name) +
           ", or choose another port in " + kConfiguration + ".\n";
}

// The holders named in /proc/locks: FLOCK and POSIX locks on the device's inode.
std::vector<int> LockingPids(const std::string& locksFile, const struct stat& device) {
    std::vector<int> pids;
    std::ifstream in(locksFile);
    std::string line;
    while (std::getline(in, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"; "1: -> FLOCK ..." is a waiter.
        std::istringstream fields(line);
        std::string number;
        std::string type;
        fields >> number >> type;
        if (type != "FLOCK" && type != "POSIX") {
            continue;
        }
        std::vector<std::string> rest;
        for (std::string field; fields >> field;) {
            rest.push_back(field);
        }
        for (size_t i = 0; i + 1 < rest.size(); ++i) {
            unsigned devMajor = 0;
            unsigned devMinor = 0;
            unsigned long inode = 0;
            char end = 0;
            if (std::sscanf(rest[i + 1].c_str(), "%x:%x:%lu%c", &devMajor, &devMinor, &inode,
                            &end) == 3 &&
                rest[i].find_first_not_of("-0123456789") == std::string::npos) {
                if (devMajor == major(device.st_dev) && devMinor == minor(device.st_dev) &&
                    inode == device.st_ino) {
                    pids.push_back(std::atoi(rest[i].c_str()));
                }
                break;
            }
        }
    }
    return pids;
}

// The processes with a descriptor open on `node` (a resolved path).
std::vector<int> OpeningPids(const std::string& proc, const std::string& node) {
    std::vector<int> pids;
    DIR* processes = ::opendir(proc.c_str());
    if (!processes) {
        return pids;
    }
    while (const dirent* process = ::readdir(processes)) {
        const std::string name = process->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string fdDir = proc + "/" + name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) {
            continue;  // another user's process, or one that just ended
        }
        while (const dirent* fd = ::readdir(fds)) {
            char target[4096];
            const std::string link = fdDir + "/" + fd->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && node.compare(0, std::string::npos, target, static_cast<size_t>(n)) == 0) {
                pids.push_back(std::atoi(name.c_str()));
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(processes);
    return pids;
}

// The process named in a lock file: ASCII digits, or a 4-byte binary number.
int LockFilePid(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char bytes[64] = {};
    in.read(bytes, sizeof bytes - 1);
    const auto size = static_cast<size_t>(in.gcount());
    const std::string text(bytes, size);
    if (size == 4 && text.find_first_not_of(" 0123456789\n") != std::string::npos) {
        int pid = 0;
        std::memcpy(&pid, bytes, sizeof pid);
        return pid;
    }
    return std::atoi(text.c_str());
}

}  // namespace

std::string CPortDiagnosis::HolderText(const SHolder& holder) {
    const std::string process = "process " + std::to_string(holder.pid);
    return holder.program.empty() ? process : holder.program + " (" + process + ")";
}

std::string CPortDiagnosis::Explain(const SPortFailure& failure) {
    return Explain(failure, SSystem());
}

std::vector<CPortDiagnosis::SHolder> CPortDiagnosis::Holders(const std::string& devicePath) {
    return Holders(devicePath, SSystem());
}

std::vector<CPortDiagnosis::SHolder> CPortDiagnosis::Holders(const std::string& devicePath,
                                                             const SSystem& system) {
    std::vector<SHolder> holders;
    const int self = static_cast<int>(::getpid());
    const auto add = [&](int pid) {
        const std::string dir = system.proc + "/" + std::to_string(pid);
        if (pid <= 0 || pid == self || !Exists(dir) ||
            std::any_of(holders.begin(), holders.end(),
                        [pid](const SHolder& known) { return known.pid == pid; })) {
            return;
        }
        holders.push_back({pid, FirstLine(dir + "/comm")});
    };

    struct stat device {};
    if (::stat(devicePath.c_str(), &device) == 0) {
        for (int pid : LockingPids(system.proc + "/locks", device)) {
            add(pid);
        }
    }
    const std::string node = CSerialDevices::Resolve(devicePath);
    if (!node.empty()) {
        for (int pid : OpeningPids(system.proc, node)) {
            add(pid);
        }
    }
    const std::string name = fs::path(node.empty() ? devicePath : node).filename().string();
    for (const std::string& dir : system.lockDirs) {
        const std::string lockFile = dir + "/LCK.." + name;
        if (Exists(lockFile)) {
            add(LockFilePid(lockFile));
        }
    }
    return holders;
}

CPortDiagnosis::SAccessFacts CPortDiagnosis::AccessFacts(const std::string& devicePath) {
    SAccessFacts facts;
    facts.devicePath = devicePath;
    const uid_t uid = ::geteuid();
    const passwd* user = ::getpwuid(uid);
    const gid_t primaryGroup = user ? user->pw_gid : static_cast<gid_t>(-1);
    if (user) {
        facts.userName = user->pw_name;
    } else if (const char* name = std::getenv("USER"); name && *name) {
        facts.userName = name;
    } else {
        facts.userName = std::to_string(uid);
    }

    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0) {
        return facts;
    }
    facts.known = true;
    facts.groupId = st.st_gid;
    facts.mode = st.st_mode;
    facts.groupName = std::to_string(st.st_gid);
    facts.inGroupDatabase = primaryGroup == st.st_gid;
    if (const group* owner = ::getgrgid(st.st_gid)) {
        facts.groupName = owner->gr_name;
        for (char** member = owner->gr_mem; member && *member; ++member) {
            facts.inGroupDatabase = facts.inGroupDatabase || facts.userName == *member;
        }
    }

    // What counts is what this process has now, not what the group database says.
    facts.inProcessGroups = ::getegid() == st.st_gid;
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        const int got = ::getgroups(count, groups.data());
        groups.resize(static_cast<size_t>(std::max(got, 0)));
        facts.inProcessGroups = facts.inProcessGroups ||
                                std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();
    }
    return facts;
}

std::string CPortDiagnosis::AccessAdvice(const SAccessFacts& facts) {
    const std::string& device = facts.devicePath;
    if (!facts.known) {
        return "The owner and permissions of the device could not be read. Check them with\n"
               "    ls -lL " +
               device + "\n";
    }
    const std::string& user = facts.userName;
    const std::string& group = facts.groupName;
    const bool groupMayUse = (facts.mode & S_IRGRP) != 0 && (facts.mode & S_IWGRP) != 0;
    const std::string askForMode =
        "Ask the administrator to let the group read and write it, for example with a udev rule "
        "that sets MODE=\"0660\" for the device.\n";
    std::string text = device + " belongs to the group \"" + group + "\" (permissions " +
                       Permissions(facts.mode) + ").\n";
    if (facts.inProcessGroups) {
        if (!groupMayUse) {
            return text + "The user " + user +
                   " is in that group, but the permissions of the device do not let the group "
                   "read and write it. " +
                   askForMode;
        }
        return text + "The user " + user +
               " is in that group and the group may read and write the device, yet the system "
               "refused: an access control list or a security module stands in the way. Check "
               "with\n    getfacl " +
               device + "\nand look in the system log (journalctl -k).\n";
    }
    if (facts.groupId == 0) {
        return text + "The user " + user +
               " is not in that group, and the root group is no group for a user to join. Ask "
               "the administrator to give the device a group of its own, for example with a udev "
               "rule that sets GROUP=\"dialout\", MODE=\"0660\".\n";
    }
    if (facts.inGroupDatabase) {
        return text + "The user " + user + " was added to the group " + group +
               ", but this login session started before that, so its programs are not in the "
               "group yet. Log out and log in again (or restart the computer).\n";
    }
    text += "The user " + user + " is not in the group " + group + ". Add the user to it with\n" +
            "    sudo adduser " + user + " " + group +
            "\nthen log out and log in again (or restart the computer): a new group counts only "
            "from the next login.\n";
    if (!groupMayUse) {
        text += "The permissions of the device do not let the group read and write it either. " +
                askForMode;
    }
    return text;
}

std::string CPortDiagnosis::BusyAdvice(const std::string& devicePath,
                                       const std::vector<SHolder>& holders,
                                       const std::string& usbId) {
    if (holders.empty()) {
        return "The program could not be identified; it may run as another user (sudo "
               "fuser -v " +
               devicePath +
               " names it). A system program may be probing a newly plugged adapter: wait a "
               "minute and try again. Otherwise close the program that uses the port, or choose "
               "another port in " +
               kConfiguration + ".\n";
    }
    std::string text = "In use by:\n";
    for (const SHolder& holder : holders) {
        text += "    " + HolderText(holder) + "\n";
    }
    std::vector<std::string> given;
    for (const SHolder& holder : holders) {
        std::string advice = AdviceFor(holder, usbId);
        if (std::find(given.begin(), given.end(), advice) == given.end()) {
            text += advice;
            given.push_back(std::move(advice));
        }
    }
    return text;
}

std::string CPortDiagnosis::MissingAdvice(const std::vector<SSerialDevice>& present) {
    return PresentList(present) + (present.empty()
                                       ? "Plug the adapter in and try again.\n"
                                       : "Plug the adapter in, or choose one of these in " +
                                             std::string(kConfiguration) + ".\n");
}

std::string CPortDiagnosis::Explain(const SPortFailure& failure, const SSystem& system) {
    const std::string& path = failure.devicePath;
    const int error = failure.error;
    std::string text = "Port: " + failure.portName + "\n" + DeviceLine(path) +
                       "\nReason: " + ReasonText(error) + "\n\n";
    const bool atOpen = failure.step == EPortStep::kOpen;

    if (atOpen && (error == EACCES || error == EPERM)) {
        return text + "This user may not read and write the device.\n" +
               AccessAdvice(AccessFacts(path));
    }
    if ((failure.step == EPortStep::kLock && error == EWOULDBLOCK) || (atOpen && error == EBUSY)) {
        const std::optional<SSerialDevice> device = CSerialDevices::Find(path, system.devices);
        return text +
               (error == EBUSY ? "Another program has opened the port for itself alone.\n"
                               : "Another program holds the port.\n") +
               BusyAdvice(path, Holders(path, system), device ? device->usbId : std::string());
    }
    if (atOpen && (error == ENOENT || error == ENODEV || error == ENXIO)) {
        std::error_code ec;
        const bool dangling = fs::is_symlink(fs::symlink_status(path, ec)) && !Exists(path);
        return text +
               (dangling ? "The link leads to a device that is not there: the adapter is not "
                           "plugged in.\n"
                         : "The device is not there: the adapter is not plugged in, or the path "
                           "is wrong.\n") +
               MissingAdvice(CSerialDevices::List(system.devices));
    }
    if (error == EIO && NoUartBehind(path, system.devices)) {
        return text +
               "There is no serial port behind this name: the system names more ports than the "
               "computer has.\n" +
               MissingAdvice(CSerialDevices::List(system.devices));
    }
    switch (failure.step) {
        case EPortStep::kTerminal:
            return text + "The file is not a serial device, so it cannot be the pager's port. " +
                   "Choose a serial device in " + kConfiguration + ".\n" +
                   PresentList(CSerialDevices::List(system.devices));
        case EPortStep::kSettings:
            return text +
                   "The device refused the line settings (9600 baud, 8 data bits, no parity, "
                   "1 stop bit). Unplug and re-plug the adapter and try again; if that does not "
                   "help, its driver may not support them.\n";
        case EPortStep::kThread:
            return text +
                   "The system could not provide what an open port needs. Close some programs "
                   "and try again.\n";
        default:
            break;
    }
    if (error == EIO) {
        return text + "The device does not answer. Unplug and re-plug the adapter and try again.\n";
    }
    return text + "Check that the adapter is plugged in and try again, or choose another port in " +
           kConfiguration + ".\n";
}

std::string CPortDiagnosis::WhyAbsent(const CCommPort& port, bool looking, bool open) {
    const std::string where = port.PortName() + " (" + port.DevicePath() + ")";
    const std::string choose = "Communication > Configuration";
    if (looking) {
        return where +
               " is not there: the adapter is unplugged. Orvex Manager opens it again "
               "as soon as it is plugged in.";
    }
    if (!open) {
        std::string text = port.PortName() + " is not open";
        if (!port.LastError().empty()) {
            text += ": " + port.LastError();
        }
        return text + ".\nChoose the pager's device in " + choose + ".";
    }
    return "No device answers on " + where +
           ".\nCheck that the pager is connected and switched "
           "on, and that it is on this device (" +
           choose + ").";
}

bool CPortDiagnosis::DeviceMissing(const SPortFailure& failure) {
    return failure.step == EPortStep::kOpen &&
           (failure.error == ENOENT || failure.error == ENODEV || failure.error == ENXIO);
}

}  // namespace orvex
