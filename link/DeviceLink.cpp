#include "link/DeviceLink.h"

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "link/LinkState.h"
#include "link/PortDiagnosis.h"
#include "link/TimerFacility.h"

namespace orvex {

namespace {

CSystemClock g_systemClock;

// Set while this thread runs one of a link's timer callbacks, so that a link destroyed from
// such a callback does not wait for itself.
thread_local int t_inLinkCallback = 0;

// Counts a timer callback of a link while it runs.
class CCallbackScope {
  public:
    explicit CCallbackScope(std::atomic<int>& running) : m_running(running) {
        ++m_running;
        ++t_inLinkCallback;
    }
    ~CCallbackScope() {
        --t_inLinkCallback;
        --m_running;
    }
    CCallbackScope(const CCallbackScope&) = delete;
    CCallbackScope& operator=(const CCallbackScope&) = delete;

  private:
    std::atomic<int>& m_running;
};

}  // namespace

CDeviceLink::CDeviceLink() : CDeviceLink(CTimerFacility::Instance(), g_systemClock) {}

CDeviceLink::CDeviceLink(ITimerService& timers, IClock& clock, IByteSink* sink)
    : m_state(sink ? ELinkState::kSearching : ELinkState::kClosed),
      m_timers(timers),
      m_clock(clock),
      m_sink(sink ? sink : &m_port) {
    // A link on a byte stream is open for its whole life.
    LinkState().ClearFlags();
}

CDeviceLink::~CDeviceLink() {
    m_shuttingDown = true;
    // A callback of ours may be running on the timer thread; it must be done before the
    // members it uses go away. The watchdog's wait notices m_shuttingDown within one step.
    m_timers.KillAndWait(m_pollTimerId.exchange(0));
    m_timers.KillAndWait(m_watchdogTimerId.exchange(0));
    // A watchdog whose timer was killed when it was restarted may still be in its wait; it
    // sees m_shuttingDown within one step. Then any timer re-armed meanwhile goes too.
    while (t_inLinkCallback == 0 && m_callbacksRunning.load() != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_timers.KillAndWait(m_pollTimerId.exchange(0));
    m_timers.KillAndWait(m_watchdogTimerId.exchange(0));
    m_port.Close();
}

// --- State --------------------------------------------------------------------------------

namespace {

std::atomic<int> g_stateViolations{0};

}  // namespace

const char* CDeviceLink::StateName(ELinkState state) {
    switch (state) {
        case ELinkState::kClosed:
            return "Closed";
        case ELinkState::kLooking:
            return "Looking";
        case ELinkState::kSearching:
            return "Searching";
        case ELinkState::kPresent:
            return "Present";
    }
    return "?";
}

bool CDeviceLink::Allowed(ELinkState from, ELinkState to) {
    using S = ELinkState;
    if (from == to || to == S::kClosed) {
        return true;
    }
    switch (to) {
        case S::kLooking:
            return from == S::kClosed || from == S::kSearching || from == S::kPresent;
        case S::kSearching:
            return from == S::kClosed || from == S::kLooking || from == S::kPresent;
        case S::kPresent:
            return from == S::kSearching;
        default:
            return false;
    }
}

int CDeviceLink::StateViolations() {
    return g_stateViolations;
}

void CDeviceLink::Enter(ELinkState to) {
    const ELinkState from = m_state.exchange(to);
    if (!Allowed(from, to)) {
        ++g_stateViolations;
        std::fprintf(stderr, "Orvex Manager: the link moved from %s to %s\n", StateName(from),
                     StateName(to));
        assert(!"a move of the link's state that its list does not have");
    }
}

// --- Port selection -------------------------------------------------------------------------

void CDeviceLink::SelectPort(int portNumber) {
    static const char* const kNames[] = {"COM1", "COM2", "COM3", "COM4"};
    if (portNumber < 1 || portNumber > 4) {
        return;
    }
    m_port.SetPortName(kNames[portNumber - 1]);
}

void CDeviceLink::OpenLink() {
    if (PortOpen()) {
        return;
    }
    if (m_port.Open(m_port.PortName(), 9600, static_cast<uint16_t>(m_portNumber - 1), this)) {
        SetPane(StatusPane::Port, m_port.PortName());
        StopLooking();
        Enter(ELinkState::kSearching);
        return;
    }
    const SPortFailure& failure = m_port.LastFailure();
    std::string details = CPortDiagnosis::Explain(failure);
    if (DeviceMissing(failure)) {
        // An adapter that is not plugged in yet is opened as soon as it appears.
        details +=
            "\nOrvex Manager keeps looking for the device and opens it as soon as it "
            "appears.";
        StartLooking();
    }
    m_errors.Error301(details);
}

void CDeviceLink::CloseLink() {
    StopLooking();
    if (PortOpen()) {
        m_port.Close();
        SetPane(StatusPane::Port, "CLOSE");
    }
    Enter(ELinkState::kClosed);
}

void CDeviceLink::StartLink() {
    OpenLink();
    IMessageTarget* target = LinkState().mainWindow.load();
    if (PortOpen() && target) {
        target->KillTimer(kStatusTimerId);
        target->SetTimer(kStatusTimerId, kStatusTimerMs);
    }
    SetPane(StatusPane::Connection, "Connecting...");
}

void CDeviceLink::ChangePort(int portNumber) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->KillTimer(kStatusTimerId);
    }
    StopPollTimer();
    StopWatchdog();
    LinkState().devicePresent = 0;
    SetPane(StatusPane::Connection, "Disconnected");
    CloseLink();
    // The old port settles before the new one is opened.
    m_clock.Sleep(kPortSettleMs);
    SetPortNumber(portNumber);
    SelectPort(portNumber);
    StartLink();
}

