#include "tools/sim/PagerSim.h"

#include "tools/sim/FrameCodec.h"

namespace sim {

namespace {

// Replies are queued only while the PC's block lasts; a PC that keeps sending requests in one
// block is refused rather than allowed to grow the queue without end.
constexpr size_t kMaxQueuedReplies = 1024;

// The garbage burst alternates two bytes that are neither control bytes nor frame commands.
constexpr uint8_t kGarbage[2] = {0xFF, 0x55};

std::string CommandName(uint8_t command) {
    return "frame " + CFrameCodec::Hex(&command, 1);
}

}  // namespace

CPagerSim::CPagerSim(CPagerBook book, SSimFaults faults) : m_device(std::move(book)) {
    SetFaults(faults);
}

void CPagerSim::Receive(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t byte = data[i];
        if (m_faults.silent || m_muted) {
            ++m_counters.bytesUnanswered;
            TracePc({byte}, m_muted ? "unanswered: gone quiet" : "unanswered: silent");
        } else if (m_state == EState::kInFrame) {
            HandleFrameByte(byte);
        } else {
            HandleUnit(byte);
        }
    }
}

std::vector<uint8_t> CPagerSim::TakeOutput() {
    std::vector<uint8_t> out;
    out.swap(m_output);
    return out;
}

void CPagerSim::LineQuiet() {
    if (m_state != EState::kInFrame || m_faults.silent || m_muted) {
        return;
    }
    TracePc(m_receiver.Bytes(), "frame cut short");
    m_receiver.Reset();
    ++m_counters.framesRejected;
    Nak();
    m_state = EState::kFrameExpected;
}

void CPagerSim::SetFaults(const SSimFaults& faults) {
    m_faults = faults;
    m_device.SetLocked(faults.locked);
    m_garbageSent = false;
    m_badChecksumSent = false;
    m_framesSinceFaults = 0;
    if (m_muted) {
        Wake();
    }
}

void CPagerSim::Wake() {
    m_muted = false;
    ResetToIdle();
}

size_t CPagerSim::HeldBytes() const {
    size_t held = m_receiver.HeldBytes() + m_output.size();
    for (const auto& frame : m_replies) {
        held += frame.size();
    }
    for (const auto& frame : m_outgoing) {
        held += frame.size();
    }
    return held;
}

