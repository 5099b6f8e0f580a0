#include "link/CommPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/DeviceLink.h"
#include "link/ErrorReport.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"

namespace orvex {

namespace {

// How long the receive thread rests after a hang-up or a read error before it looks again,
// and how long a write waits for room on a line that takes nothing.
constexpr int kBackOffMs = 100;
constexpr int kWriteWaitMs = 2000;

speed_t SpeedFor(uint32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B9600;
    }
}

}  // namespace

CCommPort::Handle::~Handle() {
    if (fd >= 0) {
        // The exclusive mode belongs to the terminal, not to this descriptor: release it, or
        // a terminal that stays open elsewhere would refuse the next opening.
        ioctl(fd, TIOCNXCL);
        tcflush(fd, TCIOFLUSH);
        ::close(fd);  // also releases the flock
    }
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() {
    Close();
}

std::string CCommPort::OverrideVariable(int portNumber) {
    return "ORVEX_COM" + std::to_string(portNumber);
}

namespace {

// 1..9 for "COM1".."COM9", else 0.
int PortNumberOf(const std::string& portName) {
    if (portName.size() == 4 && portName.compare(0, 3, "COM") == 0 && portName[3] >= '1' &&
        portName[3] <= '9') {
        return portName[3] - '0';
    }
    return 0;
}

}  // namespace

std::string CCommPort::DevicePathFor(const std::string& portName) {
    const int number = PortNumberOf(portName);
    if (number == 0) {
        return portName;
    }
    if (const char* value = std::getenv(OverrideVariable(number).c_str()); value && *value) {
        return value;
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

void CCommPort::SetMappedDevice(int portNumber, const std::string& path) {
    if (portNumber >= 1 && portNumber <= static_cast<int>(m_mapped.size())) {
        std::lock_guard lock(m_mappedMutex);
        m_mapped[portNumber - 1] = path;
    }
}

std::string CCommPort::MappedDevice(int portNumber) const {
    if (portNumber < 1 || portNumber > static_cast<int>(m_mapped.size())) {
        return {};
    }
    std::lock_guard lock(m_mappedMutex);
    return m_mapped[portNumber - 1];
}

CCommPort::SDevice CCommPort::ResolveDevice(const std::string& portName) const {
    const int number = PortNumberOf(portName);
    if (number == 0) {
        return {portName, EDeviceSource::kName};
    }
    if (const char* value = std::getenv(OverrideVariable(number).c_str()); value && *value) {
        return {value, EDeviceSource::kEnvironment};
    }
    if (std::string mapped = MappedDevice(number); !mapped.empty()) {
        return {mapped, EDeviceSource::kMapped};
    }
    return {DevicePathFor(portName), EDeviceSource::kDefault};
}

bool CCommPort::Fail(EPortStep step, const std::string& what, int error) {
    m_lastError = what + ": " + std::strerror(error);
    m_failure.step = step;
    m_failure.error = error;
    return false;
}

bool CCommPort::Open(const std::string& portName, uint32_t baudRate, uint16_t portIndex,
                     CDeviceLink* link) {
    Close();
    m_portIndex = portIndex;
    m_open = 0;
    m_portName = portName;
    m_baudRate = baudRate;
    m_devicePath = ResolveDevice(portName).path;
    m_lastError.clear();
    m_failure = {portName, m_devicePath, EPortStep::kNone, 0};

    auto handle = std::make_shared<Handle>();
    handle->opening = ++m_opening;
    handle->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (handle->wakeFd < 0) {
        return Fail(EPortStep::kThread, "cannot create the wake-up descriptor", errno);
    }
    handle->fd = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle->fd < 0) {
        return Fail(EPortStep::kOpen, "cannot open " + m_devicePath, errno);
    }
    // Another program (or another copy of this one) holding the port makes the open fail, as
    // an exclusively opened port does.
    if (flock(handle->fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            Fail(EPortStep::kLock, "", error);
            m_lastError = m_devicePath + " is in use by another program";
            return false;
        }
        return Fail(EPortStep::kLock, "cannot lock " + m_devicePath, error);
    }
    termios tio{};
    if (tcgetattr(handle->fd, &tio) != 0) {
        return Fail(EPortStep::kTerminal, m_devicePath + " is not a serial port", errno);
    }
    ioctl(handle->fd, TIOCEXCL);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | PARENB | CSTOPB | CSIZE);
    tio.c_cflag |= CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedFor(baudRate));
    cfsetospeed(&tio, SpeedFor(baudRate));
    if (tcsetattr(handle->fd, TCSANOW, &tio) != 0) {
        return Fail(EPortStep::kSettings, "cannot set the line settings of " + m_devicePath, errno);
    }
    // A pseudo-terminal has no modem lines; there the failure is expected and harmless.
    int dtr = TIOCM_DTR;
    ioctl(handle->fd, TIOCMBIS, &dtr);
    tcflush(handle->fd, TCIOFLUSH);

    {
        std::lock_guard lock(m_writeMutex);
        m_handle = handle;
    }
    m_open = 1;
    m_threadRunning = true;
    try {
        m_thread = std::thread([link, handle] { ThreadWatchComm(link, handle); });
    } catch (const std::system_error& e) {
        m_threadRunning = false;
        Close();
        return Fail(EPortStep::kThread, "cannot start the receive thread", e.code().value());
    }
    return true;
}

