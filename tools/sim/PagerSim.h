// The emulated pager's side of the line: a state machine fed with the PC's bytes that answers
// each unit the PC sends (a control byte, or a whole frame) with one unit of its own.
//
// It keeps no clock. Bytes may come in any chunks, a frame split anywhere or several units at
// once; the answers pile up until TakeOutput(). The only time-dependent behaviour, giving up on
// a frame cut short, is left to the caller, which calls LineQuiet() when the line has been
// still for a while in the middle of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/FrameReceiver.h"
#include "tools/sim/PagerDevice.h"
#include "tools/sim/SimCounters.h"
#include "tools/sim/SimFaults.h"

namespace sim {

class CPagerSim {
  public:
    explicit CPagerSim(CPagerBook book = CPagerBook::Sample(), SSimFaults faults = {});

    // Bytes from the PC.
    void Receive(const uint8_t* data, size_t n);
    void Receive(const std::vector<uint8_t>& bytes) { Receive(bytes.data(), bytes.size()); }
    // The device's bytes produced since the last call.
    std::vector<uint8_t> TakeOutput();

    // True while part of a PC frame has come and the rest is awaited.
    bool InFrame() const { return m_state == EState::kInFrame; }
    // The line has gone still: a frame cut short is dropped and answered with NAK (the PC may
    // send it again or POLL). Does nothing outside a frame.
    void LineQuiet();

    const SSimFaults& Faults() const { return m_faults; }
    // Replaces the faults; the one-time ones (bad checksum, garbage) are armed again and a
    // silence after K records ends.
    void SetFaults(const SSimFaults& faults);
    // Ends the silence that silentAfterRecords started; the device is idle again.
    void Wake();
    // True while gone quiet after K records.
    bool Muted() const { return m_muted; }

    CPagerDevice& Device() { return m_device; }
    const CPagerDevice& Device() const { return m_device; }
    const SSimCounters& Counters() const { return m_counters; }

    // Called with one line per unit exchanged, e.g. "PC  > 72 POLL", "DEV < 06 ACK".
    void SetTrace(std::function<void(const std::string&)> trace) { m_trace = std::move(trace); }

    // Bytes the state machine holds (partial frame, queued replies, untaken output): stays
    // bounded whatever the PC sends, as long as the output is taken.
    size_t HeldBytes() const;

  private:
    enum class EState {
        kIdle,           // waiting for POLL
        kPolled,         // POLL answered: EOT (nothing to send) or STX (a frame follows)
        kFrameExpected,  // STX answered, or a frame refused: a frame comes (again)
        kInFrame,        // a frame is coming in
        kFrameTaken,     // a frame answered ACK: ETX, or another frame
        kBlockClosed,    // ETX answered: EOT, then the device sends its replies if it has any
        kSentStx,        // the device's own turn: STX sent, waiting for the PC's ACK
        kSentFrame,      // m_outgoing[m_sendIndex] sent
        kSentEtx,
        kSentEot,  // waiting for the PC's STX (it has a frame) or EOT
    };

    void HandleUnit(uint8_t byte);
    void HandleFrameByte(uint8_t byte);
    void OnPoll();
    void FrameDone(CFrameReceiver::EStatus status);
    void SendControl(uint8_t byte, EState next);
    void Nak();
    void SendFrame(bool first);
    // Mutes the device when the records sent reach silentAfterRecords; true if it did.
    bool QuietDue();
    void Emit(const std::vector<uint8_t>& bytes, const std::string& what);
    void TracePc(const std::vector<uint8_t>& bytes, const std::string& what);
    void TraceUnit(const char* direction, const std::vector<uint8_t>& bytes,
                   const std::string& what);
    void Trace(const std::string& line);
    void ResetToIdle();
    static const char* StateName(EState state);

    CPagerDevice m_device;
    SSimFaults m_faults;
    SSimCounters m_counters;
    CFrameReceiver m_receiver;
    EState m_state = EState::kIdle;

    std::vector<std::vector<uint8_t>> m_replies;   // queued for the end of the PC's block
    std::vector<std::vector<uint8_t>> m_outgoing;  // being sent
    size_t m_sendIndex = 0;
    size_t m_downloadRecords = 0;    // 0xC4 frames of the download in progress sent so far
    size_t m_framesSinceFaults = 0;  // device frames sent since the faults were set

    bool m_muted = false;
    bool m_garbageSent = false;
    bool m_badChecksumSent = false;

    std::vector<uint8_t> m_output;
    std::function<void(const std::string&)> m_trace;
};

}  // namespace sim
