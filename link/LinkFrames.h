#pragma once

#include <cstdint>

#include "link/LinkCodes.h"
#include "link/RecvQueue.h"

namespace orvex {

// The framing of the line. A unit is one control byte or one frame: command, two length
// bytes (high first), the payload, a checksum (the low byte of the sum of all bytes before
// it) and the trailer 0xFE. The link keeps one frame to send and the last frame received.
class CLinkFrames {
  public:
    static constexpr int kSendFrameSize = 1024;

    static uint8_t Checksum(const uint8_t* bytes, int length);
    static bool IsControlByte(uint8_t byte);

    // What stands at the head of the receive queue, which holds `count` bytes.
    enum class EHead {
        kEmpty,
        kPartial,    // the start of a unit whose rest is on its way
        kOversized,  // a frame longer than any the device sends: its end cannot be found
        kUnit,       // a whole unit of `length` bytes
    };
    static EHead Head(const CRecvQueue& queue, int count, int& length);

    // The frame to send: a payload longer than the frame holds is sent empty.
    void Build(uint8_t command, const uint8_t* payload, int length);
    const uint8_t* Sent() const { return m_send; }
    int SentLength() const;

    // Copies the unit into the received frame; true when it is a whole frame with a payload
    // of at least minPayload bytes and a right checksum.
    bool Validate(const uint8_t* unit, int length, int minPayload);
    const uint8_t* Received() const { return m_recv; }

  private:
    uint8_t m_recv[kRecvFrameSize] = {};
    uint8_t m_send[kSendFrameSize] = {};
};

}  // namespace orvex