bool CDeviceLink::DeviceMissing(const SPortFailure& failure) {
    return failure.step == EPortStep::kOpen &&
           (failure.error == ENOENT || failure.error == ENODEV || failure.error == ENXIO);
}

void CDeviceLink::StartLooking() {
    Enter(ELinkState::kLooking);
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->SetTimer(kReopenTimerId, kReopenTimerMs);
    }
}

// Only the timer: the state moves on with what ends the looking (the port opens or closes).
void CDeviceLink::StopLooking() {
    if (m_state != ELinkState::kLooking) {
        return;
    }
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->KillTimer(kReopenTimerId);
    }
}

std::string CDeviceLink::WhyAbsent() const {
    const std::string where = m_port.PortName() + " (" + m_port.DevicePath() + ")";
    const std::string choose = "Communication > Configuration";
    if (LookingForDevice()) {
        return where +
               " is not there: the adapter is unplugged. Orvex Manager opens it again "
               "as soon as it is plugged in.";
    }
    if (!PortOpen()) {
        std::string text = m_port.PortName() + " is not open";
        if (!m_port.LastError().empty()) {
            text += ": " + m_port.LastError();
        }
        return text + ".\nChoose the pager's device in " + choose + ".";
    }
    return "No device answers on " + where +
           ".\nCheck that the pager is connected and switched "
           "on, and that it is on this device (" +
           choose + ").";
}

void CDeviceLink::OnPortHungUp(int opening) {
    if (!PortOpen() || opening != m_port.Opening()) {
        return;  // a notice of an opening that is already closed
    }
    StopPollTimer();
    StopWatchdog();
    m_port.Close();
    SetPane(StatusPane::Port, "CLOSE");
    StartLooking();
    // The rest is a lost link: "Disconnected", and a running transfer ends as after a time-out.
    Post(kMsgFailure, kFailureLinkLost, 0);
}

void CDeviceLink::OnReopenTimer() {
    if (PortOpen()) {
        if (IMessageTarget* target = LinkState().mainWindow.load()) {
            target->KillTimer(kReopenTimerId);
        }
        return;
    }
    if (!LookingForDevice() ||
        !m_port.Open(m_port.PortName(), 9600, static_cast<uint16_t>(m_portNumber - 1), this)) {
        return;  // not back yet; the timer tries again
    }
    StopLooking();
    Enter(ELinkState::kSearching);
    SetPane(StatusPane::Port, m_port.PortName());
    LinkState().devicePresent = 0;
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->KillTimer(kStatusTimerId);
        target->SetTimer(kStatusTimerId, kStatusTimerMs);
    }
    SetPane(StatusPane::Connection, "Connecting...");
    RestartPolling();
}