void CCommPort::Close() {
    m_open = 0;
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(m_writeMutex);
        handle.swap(m_handle);
    }
    if (handle) {
        handle->closing = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(handle->wakeFd, &one, sizeof one);
    }
    if (m_thread.joinable()) {
        // A thread showing a report waits for the user; it ends by itself once the box is
        // closed, and the descriptors live until then through its own reference.
        if (m_thread.get_id() == std::this_thread::get_id() || m_threadInReport) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
}

int CCommPort::ReadFd(int fd, uint8_t* buffer, int maxBytes) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = ::read(fd, buffer, static_cast<size_t>(maxBytes));
        if (n >= 0) {
            return static_cast<int>(n);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

int CCommPort::Read(uint8_t* buffer, int maxBytes) {
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(m_writeMutex);
        handle = m_handle;
    }
    return handle ? ReadFd(handle->fd, buffer, maxBytes) : 0;
}

int CCommPort::Write(const uint8_t* data, int length) {
    std::lock_guard lock(m_writeMutex);
    if (!m_handle || length <= 0) {
        return 0;
    }
    const int fd = m_handle->fd;
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd, data + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, kWriteWaitMs) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                break;
            }
        } else {
            break;
        }
    }
    return written;
}

int ThreadWatchComm(CDeviceLink* link, std::shared_ptr<CCommPort::Handle> handle) {
    CCommPort& port = link->Port();
    CErrorReport errors;
    auto report = [&port](auto&& raise) {
        port.m_threadInReport = true;
        raise();
        port.m_threadInReport = false;
    };
    int result = 1;
    pollfd fds[2] = {{handle->fd, POLLIN, 0}, {handle->wakeFd, POLLIN, 0}};
    if (handle->fd < 0 || handle->wakeFd < 0) {
        report([&] { errors.Error302(port.PortName()); });
        result = 0;
    }
    uint8_t chunk[CRecvQueue::kSize];
    while (result == 1 && !handle->closing) {
        fds[0].revents = fds[1].revents = 0;
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            report([&] { errors.Error302(port.PortName()); });
            result = 0;
            break;
        }
        if (fds[1].revents != 0 || handle->closing) {
            break;
        }
        bool received = false;
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const int n = CCommPort::ReadFd(handle->fd, chunk, sizeof chunk);
                if (n <= 0 || handle->closing) {
                    break;
                }
                received = true;
                CRecvQueue& queue = port.Queue();
                if (n < CRecvQueue::kSize - queue.Count()) {
                    link->OnReceiveHook();
                    queue.PushAll(chunk, n);
                } else {
                    report([&] { errors.Error303(); });
                }
            }
        }
        if (received) {
            if (IMessageTarget* target = LinkState().mainWindow.load()) {
                target->PostMessage(kMsgBytesArrived, port.PortIndex(), 0);
            }
        } else if (fds[0].revents != 0) {
            // A hang-up, an error, or readable with nothing to read (the other end went away):
            // rest instead of spinning. A hang-up is told to the link once per opening; it
            // closes the port and looks for the device again.
            if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) &&
                !handle->hungUp.exchange(true)) {
                if (IMessageTarget* target = LinkState().mainWindow.load()) {
                    target->PostMessage(kMsgPortHungUp, port.PortIndex(), handle->opening);
                }
            }
            pollfd wake{handle->wakeFd, POLLIN, 0};
            poll(&wake, 1, kBackOffMs);
        }
    }
    port.m_threadRunning = false;
    return result;
}

}  // namespace orvex
