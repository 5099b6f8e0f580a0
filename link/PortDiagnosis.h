#pragma once

#include <string>
#include <vector>

#include "link/PortFailure.h"
#include "link/SerialDevices.h"

namespace orvex {

// Why a serial port failed to open, found out by looking at the system, and the way out: the
// details under Error 301 and in the cable check's output.
//
// Explain gathers the facts (the device's owner group and mode, the process's groups, the
// processes that hold the device, the devices present); the advice itself comes from small
// functions over those facts, so that every branch can be tried without the system around it.
class CCommPort;

class CPortDiagnosis {
  public:
    // Where the system is looked at; tests point these at folders of their own.
    struct SSystem {
        std::string proc = "/proc";
        // Where UUCP-style lock files (LCK..ttyUSB0, holding a process id) are kept.
        std::vector<std::string> lockDirs = {"/var/lock", "/run/lock"};
        CSerialDevices::SRoots devices;
    };

    // A process that holds the device open or locked.
    struct SHolder {
        int pid = 0;
        std::string program;  // its command name (/proc/PID/comm), "" when unreadable
    };

    // What decides the advice when the device refused access.
    struct SAccessFacts {
        std::string devicePath;
        bool known = false;            // the device could be examined (the fields below are valid)
        unsigned groupId = 0;          // the group that owns the device
        std::string groupName;         // its name, or the number when the group database lacks it
        unsigned mode = 0;             // st_mode of the device
        std::string userName;          // the effective user
        bool inProcessGroups = false;  // this process has the group now
        bool inGroupDatabase = false;  // the group database lists the user in it
    };

    // Several lines of plain UTF-8 text: "Port: COM1", "Device: ...", "Reason: ...", then what
    // was found and what to do.
    // Without a system, this machine.
    static std::string Explain(const SPortFailure& failure);
    // Why no device is present, for the user: the port is not open (and why), the device is
    // being looked for, or nothing answers on the open port.
    static std::string WhyAbsent(const CCommPort& port, bool looking, bool open);
    // The failure is a device file that is not there (an adapter not plugged in).
    static bool DeviceMissing(const SPortFailure& failure);
    static std::string Explain(const SPortFailure& failure, const SSystem& system);

    // The processes other than this one that hold `devicePath`: by a lock in /proc/locks, an
    // open descriptor under /proc/*/fd (only processes this one may look at), or a lock file
    // in one of the lock folders whose process still runs. Each process once.
    static std::vector<SHolder> Holders(const std::string& devicePath);
    static std::vector<SHolder> Holders(const std::string& devicePath, const SSystem& system);

    // The facts about the device and this process that AccessAdvice needs.
    static SAccessFacts AccessFacts(const std::string& devicePath);
    // What to do when opening the device was refused (EACCES, EPERM).
    static std::string AccessAdvice(const SAccessFacts& facts);
    // What to do when the device is in use: who holds it and how to free it. `usbId` is the
    // adapter's "vendor:product", "" when unknown.
    static std::string BusyAdvice(const std::string& devicePath,
                                  const std::vector<SHolder>& holders, const std::string& usbId);
    // What to do when the device is not there, given the devices that are.
    static std::string MissingAdvice(const std::vector<SSerialDevice>& present);
    // "minicom (process 1234)", or "process 1234" when the name is unknown.
    static std::string HolderText(const SHolder& holder);
};

}  // namespace orvex