// --- Line operations ------------------------------------------------------------------------

void CDeviceLink::RecordSent(uint8_t byte) {
    m_previousSent = m_lastSent.load();
    m_lastSent = byte;
}

bool CDeviceLink::SendRecorded(const uint8_t* bytes, int length) {
    std::lock_guard lock(m_lineMutex);
    if (m_sink->Write(bytes, length) < length) {
        return false;
    }
    RecordSent(bytes[0]);
    StartWatchdog();
    return true;
}

void CDeviceLink::WriteUnrecorded(uint8_t byte) {
    std::lock_guard lock(m_lineMutex);
    m_sink->Write(&byte, 1);
}

void CDeviceLink::RestartPolling() {
    std::lock_guard lock(m_lineMutex);
    StopPollTimer();
    if (!PortOpen()) {
        return;
    }
    WriteUnrecorded(kPoll);
    RecordSent(kPoll);
    StartWatchdog();
    StartPollTimer();
}

void CDeviceLink::StartWatchdog() {
    std::lock_guard lock(m_lineMutex);
    StopWatchdog();
    if (m_shuttingDown) {
        return;
    }
    m_watchdogTimerId = m_timers.Start(kWatchdogPeriodMs, [this] {
        const CCallbackScope scope(m_callbacksRunning);
        OnWatchdog();
    });
}

void CDeviceLink::StartPollTimer() {
    std::lock_guard lock(m_lineMutex);
    StopPollTimer();
    if (m_shuttingDown) {
        return;
    }
    m_pollTimerId = m_timers.Start(kPollPeriodMs, [this] {
        const CCallbackScope scope(m_callbacksRunning);
        OnPollTick();
    });
}

void CDeviceLink::StopPollTimer() {
    std::lock_guard lock(m_lineMutex);
    if (const uint32_t id = m_pollTimerId.exchange(0)) {
        m_timers.Kill(id);
    }
}

void CDeviceLink::StopWatchdog() {
    std::lock_guard lock(m_lineMutex);
    if (const uint32_t id = m_watchdogTimerId.exchange(0)) {
        m_timers.Kill(id);
    }
}

void CDeviceLink::OnPollTick() {
    SendByte(kPoll);
}

// --- Frames ---------------------------------------------------------------------------------

uint8_t CDeviceLink::Checksum(const uint8_t* bytes, int length) {
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum);
}

bool CDeviceLink::IsControlByte(uint8_t byte) {
    return byte == kStx || byte == kEtx || byte == kEot || byte == kAck || byte == kNak;
}

void CDeviceLink::BuildFrame(uint8_t command, const uint8_t* payload, int length) {
    if (length < 0 || length > kSendFrameSize - 5) {
        length = 0;
    }
    m_sendFrame[0] = command;
    m_sendFrame[1] = static_cast<uint8_t>(length >> 8);
    m_sendFrame[2] = static_cast<uint8_t>(length & 0xFF);
    if (length > 0) {
        std::memcpy(m_sendFrame + 3, payload, static_cast<size_t>(length));
    }
    m_sendFrame[3 + length] = Checksum(m_sendFrame, 3 + length);
    m_sendFrame[4 + length] = kFrameTrailer;
    m_frameCommand = command;
}

void CDeviceLink::PrepareFrame(uint8_t command, const uint8_t* payload, int length) {
    BuildFrame(command, payload, length);
    m_sendPending = 1;
}

int CDeviceLink::SendFrameLength() const {
    return (m_sendFrame[1] << 8 | m_sendFrame[2]) + 5;
}

