#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvex {

// One serial device of this computer, as the user chooses it.
struct SSerialDevice {
    // What the user picks: the /dev/serial/by-id/... link that points at the node when there is
    // one (it keeps its name when adapters are plugged in another order), else the node.
    std::string path;
    std::string kernelPath;   // the device node, e.g. /dev/ttyUSB0
    std::string description;  // "USB-Serial Controller, Prolific Technology Inc., serial 0123"
    std::string usbId;        // "067b:2303" (vendor:product) for a USB adapter, else ""

    // The path, followed by the description in parentheses when one is known.
    std::string DisplayText() const;
};

// The serial devices present on this computer, read from sysfs and /dev/serial/by-id.
//
// A tty counts when sysfs gives it a `device` (virtual consoles and pseudo-terminals have
// none) and its node exists in /dev. A ttyS* whose UART type is 0 is left out: PCs list many
// such ports where no hardware is. Order: devices with a by-id name first, then ttyACM,
// ttyUSB, ttyS and the rest, each in natural order (ttyS2 before ttyS10).
class CSerialDevices {
  public:
    // Where the system is looked at; tests point these at folders of their own.
    struct SRoots {
        std::string sysClassTty = "/sys/class/tty";
        std::string byId = "/dev/serial/by-id";
        std::string dev = "/dev";
    };

    // Every serial device present; empty when none is, or the roots cannot be read. Without
    // roots, this machine's.
    static std::vector<SSerialDevice> List();
    static std::vector<SSerialDevice> List(const SRoots& roots);
    // The device whose path or node is `path`, or whose node `path` resolves to (a by-id link,
    // any other link): what a configured path means. None when it names no present device.
    static std::optional<SSerialDevice> Find(const std::string& path);
    static std::optional<SSerialDevice> Find(const std::string& path, const SRoots& roots);
    // Where `path` leads, every link resolved (a by-id name gives its node); "" when some part
    // of it is missing.
    static std::string Resolve(const std::string& path);
    // a < b with runs of digits compared as numbers: "ttyS2" before "ttyS10".
    static bool NaturalLess(const std::string& a, const std::string& b);
};

}  // namespace orvex
