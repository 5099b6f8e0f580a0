#include "app/settings/PortMap.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/settings/AtomicFile.h"

namespace orvex {

std::string CPortMap::PathIn(const std::string& programDirectory) {
    return programDirectory + kFileName;
}

std::string CPortMap::DefaultDevice(int portNumber) {
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

bool CPortMap::IsValidDevice(const std::string& device) {
    if (device.empty() || device[0] != '/') {
        return false;
    }
    for (unsigned char c : device) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

const std::string& CPortMap::Device(int portNumber) const {
    static const std::string kNone;
    return portNumber >= 1 && portNumber <= kPorts ? m_devices[portNumber - 1] : kNone;
}

bool CPortMap::SetDevice(int portNumber, const std::string& device) {
    if (portNumber < 1 || portNumber > kPorts || (!device.empty() && !IsValidDevice(device))) {
        return false;
    }
    m_devices[portNumber - 1] = device;
    return true;
}

void CPortMap::Parse(const std::string& text) {
    m_devices = {};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // "COMn=" with n from 1 to 4, then the path; anything else is a comment or noise.
        if (line.size() < 6 || line.compare(0, 3, "COM") != 0 || line[4] != '=' || line[3] < '1' ||
            line[3] > '0' + kPorts) {
            continue;
        }
        SetDevice(line[3] - '0', line.substr(5));
    }
}

std::string CPortMap::Text() const {
    std::string text =
        "# Orvex Manager: the serial device that each port name opens.\n"
        "# Written by Communication > Configuration. One line per port, COMn=/path;\n"
        "# a port without a line opens /dev/ttyS(n-1).\n";
    for (int n = 1; n <= kPorts; ++n) {
        if (!Device(n).empty()) {
            text += "COM" + std::to_string(n) + "=" + Device(n) + "\n";
        }
    }
    return text;
}

bool CPortMap::Load(const std::string& path, std::string& error) {
    m_devices = {};
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) {
            return true;
        }
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    Parse(text.str());
    return true;
}

bool CPortMap::Save(const std::string& path, std::string& error) const {
    return CAtomicFile::Replace(path, Text(), error);
}

}  // namespace orvex