bool CDeviceLink::ValidateFrame(const uint8_t* unit, int length, int minPayload) {
    const int copied = length < kRecvFrameSize ? length : kRecvFrameSize;
    std::memcpy(m_recvFrame, unit, static_cast<size_t>(copied));
    if (copied < 4) {
        return false;
    }
    const int n = m_recvFrame[1] << 8 | m_recvFrame[2];
    if (3 + n >= copied) {
        return false;
    }
    // A frame shorter than its layout would be read from what an earlier frame left in the
    // buffer: it is as bad as one with a wrong checksum.
    return n >= minPayload && m_recvFrame[3 + n] == Checksum(m_recvFrame, 3 + n);
}

void CDeviceLink::NakInvalidFrame() {
    // The device sends the frame again; this NAK is not the last sent byte, so an ACK that
    // follows is still read against what the PC sent before.
    std::lock_guard lock(m_lineMutex);
    WriteUnrecorded(kNak);
    StartWatchdog();
}

// --- Frame assembly -------------------------------------------------------------------------

void CDeviceLink::AssembleFrames() {
    CRecvQueue& queue = m_port.Queue();
    uint8_t unit[CRecvQueue::kSize];
    for (;;) {
        const int n = queue.Count();
        if (n == 0) {
            // The receive thread may have pushed since Count(): a plain Reset would drop the
            // start of the next unit, and the device would wait for an ACK that never comes.
            queue.ResetIfEmpty();
            return;
        }
        const uint8_t first = queue.Peek(0);
        int length = 1;
        if (!IsControlByte(first)) {
            // A frame: its length is read only once both length bytes are here, and it is
            // dispatched only whole. A control byte is always a unit of its own.
            if (n < 3) {
                length = 0;
            } else {
                const int payload = queue.Peek(1) << 8 | queue.Peek(2);
                if (payload > kMaxDevicePayload) {
                    // No such frame fits the receive frame buffer, and its end cannot be found:
                    // refuse it and drop what is queued; the device sends again.
                    StopWatchdog();
                    LinkState().timeoutCount = 0;
                    queue.PopInto(unit, n);
                    NakInvalidFrame();
                    continue;
                }
                length = payload + 4 <= n ? payload + 4 : 0;
            }
        }
        if (length == 0) {
            // The rest of the unit is on its way. Keep a watchdog on it: if it never comes,
            // the time-out discards the part that is here.
            if (!WatchdogRunning()) {
                StartWatchdog();
            }
            return;
        }
        StopWatchdog();
        LinkState().timeoutCount = 0;
        if (queue.PopInto(unit, length) < length) {
            return;  // the watchdog emptied the queue meanwhile
        }
        Dispatch(unit, length);
    }
}

// --- Dispatch -------------------------------------------------------------------------------

void CDeviceLink::Dispatch(const uint8_t* unit, int length) {
    if (length < 1) {
        return;
    }
    CLinkState& state = LinkState();
    const intptr_t self = reinterpret_cast<intptr_t>(this);
    switch (unit[0]) {
        case kStx:
            StopPollTimer();
            if (state.retry) {
                StopWatchdog();
                state.retry = 0;
            }
            SendByte(kAck);
            break;
        case kEtx:
            SendByte(kAck);
            break;
        case kEot:
            SendByte(m_sendPending ? kStx : kEot);
            break;
        case kAck:
            HandleAck();
            break;
        case kCmdDeviceA2:
        case kCmdDeviceBF:
            if (ValidateFrame(unit, length)) {
                SendByte(kAck);
                Post(unit[0] == kCmdDeviceA2 ? kMsgFrameA2 : kMsgFrameBF, 0, self);
            } else {
                NakInvalidFrame();
            }
            break;
        case kCmdStatusReply:
            if (m_frameCommand != kCmdStatusRequest) {
                SendByte(kNak);
            } else if (ValidateFrame(unit, length, kStatusReplyPayload)) {
                SendByte(kAck);
                Send(kMsgStatusReply, 0, self);
            } else {
                NakInvalidFrame();
            }
            break;
        case kCmdRecord:
            if (m_frameCommand != kCmdRecordRequest) {
                SendByte(kNak);
            } else if (ValidateFrame(unit, length, kRecordMinPayload)) {
                ++m_transferred;
                SendByte(kAck);
                Send(kMsgRecord, 0, self);
            } else {
                NakInvalidFrame();
            }
            break;
        default:
            HandleRejection();
            break;
    }
}

