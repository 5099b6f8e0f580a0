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
#include "link/LinkFrames.h"
#include "link/LinkStates.h"
#include "link/LinkTimers.h"
#include "link/MessageTarget.h"
#include "link/PortDiagnosis.h"
#include "link/TimerService.h"
#include "link/Transfer.h"

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
// CLinkStates::Enter checks each move against that list; a move it does not hold is counted
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
    static constexpr int kSendFrameSize = CLinkFrames::kSendFrameSize;

    using ELinkState = CLinkStates::EState;
    static const char* StateName(ELinkState state) { return CLinkStates::Name(state); }
    static bool Allowed(ELinkState from, ELinkState to) { return CLinkStates::Allowed(from, to); }
    static int StateViolations() { return CLinkStates::Violations(); }

    // The program's link: the system clock, the process's timer facility and its own port.
    CDeviceLink();
    // A link on the given timers and clock. With a sink, bytes go there instead of to the
    // port, so that the engine can be driven by a byte stream that comes from no port.
    CDeviceLink(ITimerService& timers, IClock& clock, IByteSink* sink = nullptr);
    virtual ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Port selection and opening. SelectPort keeps the number (PortNumber) and, for 1 to 4,
    // selects COMn. OpenLink reports Error 301 with the reason and the way out when the port
    // cannot be opened; CloseLink also stops looking for a device.
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
    bool LookingForDevice() const { return m_state.Get() == ELinkState::kLooking; }
    ELinkState State() const { return m_state.Get(); }
    // The failure is a device file that is not there (an adapter not plugged in).
    // Why no device is present, for the user: the port is not open (and why), the device is
    // being looked for, or nothing answers on the open port.
    std::string WhyAbsent() const {
        return CPortDiagnosis::WhyAbsent(m_port, LookingForDevice(), PortOpen() != 0);
    }

    // Line operations.
    void RestartPolling();
    bool SendRecorded(const uint8_t* bytes, int length);
    bool SendByte(uint8_t byte) { return SendRecorded(&byte, 1); }
    void StartWatchdog() { m_lineTimers.StartWatchdog(); }
    void StopPollTimer() { m_lineTimers.StopPoll(); }
    void StopWatchdog() { m_lineTimers.StopWatchdog(); }

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
        return m_state.Get() == ELinkState::kSearching || m_state.Get() == ELinkState::kPresent ? 1
                                                                                                : 0;
    }
    int PortNumber() const { return m_portNumber; }
    uint8_t LastSent() const { return m_lastSent; }
    uint8_t PreviousSent() const { return m_previousSent; }
    uint8_t LastRejected() const { return m_lastRejected; }
    uint8_t FrameCommand() const { return m_frameCommand; }
    void SetFrameCommand(uint8_t command) { m_frameCommand = command; }
    bool SendPending() const { return m_sendPending != 0; }
    void SetSendPending(bool on) { m_sendPending = on ? 1 : 0; }
    // The transfer that runs now: its phase, counts and group slots.
    CTransfer& Transfer() { return m_transfer; }
    const CTransfer& Transfer() const { return m_transfer; }
    const uint8_t* RecvFrame() const { return m_frames.Received(); }
    const uint8_t* SendFrame() const { return m_frames.Sent(); }
    int SendFrameLength() const { return m_frames.SentLength(); }
    bool PollTimerRunning() const { return m_lineTimers.PollRunning(); }
    bool WatchdogRunning() const { return m_lineTimers.WatchdogRunning(); }
    CErrorReport& Errors() { return m_errors; }

    static uint8_t Checksum(const uint8_t* bytes, int length) {
        return CLinkFrames::Checksum(bytes, length);
    }

  private:
    void RecordSent(uint8_t byte);
    void WriteUnrecorded(uint8_t byte);
    void NakInvalidFrame();
    bool AcceptFrame(const uint8_t* unit, int length, uint8_t request, int minPayload);
    void HandleAck();
    void HandleRejection();
    void OnPhaseStartAccepted(CTransfer::EPhase phase, uint32_t nextMessage);
    void OnRecordAccepted(CTransfer::EPhase phase, uint32_t nextMessage);
    void StartPollTimer() { m_lineTimers.StartPoll(); }
    void StartLooking();
    void StopLooking();

    static constexpr uint32_t kPortSettleMs = 100;

    CCommPort m_port;
    CLinkStates m_state{ELinkState::kClosed};
    int m_portNumber = 1;
    std::atomic<uint8_t> m_previousSent{kPoll};
    std::atomic<uint8_t> m_lastSent{kPoll};
    std::atomic<uint8_t> m_lastRejected{0};
    std::atomic<int> m_sendPending{0};
    std::atomic<uint8_t> m_frameCommand{0};
    CTransfer m_transfer;
    CLinkFrames m_frames;
    CErrorReport m_errors;

    IClock& m_clock;
    IByteSink* m_sink;
    std::recursive_mutex m_lineMutex;
    // Last, so that it is built when the callbacks it is given may run.
    CLinkTimers m_lineTimers;
};

}  // namespace orvex
