#include "link/DeviceLink.h"

#include <cstdio>
#include <cstring>

#include "link/LinkState.h"
#include "link/LinkWindow.h"
#include "link/PortDiagnosis.h"
#include "link/TimerFacility.h"

namespace orvex {

namespace {

CSystemClock g_systemClock;

}  // namespace

CDeviceLink::CDeviceLink() : CDeviceLink(CTimerFacility::Instance(), g_systemClock) {}

CDeviceLink::CDeviceLink(ITimerService& timers, IClock& clock, IByteSink* sink)
    : m_state(sink ? ELinkState::kSearching : ELinkState::kClosed),
      m_clock(clock),
      m_sink(sink ? sink : &m_port),
      m_lineTimers(
          timers, m_lineMutex, [this] { OnPollTick(); }, [this] { OnWatchdog(); }) {
    // A link on a byte stream is open for its whole life.
    LinkState().ClearFlags();
}

CDeviceLink::~CDeviceLink() {
    // The timers' callbacks use the members below; none may run once they start to go.
    m_lineTimers.ShutDown();
    m_port.Close();
}

// --- Port selection -------------------------------------------------------------------------

void CDeviceLink::SelectPort(int portNumber) {
    static const char* const kNames[] = {"COM1", "COM2", "COM3", "COM4"};
    // The number is kept as it was chosen, so that the settings get back what they gave; only
    // a port there is a name for is selected.
    m_portNumber = portNumber;
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
        CLinkWindow::SetPane(StatusPane::Port, m_port.PortName());
        StopLooking();
        m_state.Enter(ELinkState::kSearching);
        return;
    }
    const SPortFailure& failure = m_port.LastFailure();
    std::string details = CPortDiagnosis::Explain(failure);
    if (CPortDiagnosis::DeviceMissing(failure)) {
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
        CLinkWindow::SetPane(StatusPane::Port, "CLOSE");
    }
    m_state.Enter(ELinkState::kClosed);
}

void CDeviceLink::StartLink() {
    OpenLink();
    if (PortOpen()) {
        CLinkWindow::RestartStatusTimer();
    }
    CLinkWindow::SetPane(StatusPane::Connection, "Connecting...");
}

void CDeviceLink::ChangePort(int portNumber) {
    CLinkWindow::KillTimer(kStatusTimerId);
    StopPollTimer();
    StopWatchdog();
    LinkState().devicePresent = 0;
    CLinkWindow::SetPane(StatusPane::Connection, "Disconnected");
    CloseLink();
    // The old port settles before the new one is opened.
    m_clock.Sleep(kPortSettleMs);
    SelectPort(portNumber);
    StartLink();
}

void CDeviceLink::StartLooking() {
    m_state.Enter(ELinkState::kLooking);
    CLinkWindow::SetTimer(kReopenTimerId, kReopenTimerMs);
}

// Only the timer: the state moves on with what ends the looking (the port opens or closes).
void CDeviceLink::StopLooking() {
    if (m_state.Get() == ELinkState::kLooking) {
        CLinkWindow::KillTimer(kReopenTimerId);
    }
}

void CDeviceLink::OnPortHungUp(int opening) {
    if (!PortOpen() || opening != m_port.Opening()) {
        return;  // a notice of an opening that is already closed
    }
    StopPollTimer();
    StopWatchdog();
    m_port.Close();
    CLinkWindow::SetPane(StatusPane::Port, "CLOSE");
    StartLooking();
    // The rest is a lost link: "Disconnected", and a running transfer ends as after a time-out.
    CLinkWindow::Post(kMsgFailure, kFailureLinkLost, 0);
}