void CDeviceLink::HandleAck() {
    CLinkState& state = LinkState();
    const intptr_t self = reinterpret_cast<intptr_t>(this);
    switch (m_lastSent.load()) {
        case kPoll:
            if (m_sendPending) {
                StopPollTimer();
                if (state.retry) {
                    StopWatchdog();
                }
                SendByte(kStx);
            } else {
                if (state.retry) {
                    StopWatchdog();
                    StopPollTimer();
                }
                SendByte(kEot);
            }
            break;
        case kStx:
            SendRecorded(m_sendFrame, SendFrameLength());
            break;
        case kEtx:
            SendByte(kEot);
            break;
        case kEot: {
            const uint8_t previous = m_previousSent;
            if (previous == kEtx || previous == kAck) {
                RestartPolling();
            } else if (previous == kPoll) {
                if (state.retry) {
                    StopWatchdog();
                    StopPollTimer();
                    RestartPolling();
                    state.retry = 0;
                }
                if (m_state == ELinkState::kSearching) {
                    Enter(ELinkState::kPresent);
                }
                if (!state.devicePresent) {
                    state.devicePresent = 1;
                    Send(kMsgConnected, 0, kStatusTimerMs);
                }
            }
            break;
        }
        case kCmdStatusRequest:
        case kCmdRecordRequest:
            m_sendPending = 0;
            SendByte(kEtx);
            break;
        case kCmdOpenBook:
            m_sendPending = 0;
            Post(kMsgOpenAnswered, 0, self);
            SendByte(kEtx);
            break;
        case kCmdUploadStart:
            m_sendPending = 0;
            SendByte(kEtx);
            if (m_upload) {
                Send(kMsgNextRow, 0, self);
                m_sendPending = 1;
            }
            break;
        case kCmdUploadRow:
            if (m_upload) {
                ++m_transferred;
                Send(kMsgNextRow, 0, self);
                m_sendPending = 0;
                if (m_transferred == m_expected) {
                    SendByte(kEtx);
                    Post(kMsgRowsDone, 0, self);
                } else {
                    SendRecorded(m_sendFrame, SendFrameLength());
                }
            }
            break;
        case kCmdGroupStart:
            m_sendPending = 0;
            SendByte(kEtx);
            if (m_groupUpload) {
                Send(kMsgNextGroup, 0, self);
                m_sendPending = 1;
            }
            break;
        case kCmdUploadGroup:
            if (m_groupUpload) {
                ++m_transferred;
                Send(kMsgNextGroup, 0, self);
                m_sendPending = 0;
                if (m_transferred == m_expected) {
                    SendByte(kEtx);
                } else {
                    SendRecorded(m_sendFrame, SendFrameLength());
                }
            }
            break;
        default:
            break;
    }
}

void CDeviceLink::HandleRejection() {
    CLinkState& state = LinkState();
    if (m_lastSent == kCmdOpenBook) {
        // The device refused to open its book: it is locked.
        m_sendPending = 0;
        Post(kMsgOpenAnswered, 1, reinterpret_cast<intptr_t>(this));
        StopPollTimer();
        StopWatchdog();
        RestartPolling();
    }
    if (m_lastRejected == m_lastSent) {
        if (++state.rejectionCount > kMaxRejections) {
            state.rejectionCount = 0;
            StopPollTimer();
            StopWatchdog();
            Post(kMsgFailure, 0, 0);
            return;
        }
    } else {
        state.rejectionCount = 0;
    }
    m_lastRejected = m_lastSent.load();
    RestartPolling();
}

// --- Receive thread and watchdog ------------------------------------------------------------

void CDeviceLink::OnReceiveHook() {
    if (LinkState().replyWait.exchange(0)) {
        StopWatchdog();
        StopPollTimer();
    }
}

bool CDeviceLink::TransferRunning() const {
    return m_download || m_upload || m_groupUpload;
}

