#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/ByteSink.h"
#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/ErrorReport.h"
#include "link/LinkCodes.h"
#include "link/MessageTarget.h"
#include "link/TimerService.h"

namespace orvex {

// The protocol engine between the PC and the pager.
//
// The line is half-duplex: one side holds it and sends a single control byte or one framed
// command, and the other side answers each with one acknowledgement byte. While idle the PC
// polls every 800 ms; a device that answers the poll and the following EOT is present. The
// engine keeps one prepared outgoing frame; the transfer handlers prepare it and raise the
// send-pending flag, and the engine gets the line and sends it at the next poll.
//
// The link's state (ELinkState, in State()) and the functions that move it:
//
//   Closed    --OpenLink, the port opens-->                          Searching
//   Closed    --OpenLink, the device file is missing-->              Looking
//   Looking   --OnReopenTimer, the same device file opens-->         Searching
//   Searching --HandleAck: the device ACKs POLL, then EOT (0x403)-->  Present
//   Present   --FailureResumeStatus: link lost or Stop-->            Searching
//   Searching, Present --OnPortHungUp: the port hangs up-->          Looking
//   any       --CloseLink (also inside ChangePort)-->                Closed
//
// Enter() checks each move against that list; a move it does not hold is counted
// (StateViolations, which the tests check) and stops a debug build. The watchdog acts only
// while the port is open: one left running by a port that has since closed has nothing to
// wait for. Dispatch reads any unit it is given, as the record decoding is also used without
// a port.
//
// Within Searching and Present the exchange on the line is read from the last two bytes sent:
//
//   idle: POLL/ACK, EOT/ACK every 800 ms (the device absent until it answers both)
//   send-pending at a poll: POLL/ACK, STX/ACK, the frame/ACK, ETX/ACK, EOT --> the device
//          answers STX (it sends: frames/ACK, ETX/ACK, EOT) or ACK; then the PC sends STX
//          (pending) or EOT and polls again
//   watchdog: no reply for 800 ms (8 s for the first wait of an upload) --> retry with POLL;
//          the 4th time-out in a row: link lost (0x402 (4, 0)), queue emptied, polling
//          resumes from the status timer
//   the same byte rejected more than 4 times --> 0x402 (0, 0)
//
// Threads: the frame assembly, Dispatch and every handler run on the user-interface thread;
// the poll tick and the watchdog run on the timer thread; the receive thread only clears the
// reply-wait flag and stops the timers. Port writes and the start and stop of the two timers
// are serialised by one lock, held around each step and never across a window message.
class CDeviceLink {
  public:
    static constexpr int kSendFrameSize = 1024;

    enum class ELinkState : uint8_t {
        kClosed,     // no port open, none looked for
        kLooking,    // the device file is missing; the reopen timer tries it every 2 s
        kSearching,  // the port is open; polling, no device has answered yet
        kPresent,    // a device answered the poll and the EOT
    };
    static const char* StateName(ELinkState state);
    // Whether the list above has the move.
    static bool Allowed(ELinkState from, ELinkState to);
    // Moves this process's links made that the list does not have.
    static int StateViolations();

    // The program's link: the system clock, the process's timer facility and its own port.
    CDeviceLink();
    // A link on the given timers and clock. With a sink, bytes go there instead of to the
    // port, so that the engine can be driven by a byte stream that comes from no port.
    CDeviceLink(ITimerService& timers, IClock& clock, IByteSink* sink = nullptr);
    virtual ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Port selection and opening. OpenLink reports Error 301 with the reason and the way out
    // when the port cannot be opened; CloseLink also stops looking for a device.
    void SelectPort(int portNumber);
    void OpenLink();
    void CloseLink();
    // Opens the port and starts the search for the device: the status timer and the
    // connection pane's "Connecting...".
    void StartLink();
    // A port change: the timers stop, "Disconnected", the port closes, settles for 100 ms, and
    // the new port (COMn, n = portNumber) starts as in StartLink.
    void ChangePort(int portNumber);

    // Re-plugging. The receive thread's hang-up notice (kMsgPortHungUp, lParam the opening):
    // the port closes, the link is lost, and the link looks for the device again...
    void OnPortHungUp(int opening);
    // ...on the reopen timer (window timer 1), every two seconds, until the same device file
    // opens again; then polling resumes. A device missing at OpenLink is looked for the same way.
    void OnReopenTimer();
    bool LookingForDevice() const { return m_state == ELinkState::kLooking; }
    ELinkState State() const { return m_state; }
    // The failure is a device file that is not there (an adapter not plugged in).
    static bool DeviceMissing(const SPortFailure& failure);
    // Why no device is present, for the user: the port is not open (and why), the device is
    // being looked for, or nothing answers on the open port.
    std::string WhyAbsent() const;

    // Line operations.
    void RestartPolling();
    bool SendRecorded(const uint8_t* bytes, int length);
    bool SendByte(uint8_t byte) { return SendRecorded(&byte, 1); }
    void StartWatchdog();
    void StopPollTimer();
    void StopWatchdog();

    // On 0x401: takes every complete unit out of the receive queue and dispatches it.
    void AssembleFrames();
    // Processes one received unit.
    void Dispatch(const uint8_t* unit, int length);