void CPagerSim::HandleUnit(uint8_t byte) {
    if ((m_state == EState::kFrameExpected || m_state == EState::kFrameTaken) &&
        CFrameCodec::IsPcCommand(byte)) {
        m_receiver.Start(byte);
        m_state = EState::kInFrame;
        return;
    }
    if (byte == kPoll) {
        // The PC may poll at any moment, after its own time-out or to clear a refusal: the
        // device drops whatever it was doing.
        TracePc({byte}, "");
        OnPoll();
        return;
    }
    const EState state = m_state;
    switch (state) {
        case EState::kIdle:
            if (byte == kAck || byte == kNak) {
                TracePc({byte}, "ignored while idle");
                return;
            }
            break;
        case EState::kPolled:
            if (byte == kEot) {
                TracePc({byte}, "");
                SendControl(kAck, EState::kIdle);
                return;
            }
            if (byte == kStx) {
                TracePc({byte}, "");
                SendControl(kAck, EState::kFrameExpected);
                return;
            }
            break;
        case EState::kFrameTaken:
            if (byte == kEtx) {
                TracePc({byte}, "");
                SendControl(kAck, EState::kBlockClosed);
                return;
            }
            break;
        case EState::kBlockClosed:
            if (byte == kEot) {
                TracePc({byte}, "");
                if (m_replies.empty()) {
                    SendControl(kAck, EState::kIdle);
                } else {
                    // Answering STX instead of ACK takes the line for the replies.
                    m_outgoing.swap(m_replies);
                    m_replies.clear();
                    m_sendIndex = 0;
                    SendControl(kStx, EState::kSentStx);
                }
                return;
            }
            break;
        case EState::kSentStx:
            if (byte == kAck) {
                TracePc({byte}, "");
                SendFrame(true);
                return;
            }
            if (byte == kNak) {
                TracePc({byte}, "");
                SendControl(kStx, EState::kSentStx);
                return;
            }
            break;
        case EState::kSentFrame:
            if (byte == kAck) {
                TracePc({byte}, "");
                if (++m_sendIndex < m_outgoing.size()) {
                    SendFrame(true);
                } else {
                    m_outgoing.clear();
                    SendControl(kEtx, EState::kSentEtx);
                }
                return;
            }
            if (byte == kNak) {
                TracePc({byte}, "");
                SendFrame(false);
                return;
            }
            break;
        case EState::kSentEtx:
            if (byte == kAck || byte == kNak) {
                TracePc({byte}, "");
                SendControl(byte == kAck ? kEot : kEtx,
                            byte == kAck ? EState::kSentEot : EState::kSentEtx);
                return;
            }
            break;
        case EState::kSentEot:
            if (byte == kStx || byte == kEot) {
                // STX: the PC has a frame of its own; EOT: the line is the PC's again.
                TracePc({byte}, "");
                SendControl(kAck, byte == kStx ? EState::kFrameExpected : EState::kIdle);
                return;
            }
            if (byte == kNak) {
                TracePc({byte}, "");
                SendControl(kEot, EState::kSentEot);
                return;
            }
            break;
        case EState::kFrameExpected:
        case EState::kInFrame:
            break;
    }
    TracePc({byte}, std::string("unexpected while ") + StateName(state));
    Nak();
}

void CPagerSim::HandleFrameByte(uint8_t byte) {
    const CFrameReceiver::EStatus status = m_receiver.Push(byte);
    if (status != CFrameReceiver::EStatus::kIncomplete) {
        FrameDone(status);
    }
}

void CPagerSim::OnPoll() {
    ResetToIdle();
    if (m_faults.garbageBytes > 0 && !m_garbageSent) {
        m_garbageSent = true;
        ++m_counters.garbageBursts;
        std::vector<uint8_t> garbage(m_faults.garbageBytes);
        for (size_t i = 0; i < garbage.size(); ++i) {
            garbage[i] = kGarbage[i % 2];
        }
        Emit(garbage, "garbage instead of ACK (fault)");
        return;
    }
    ++m_counters.pollsAnswered;
    SendControl(kAck, EState::kPolled);
}

void CPagerSim::FrameDone(CFrameReceiver::EStatus status) {
    const uint8_t command = m_receiver.Command();
    const std::string name = CommandName(command);
    std::string refusal;
    switch (status) {
        case CFrameReceiver::EStatus::kTooLong:
            refusal = "length over " + std::to_string(kMaxPayload) + ", rest not read";
            break;
        case CFrameReceiver::EStatus::kBadChecksum:
            refusal = "bad checksum";
            break;
        case CFrameReceiver::EStatus::kBadTrailer:
            refusal = "no 0xFE trailer";
            break;
        case CFrameReceiver::EStatus::kIncomplete:
        case CFrameReceiver::EStatus::kComplete:
            break;
    }
    std::vector<std::vector<uint8_t>> replies;
    if (status == CFrameReceiver::EStatus::kComplete) {
        if (m_replies.size() >= kMaxQueuedReplies) {
            refusal = "too many replies queued";
        } else if (!m_device.Handle(command, m_receiver.Payload(), replies, refusal)) {
            refusal = "refused: " + refusal;
        }
    }
    if (!refusal.empty()) {
        TracePc(m_receiver.Bytes(), name + ", " + refusal);
        ++m_counters.framesRejected;
        Nak();
        m_state = EState::kFrameExpected;
        return;
    }
    TracePc(m_receiver.Bytes(), name);
    ++m_counters.framesAccepted[command];
    if (command == kCmdRecordRequest) {
        m_downloadRecords = 0;
    }
    for (auto& reply : replies) {
        m_replies.push_back(std::move(reply));
    }
    SendControl(kAck, EState::kFrameTaken);
}