void CDeviceLink::OnReopenTimer() {
    if (PortOpen()) {
        CLinkWindow::KillTimer(kReopenTimerId);
        return;
    }
    if (!LookingForDevice() ||
        !m_port.Open(m_port.PortName(), 9600, static_cast<uint16_t>(m_portNumber - 1), this)) {
        return;  // not back yet; the timer tries again
    }
    StopLooking();
    m_state.Enter(ELinkState::kSearching);
    CLinkWindow::SetPane(StatusPane::Port, m_port.PortName());
    LinkState().devicePresent = 0;
    CLinkWindow::RestartStatusTimer();
    CLinkWindow::SetPane(StatusPane::Connection, "Connecting...");
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

void CDeviceLink::OnPollTick() {
    SendByte(kPoll);
}

// --- Frames ---------------------------------------------------------------------------------

void CDeviceLink::BuildFrame(uint8_t command, const uint8_t* payload, int length) {
    m_frames.Build(command, payload, length);
    m_frameCommand = command;
}

void CDeviceLink::PrepareFrame(uint8_t command, const uint8_t* payload, int length) {
    BuildFrame(command, payload, length);
    m_sendPending = 1;
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
        int length = 0;
        switch (CLinkFrames::Head(queue, n, length)) {
            case CLinkFrames::EHead::kEmpty:
                // The receive thread may have pushed since Count(): a plain Reset would drop
                // the start of the next unit, and the device would wait for an ACK that never
                // comes.
                queue.ResetIfEmpty();
                return;
            case CLinkFrames::EHead::kPartial:
                // The rest of the unit is on its way. Keep a watchdog on it: if it never
                // comes, the time-out discards the part that is here.
                if (!WatchdogRunning()) {
                    StartWatchdog();
                }
                return;
            case CLinkFrames::EHead::kOversized:
                // No such frame fits the receive frame buffer, and its end cannot be found:
                // refuse it and drop what is queued; the device sends again.
                StopWatchdog();
                LinkState().timeoutCount = 0;
                queue.PopInto(unit, n);
                NakInvalidFrame();
                continue;
            case CLinkFrames::EHead::kUnit:
                break;
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
            if (AcceptFrame(unit, length, 0, 0)) {
                CLinkWindow::Post(unit[0] == kCmdDeviceA2 ? kMsgFrameA2 : kMsgFrameBF, 0, self);
            }
            break;
        case kCmdStatusReply:
            if (AcceptFrame(unit, length, kCmdStatusRequest, kStatusReplyPayload)) {
                CLinkWindow::Send(kMsgStatusReply, 0, self);
            }
            break;
        case kCmdRecord:
            if (AcceptFrame(unit, length, kCmdRecordRequest, kRecordMinPayload)) {
                m_transfer.CountOne();
                CLinkWindow::Send(kMsgRecord, 0, self);
            }
            break;
        default:
            HandleRejection();
            break;
    }
}

// A frame from the device: refused when it answers nothing the PC asked (`request`, 0 when
// any may come), sent again when it is not whole, else acknowledged. True when acknowledged.
bool CDeviceLink::AcceptFrame(const uint8_t* unit, int length, uint8_t request, int minPayload) {
    if (request != 0 && m_frameCommand != request) {
        SendByte(kNak);
        return false;
    }
    if (!m_frames.Validate(unit, length, minPayload)) {
        NakInvalidFrame();
        return false;
    }
    SendByte(kAck);
    return true;
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
            SendRecorded(m_frames.Sent(), m_frames.SentLength());
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
                if (m_state.Get() == ELinkState::kSearching) {
                    m_state.Enter(ELinkState::kPresent);
                }
                if (!state.devicePresent) {
                    state.devicePresent = 1;
                    CLinkWindow::Send(kMsgConnected, 0, kStatusTimerMs);
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
            CLinkWindow::Post(kMsgOpenAnswered, 0, self);
            SendByte(kEtx);
            break;
        case kCmdUploadStart:
            OnPhaseStartAccepted(CTransfer::EPhase::kUploadRows, kMsgNextRow);
            break;
        case kCmdUploadRow:
            OnRecordAccepted(CTransfer::EPhase::kUploadRows, kMsgNextRow);
            break;
        case kCmdGroupStart:
            OnPhaseStartAccepted(CTransfer::EPhase::kUploadGroups, kMsgNextGroup);
            break;
        case kCmdUploadGroup:
            OnRecordAccepted(CTransfer::EPhase::kUploadGroups, kMsgNextGroup);
            break;
        default:
            break;
    }
}

// The first frame of an upload's phase (0xC5 for the rows, 0xC7 for the groups) was
// accepted: ETX ends this turn, and the phase's first record is prepared for the next.
void CDeviceLink::OnPhaseStartAccepted(CTransfer::EPhase phase, uint32_t nextMessage) {
    m_sendPending = 0;
    SendByte(kEtx);
    if (m_transfer.Is(phase)) {
        CLinkWindow::Send(nextMessage, 0, reinterpret_cast<intptr_t>(this));
        m_sendPending = 1;
    }
}

// A row or group was accepted: the next one goes at once, or ETX after the last (and, for the
// rows, the notice that the second phase may begin). Whether this was the last one is settled
// before the handler moves the transfer on.
void CDeviceLink::OnRecordAccepted(CTransfer::EPhase phase, uint32_t nextMessage) {
    if (!m_transfer.Is(phase)) {
        return;
    }
    const intptr_t self = reinterpret_cast<intptr_t>(this);
    const bool last = m_transfer.CountOne();
    CLinkWindow::Send(nextMessage, 0, self);
    m_sendPending = 0;
    if (!last) {
        SendRecorded(m_frames.Sent(), m_frames.SentLength());
        return;
    }
    SendByte(kEtx);
    if (phase == CTransfer::EPhase::kUploadRows) {
        CLinkWindow::Post(kMsgRowsDone, 0, self);
    }
}

void CDeviceLink::HandleRejection() {
    CLinkState& state = LinkState();
    if (m_lastSent == kCmdOpenBook) {
        // The device refused to open its book: it is locked.
        m_sendPending = 0;
        CLinkWindow::Post(kMsgOpenAnswered, 1, reinterpret_cast<intptr_t>(this));
        StopPollTimer();
        StopWatchdog();
        RestartPolling();
    }
    if (m_lastRejected == m_lastSent) {
        if (++state.rejectionCount > kMaxRejections) {
            state.rejectionCount = 0;
            StopPollTimer();
            StopWatchdog();
            CLinkWindow::Post(kMsgFailure, 0, 0);
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
        if (m_lineTimers.ShuttingDown()) {
            return;
        }
        if (!state.replyWait) {
            // The reply came. The watchdog was already stopped above; one started since then
            // belongs to the next exchange and stays.
            return;
        }
        const uint32_t elapsed = m_clock.TickCount() - t0;
        const bool uploading = m_transfer.Uploading();
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
        if (m_transfer.HoldsLine()) {
            CLinkWindow::Post(kMsgFailure, count, 0);
        }
        state.retry = 1;
        RestartPolling();
        return;
    }
    state.timeoutCount = 0;
    CLinkWindow::Post(kMsgFailure, kFailureLinkLost, 0);
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
    m_transfer.ForgetCounts();
}

void CDeviceLink::FailureResumeStatus(int w, int s) {
    // A device that keeps rejecting (w = 0 without Stop) is treated like a lost one, so that
    // polling resumes by itself instead of waiting for the port to be reopened.
    const bool lost = w == kFailureLinkLost || (w == 0 && s != kFailureStopped);
    if (lost && s != kFailureStopped) {
        CLinkWindow::SetPane(StatusPane::Connection, "Disconnected");
    }
    if (lost || s == kFailureStopped) {
        if (m_state.Get() == ELinkState::kPresent) {
            m_state.Enter(ELinkState::kSearching);
        }
        LinkState().devicePresent = 0;
        CLinkWindow::RestartStatusTimer();
    }
}

void CDeviceLink::OnStatusTimer(int maxPersonal, bool busy) {
    CLinkWindow::KillTimer(kStatusTimerId);
    if (LinkState().devicePresent) {
        // A status request replaces the prepared frame, so none is made while a transfer
        // holds it.
        if (maxPersonal == 200 && !busy && !m_transfer.HoldsLine()) {
            CLinkWindow::Send(kMsgBuildStatus, 0, reinterpret_cast<intptr_t>(this));
            m_sendPending = 1;
        }
        CLinkWindow::SetTimer(kStatusTimerId, kStatusTimerMs);
    } else {
        RestartPolling();
    }
}

}  // namespace orvex
