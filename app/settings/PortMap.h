#pragma once

#include <array>
#include <string>

namespace orvex {

// The device file each port name means: COM1 to COM4 stay the names the user chooses between,
// and this map says which serial device each one opens. It lives in "OrvexPorts.conf" in the
// program directory, apart from OrvexMgr.ini, whose nine lines stay as they always were.
//
// The file is text, one line per mapped port:
//
//     # comments and blank lines are ignored
//     COM1=/dev/serial/by-id/usb-...-if00-port0
//
// A path is kept as written: a /dev/serial/by-id/ link stays that link, so the adapter is
// found again after the system renumbers it (ttyUSB0 becoming ttyUSB1). A port without a line
// opens /dev/ttyS(n-1).
class CPortMap {
  public:
    static constexpr const char* kFileName = "OrvexPorts.conf";
    static constexpr int kPorts = 4;

    // The map file in a program directory ending with "/".
    static std::string PathIn(const std::string& programDirectory);

    // Reads the file. A missing file is an empty map and no failure; lines that are not a
    // mapping of COM1 to COM4 to an absolute path are skipped. False (with `error`) only when
    // the file exists and cannot be read.
    bool Load(const std::string& path, std::string& error);
    // Replaces the file atomically with the current mappings.
    bool Save(const std::string& path, std::string& error) const;

    // The device mapped to COMn (n = 1..4); empty when none is.
    const std::string& Device(int portNumber) const;
    // Maps COMn to `device`; an empty device removes the mapping. False for a port outside
    // 1..4 or a device that is not an absolute path on one line.
    bool SetDevice(int portNumber, const std::string& device);

    // The device COMn opens when nothing is mapped: /dev/ttyS(n-1).
    static std::string DefaultDevice(int portNumber);
    // The text of the file for the current mappings.
    std::string Text() const;
    // Takes the mappings out of a file's text.
    void Parse(const std::string& text);

    static bool IsValidDevice(const std::string& device);

  private:
    std::array<std::string, kPorts> m_devices;
};

}  // namespace orvex
