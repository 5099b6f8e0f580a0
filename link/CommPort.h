#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/ByteSink.h"
#include "link/PortFailure.h"
#include "link/RecvQueue.h"

namespace orvex {

class CDeviceLink;

// The serial port of the pager: opened exclusively at 9600 baud, 8 data bits, no parity, one
// stop bit, no flow control, DTR on, with reads that return at once. While it is open the
// receive thread (ThreadWatchComm) moves arriving bytes into the receive queue and posts one
// "bytes arrived" notification per wake-up to the main window.
//
// The port names the user sees are "COM1" to "COM4"; COMn opens the device named by the
// environment variable ORVEX_COMn when it is set (for this run only), else the device the user
// mapped to COMn, else /dev/ttyS(n-1).
//
// A hang-up on the open port (an adapter pulled out, the other end of a pseudo-terminal
// closed) is posted once per opening to the main window as kMsgPortHungUp, with the opening's
// number, so that the link can close the port and look for the device again.
class CCommPort : public IByteSink {
  public:
    // Where the device file of a port name came from.
    enum class EDeviceSource { kEnvironment, kMapped, kDefault, kName };
    struct SDevice {
        std::string path;
        EDeviceSource source = EDeviceSource::kName;
    };

    // What the receive thread holds: the descriptors of one opening of the port. The thread
    // keeps its own reference, so the descriptors stay valid until it has left its loop even
    // when Close could not wait for it.
    struct Handle {
        int fd = -1;
        int wakeFd = -1;  // an eventfd that Close signals
        int opening = 0;  // the number of the Open that made it
        std::atomic<bool> closing{false};
        std::atomic<bool> hungUp{false};
        ~Handle();
    };

    CCommPort();
    ~CCommPort() override;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Opens and configures the port and starts the receive thread for `link`. A failure
    // returns false without a message; LastError() and LastFailure() then say why.
    bool Open(const std::string& portName, uint32_t baudRate, uint16_t portIndex,
              CDeviceLink* link);
    // Ends the receive thread and closes the port.
    void Close();
    // Reads what has arrived, at most maxBytes; never waits. 0 when nothing is waiting.
    int Read(uint8_t* buffer, int maxBytes);
    // Writes the whole buffer, waiting for room when the line is busy. Every writer shares one
    // lock, so the bytes of two writers never interleave. Returns the bytes written.
    int Write(const uint8_t* data, int length) override;

    CRecvQueue& Queue() { return m_queue; }
    const CRecvQueue& Queue() const { return m_queue; }
    bool IsOpen() const { return m_open.load() != 0; }
    uint16_t PortIndex() const { return m_portIndex; }
    const std::string& PortName() const { return m_portName; }
    // The name the next Open uses; the port changes only while it is closed.
    void SetPortName(const std::string& name) { m_portName = name; }
    uint32_t BaudRate() const { return m_baudRate; }
    // The device file of the last Open, and the system's reason when it failed.
    const std::string& DevicePath() const { return m_devicePath; }
    const std::string& LastError() const { return m_lastError; }
    const SPortFailure& LastFailure() const { return m_failure; }
    // The number of the current (or last) opening; hang-up notices carry it.
    int Opening() const { return m_opening.load(); }

    // The device the user mapped to COMn (n = 1..4); empty for none.
    void SetMappedDevice(int portNumber, const std::string& path);
    std::string MappedDevice(int portNumber) const;
    // The device file that a port name opens now, and why that one.
    SDevice ResolveDevice(const std::string& portName) const;
    // The environment variable that overrides COMn ("ORVEX_COM1").
    static std::string OverrideVariable(int portNumber);
    // The receive thread is running.
    bool ThreadRunning() const { return m_threadRunning.load(); }

    // The device file that a port name opens when nothing is mapped to it.
    static std::string DevicePathFor(const std::string& portName);
    // Reads what has arrived on fd without waiting.
    static int ReadFd(int fd, uint8_t* buffer, int maxBytes);

  private:
    friend int ThreadWatchComm(CDeviceLink* link, std::shared_ptr<Handle> handle);

    bool Fail(EPortStep step, const std::string& what, int error);

    CRecvQueue m_queue;
    std::atomic<int> m_open{0};
    uint16_t m_portIndex = 0;
    std::string m_portName = "COM1";
    uint32_t m_baudRate = 9600;
    std::string m_devicePath;
    std::string m_lastError;
    SPortFailure m_failure;
    std::atomic<int> m_opening{0};
    mutable std::mutex m_mappedMutex;
    std::array<std::string, 4> m_mapped;

    std::mutex m_writeMutex;  // every writer; also guards m_handle against Close
    std::shared_ptr<Handle> m_handle;
    std::thread m_thread;
    std::atomic<bool> m_threadRunning{false};
    std::atomic<bool> m_threadInReport{false};
};

// The receive thread: waits for the port or for Close, reads in chunks of up to 1024 bytes,
// queues them and posts one notification per wake-up. Returns 1 after an orderly end, 0 when
// it could not arm the port (Error 302).
int ThreadWatchComm(CDeviceLink* link, std::shared_ptr<CCommPort::Handle> handle);

}  // namespace orvex