    // Called by the receive thread when bytes that fit the queue have arrived.
    void OnReceiveHook();
    // The timer callbacks.
    void OnPollTick();
    void OnWatchdog();

    // Frame preparation: the frame (command, length, payload, checksum, trailer) goes into the
    // send frame buffer and its command becomes the frame command byte. PrepareFrame also
    // raises send-pending.
    void BuildFrame(uint8_t command, const uint8_t* payload, int length);
    void PrepareFrame(uint8_t command, const uint8_t* payload, int length);

    // The link's share of the failure handler (0x402 with wParam w and lParam s): before the
    // transfer clean-up, stop the timers if needed and forget the prepared frame and counts...
    void FailureStopLink(int w, int s);
    // ...and after it, the connection state and the status timer.
    void FailureResumeStatus(int w, int s);
    // The main window's status timer (window timer 0) expired. While the main window is busy
    // (a transfer or an edit) no status request is made.
    void OnStatusTimer(int maxPersonal, bool busy = false);

    // Members read and written by the transfers, the status display and the tests.
    CCommPort& Port() { return m_port; }
    int PortOpen() const {
        return m_state == ELinkState::kSearching || m_state == ELinkState::kPresent ? 1 : 0;
    }
    int PortNumber() const { return m_portNumber; }
    void SetPortNumber(int number) { m_portNumber = number; }
    uint8_t LastSent() const { return m_lastSent; }
    uint8_t PreviousSent() const { return m_previousSent; }
    uint8_t LastRejected() const { return m_lastRejected; }
    uint8_t FrameCommand() const { return m_frameCommand; }
    void SetFrameCommand(uint8_t command) { m_frameCommand = command; }
    bool SendPending() const { return m_sendPending != 0; }
    void SetSendPending(bool on) { m_sendPending = on ? 1 : 0; }
    bool Downloading() const { return m_download != 0; }
    void SetDownloading(bool on) { m_download = on ? 1 : 0; }
    bool Uploading() const { return m_upload != 0; }
    void SetUploading(bool on) { m_upload = on ? 1 : 0; }
    bool UploadingGroups() const { return m_groupUpload != 0; }
    void SetUploadingGroups(bool on) { m_groupUpload = on ? 1 : 0; }
    int ExpectedCount() const { return m_expected; }
    void SetExpectedCount(int n) { m_expected = n; }
    int TransferredCount() const { return m_transferred; }
    void SetTransferredCount(int n) { m_transferred = n; }
    const uint8_t* RecvFrame() const { return m_recvFrame; }
    const uint8_t* SendFrame() const { return m_sendFrame; }
    int SendFrameLength() const;
    bool PollTimerRunning() const { return m_pollTimerId != 0; }
    bool WatchdogRunning() const { return m_watchdogTimerId != 0; }
    CErrorReport& Errors() { return m_errors; }

    static uint8_t Checksum(const uint8_t* bytes, int length);
    static bool IsControlByte(uint8_t byte);

  private:
    void RecordSent(uint8_t byte);
    void WriteUnrecorded(uint8_t byte);
    void NakInvalidFrame();
    // Copies the unit into the receive frame buffer; true when it is a whole frame with a
    // payload of at least minPayload bytes and a right checksum.
    bool ValidateFrame(const uint8_t* unit, int length, int minPayload = 0);
    void HandleAck();
    void HandleRejection();
    void StartPollTimer();
    void Post(uint32_t message, intptr_t wParam, intptr_t lParam);
    intptr_t Send(uint32_t message, intptr_t wParam, intptr_t lParam);
    void SetPane(StatusPane pane, const std::string& text);
    bool TransferRunning() const;
    void StartLooking();
    void StopLooking();
    void Enter(ELinkState to);

    static constexpr uint32_t kPortSettleMs = 100;

    CCommPort m_port;
    std::atomic<ELinkState> m_state{ELinkState::kClosed};
    int m_portNumber = 1;
    std::atomic<uint32_t> m_pollTimerId{0};
    std::atomic<uint32_t> m_watchdogTimerId{0};
    std::atomic<uint8_t> m_previousSent{kPoll};
    std::atomic<uint8_t> m_lastSent{kPoll};
    std::atomic<uint8_t> m_lastRejected{0};
    std::atomic<int> m_sendPending{0};
    std::atomic<int> m_download{0};
    std::atomic<int> m_upload{0};
    std::atomic<int> m_groupUpload{0};
    std::atomic<uint8_t> m_frameCommand{0};
    int m_expected = 1;
    int m_transferred = 0;
    uint8_t m_recvFrame[kRecvFrameSize] = {};
    uint8_t m_sendFrame[kSendFrameSize] = {};
    CErrorReport m_errors;

    ITimerService& m_timers;
    IClock& m_clock;
    IByteSink* m_sink;
    std::recursive_mutex m_lineMutex;
    std::atomic<bool> m_shuttingDown{false};
    // Timer callbacks of this link running now, on the timer thread: the destructor waits for
    // them, including one whose timer was already killed (a watchdog restarted by a reply).
    std::atomic<int> m_callbacksRunning{0};
};

}  // namespace orvex