void CDeviceLink::OnWatchdog() {
    CLinkState& state = LinkState();
    if (!PortOpen()) {
        return;  // nothing is awaited on a closed port
    }
    StopPollTimer();
    StopWatchdog();
    state.replyWait = 1;
    const uint32_t t0 = m_clock.TickCount();
    int count = state.timeoutCount;
    for (;;) {
        m_clock.Sleep(kWatchdogStepMs);
        if (m_shuttingDown) {
            return;
        }
        if (!state.replyWait) {
            // The reply came. The watchdog was already stopped above; one started since then
            // belongs to the next exchange and stays.
            return;
        }
        const uint32_t elapsed = m_clock.TickCount() - t0;
        const bool uploading = m_upload || m_groupUpload;
        count = state.timeoutCount;
        if (count == 0 && !uploading && elapsed > kReplyWaitMs) {
            count = 1;
            break;
        }
        if (count == 0 && uploading && elapsed > kFirstUploadWaitMs) {
            count = 1;
            break;
        }
        if (count != 0 && elapsed > kReplyWaitMs) {
            ++count;
            break;
        }
    }
    if (!state.replyWait.exchange(0)) {
        return;  // the reply arrived at the last moment
    }
    std::lock_guard lock(m_lineMutex);
    StopPollTimer();
    StopWatchdog();
    // Whatever part of a unit is waiting will never be completed; the retry starts afresh.
    m_port.Queue().Reset();
    if (count < kLostAfterTimeouts) {
        state.timeoutCount = count;
        if (TransferRunning()) {
            Post(kMsgFailure, count, 0);
        }
        state.retry = 1;
        RestartPolling();
        return;
    }
    state.timeoutCount = 0;
    Post(kMsgFailure, kFailureLinkLost, 0);
    StopPollTimer();
    StopWatchdog();
}

// --- Failure handler and status timer -------------------------------------------------------

void CDeviceLink::FailureStopLink(int w, int s) {
    if (w == kFailureLinkLost || s == kFailureStopped) {
        StopPollTimer();
        StopWatchdog();
    }
    m_sendPending = 0;
    m_frameCommand = 0;
    m_expected = 1;
    m_transferred = 0;
}

void CDeviceLink::FailureResumeStatus(int w, int s) {
    CLinkState& state = LinkState();
    IMessageTarget* target = state.mainWindow.load();
    // A device that keeps rejecting (w = 0 without Stop) is treated like a lost one, so that
    // polling resumes by itself instead of waiting for the port to be reopened.
    const bool lost = w == kFailureLinkLost || (w == 0 && s != kFailureStopped);
    if (lost && s != kFailureStopped) {
        SetPane(StatusPane::Connection, "Disconnected");
    }
    if (lost || s == kFailureStopped) {
        if (m_state == ELinkState::kPresent) {
            Enter(ELinkState::kSearching);
        }
        state.devicePresent = 0;
        if (target) {
            target->KillTimer(kStatusTimerId);
            target->SetTimer(kStatusTimerId, kStatusTimerMs);
        }
    }
}

void CDeviceLink::OnStatusTimer(int maxPersonal, bool busy) {
    IMessageTarget* target = LinkState().mainWindow.load();
    if (target) {
        target->KillTimer(kStatusTimerId);
    }
    if (LinkState().devicePresent) {
        // A status request replaces the prepared frame, so none is made while a transfer
        // holds it.
        if (maxPersonal == 200 && !busy && !TransferRunning()) {
            Send(kMsgBuildStatus, 0, reinterpret_cast<intptr_t>(this));
            m_sendPending = 1;
        }
        if (target) {
            target->SetTimer(kStatusTimerId, kStatusTimerMs);
        }
    } else {
        RestartPolling();
    }
}

// --- Messages -------------------------------------------------------------------------------

void CDeviceLink::Post(uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->PostMessage(message, wParam, lParam);
    }
}

intptr_t CDeviceLink::Send(uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        return target->SendMessage(message, wParam, lParam);
    }
    return 0;
}

void CDeviceLink::SetPane(StatusPane pane, const std::string& text) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->SetPaneText(pane, text);
    }
}

}  // namespace orvex
