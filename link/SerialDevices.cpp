#include "link/SerialDevices.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace orvex {

namespace fs = std::filesystem;

namespace {

// How far above a tty's device directory the USB device that carries it may be: the
// interface, the device, and a hub or two in between on odd adapters.
constexpr int kMaxUsbDepth = 8;

std::string Trimmed(const std::string& text) {
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), text.rend(), isSpace).base();
    return begin < end ? std::string(begin, end) : std::string();
}

// A sysfs attribute, trimmed; "" when the file is missing or unreadable.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return Trimmed(text);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The names in a folder, in natural order; empty when it cannot be read.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), CSerialDevices::NaturalLess);
    return names;
}

// Fills usbId and description from the USB device above the tty's device directory.
void DescribeUsb(const fs::path& deviceDir, SSerialDevice& device) {
    fs::path dir = deviceDir;
    for (int depth = 0; depth < kMaxUsbDepth && dir.has_relative_path(); ++depth) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            device.usbId = Attribute(dir / "idVendor") + ":" + Attribute(dir / "idProduct");
            std::string text;
            for (const std::string& part :
                 {Attribute(dir / "product"), Attribute(dir / "manufacturer")}) {
                if (!part.empty()) {
                    text += (text.empty() ? "" : ", ") + part;
                }
            }
            if (std::string serial = Attribute(dir / "serial"); !serial.empty()) {
                text += (text.empty() ? "serial " : ", serial ") + serial;
            }
            device.description = text.empty() ? "USB device " + device.usbId : text;
            return;
        }
        dir = dir.parent_path();
    }
}

// The place of a device in the list: by-id ones, ttyACM, ttyUSB, ttyS, the rest.
int Rank(const SSerialDevice& device, const std::string& name) {
    if (device.path != device.kernelPath) {
        return 0;
    }
    if (name.rfind("ttyACM", 0) == 0) {
        return 1;
    }
    if (name.rfind("ttyUSB", 0) == 0) {
        return 2;
    }
    return name.rfind("ttyS", 0) == 0 ? 3 : 4;
}

}  // namespace

std::string SSerialDevice::DisplayText() const {
    return description.empty() ? path : path + "  (" + description + ")";
}

bool CSerialDevices::NaturalLess(const std::string& a, const std::string& b) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            // Compare the numbers without leading zeros: first by length, then digit by digit.
            std::string numA = a.substr(i, endA - i);
            std::string numB = b.substr(j, endB - j);
            numA.erase(0, std::min(numA.find_first_not_of('0'), numA.size()));
            numB.erase(0, std::min(numB.find_first_not_of('0'), numB.size()));
            if (numA.size() != numB.size()) {
                return numA.size() < numB.size();
            }
            if (numA != numB) {
                return numA < numB;
            }
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    if ((a.size() - i) != (b.size() - j)) {
        return (a.size() - i) < (b.size() - j);
    }
    return a < b;  // equal but for leading zeros: keep a strict order
}

std::string CSerialDevices::Resolve(const std::string& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? std::string() : real.string();
}

std::vector<SSerialDevice> CSerialDevices::List() {
    return List(SRoots());
}

std::optional<SSerialDevice> CSerialDevices::Find(const std::string& path) {
    return Find(path, SRoots());
}

std::vector<SSerialDevice> CSerialDevices::List(const SRoots& roots) {
    // The stable names: node -> the first by-id link that leads to it.
    std::map<std::string, std::string> byIdFor;
    for (const std::string& name : Names(roots.byId)) {
        const std::string link = roots.byId + "/" + name;
        if (std::string node = Resolve(link); !node.empty()) {
            byIdFor.emplace(node, link);
        }
    }

    struct SEntry {
        int rank;
        std::string name;
        SSerialDevice device;
    };
    std::vector<SEntry> entries;
    for (const std::string& name : Names(roots.sysClassTty)) {
        const fs::path entry = fs::path(roots.sysClassTty) / name;
        const std::string deviceDir = Resolve((entry / "device").string());
        if (deviceDir.empty()) {
            continue;  // virtual: a console, a pseudo-terminal
        }
        if (name.rfind("ttyS", 0) == 0 && Attribute(entry / "type") == "0") {
            continue;  // a UART slot with nothing in it
        }
        SSerialDevice device;
        device.kernelPath = roots.dev + "/" + name;
        if (!Exists(device.kernelPath)) {
            continue;  // not reachable here (a container that sees the host's sysfs)
        }
        const auto link = byIdFor.find(Resolve(device.kernelPath));
        device.path = link != byIdFor.end() ? link->second : device.kernelPath;
        DescribeUsb(deviceDir, device);
        const int rank = Rank(device, name);
        entries.push_back({rank, name, std::move(device)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const SEntry& a, const SEntry& b) {
        return a.rank != b.rank ? a.rank < b.rank : NaturalLess(a.name, b.name);
    });

    std::vector<SSerialDevice> devices;
    devices.reserve(entries.size());
    for (SEntry& entry : entries) {
        devices.push_back(std::move(entry.device));
    }
    return devices;
}

std::optional<SSerialDevice> CSerialDevices::Find(const std::string& path, const SRoots& roots) {
    if (path.empty()) {
        return std::nullopt;
    }
    const std::vector<SSerialDevice> devices = List(roots);
    for (const SSerialDevice& device : devices) {
        if (path == device.path || path == device.kernelPath) {
            return device;
        }
    }
    const std::string node = Resolve(path);
    if (node.empty()) {
        return std::nullopt;
    }
    for (const SSerialDevice& device : devices) {
        if (Resolve(device.kernelPath) == node) {
            return device;
        }
    }
    return std::nullopt;
}

}  // namespace orvex