void CPagerSim::SendControl(uint8_t byte, EState next) {
    Emit({byte}, "");
    m_state = next;
}

void CPagerSim::Nak() {
    ++m_counters.naksSent;
    Emit({kNak}, "");
}

void CPagerSim::SendFrame(bool first) {
    const std::vector<uint8_t>& frame = m_outgoing[m_sendIndex];
    const bool record = frame[0] == kCmdRecord;
    if (first && record && QuietDue()) {
        return;  // K = 0: quiet in place of the first record
    }
    m_state = EState::kSentFrame;
    if (!first) {
        ++m_counters.framesResent;
        Emit(frame, CommandName(frame[0]) + ", again");
        return;
    }
    ++m_counters.framesSent;
    ++m_framesSinceFaults;
    if (record) {
        ++m_counters.recordsSent;
        ++m_downloadRecords;
    }
    if (m_faults.badChecksumFrame != 0 && !m_badChecksumSent &&
        m_framesSinceFaults == m_faults.badChecksumFrame) {
        m_badChecksumSent = true;
        std::vector<uint8_t> spoilt = frame;
        spoilt.back() = static_cast<uint8_t>(spoilt.back() + 1);
        Emit(spoilt, CommandName(frame[0]) + ", wrong checksum (fault)");
    } else {
        Emit(frame, CommandName(frame[0]));
    }
    if (record) {
        QuietDue();
    }
}

bool CPagerSim::QuietDue() {
    const std::optional<size_t>& after = m_faults.silentAfterRecords;
    if (!after || m_downloadRecords < *after) {
        return false;
    }
    m_muted = true;
    Trace("DEV   goes quiet after " + std::to_string(m_downloadRecords) + " records (fault)");
    return true;
}

void CPagerSim::Emit(const std::vector<uint8_t>& bytes, const std::string& what) {
    m_output.insert(m_output.end(), bytes.begin(), bytes.end());
    TraceUnit("DEV < ", bytes, what);
}

void CPagerSim::TracePc(const std::vector<uint8_t>& bytes, const std::string& what) {
    TraceUnit("PC  > ", bytes, what);
}

void CPagerSim::TraceUnit(const char* direction, const std::vector<uint8_t>& bytes,
                          const std::string& what) {
    if (!m_trace) {
        return;
    }
    std::string line = direction + CFrameCodec::Hex(bytes.data(), bytes.size());
    const char* name = bytes.size() == 1 ? CFrameCodec::ControlName(bytes[0]) : "";
    if (*name != '\0') {
        line += ' ';
        line += name;
    }
    if (!what.empty()) {
        line += "  [" + what + "]";
    }
    Trace(line);
}

void CPagerSim::Trace(const std::string& line) {
    if (m_trace) {
        m_trace(line);
    }
}

void CPagerSim::ResetToIdle() {
    m_receiver.Reset();
    m_replies.clear();
    m_outgoing.clear();
    m_sendIndex = 0;
    m_state = EState::kIdle;
}

const char* CPagerSim::StateName(EState state) {
    switch (state) {
        case EState::kIdle:
            return "idle";
        case EState::kPolled:
            return "polled";
        case EState::kFrameExpected:
            return "waiting for a frame";
        case EState::kInFrame:
            return "in a frame";
        case EState::kFrameTaken:
            return "waiting for ETX";
        case EState::kBlockClosed:
            return "waiting for EOT";
        case EState::kSentStx:
            return "waiting for ACK of STX";
        case EState::kSentFrame:
            return "waiting for ACK of a frame";
        case EState::kSentEtx:
            return "waiting for ACK of ETX";
        case EState::kSentEot:
            return "waiting for STX or EOT";
    }
    return "?";
}

}  // namespace sim
