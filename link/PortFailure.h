#pragma once

#include <string>

namespace orvex {

// The step at which opening a serial port failed.
enum class EPortStep {
    kNone,      // nothing failed
    kOpen,      // open() of the device file
    kLock,      // flock(): another program holds the port (error EWOULDBLOCK) or the lock failed
    kTerminal,  // the file opened but is not a terminal (tcgetattr)
    kSettings,  // the line settings were refused (tcsetattr)
    kThread,    // the wake-up descriptor or the receive thread could not be made
};

// Why the last opening of a port failed: what the user chose, the device file that it meant,
// the step, and the system's error number at that step.
struct SPortFailure {
    std::string portName;    // "COM1"
    std::string devicePath;  // "/dev/serial/by-id/usb-..." as opened, links not resolved
    EPortStep step = EPortStep::kNone;
    int error = 0;  // errno
};

}  // namespace orvex
