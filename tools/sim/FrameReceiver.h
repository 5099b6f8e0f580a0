// Collects one frame from the PC byte by byte, however the bytes are split: command, 16-bit
// big-endian length, payload, checksum, trailer 0xFE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

class CFrameReceiver {
  public:
    enum class EStatus {
        kIncomplete,   // more bytes needed
        kComplete,     // checksum and trailer are right; Command() and Payload() hold it
        kBadChecksum,  // all bytes are in, the checksum is wrong
        kBadTrailer,   // all bytes are in, the last one is not 0xFE
        kTooLong,      // the length field says more than a frame can carry; nothing more is read
    };

    // Starts a new frame whose first byte is the command.
    void Start(uint8_t command);
    // Adds the next byte of the frame. After any status but kIncomplete the receiver is idle.
    EStatus Push(uint8_t byte);
    // Drops a frame being received; Bytes() still shows what had come.
    void Reset();

    bool Active() const { return m_active; }
    uint8_t Command() const { return m_command; }
    const std::vector<uint8_t>& Payload() const { return m_payload; }
    // The frame's bytes so far (for a complete frame: all of them), for logging.
    std::vector<uint8_t> Bytes() const;
    size_t HeldBytes() const { return m_payload.capacity(); }

  private:
    bool m_active = false;
    uint8_t m_command = 0;
    size_t m_received = 0;  // bytes of the frame so far, the command included
    size_t m_length = 0;
    uint8_t m_lengthHigh = 0;
    uint8_t m_checksum = 0;
    uint8_t m_sum = 0;
    uint8_t m_trailer = 0;
    std::vector<uint8_t> m_payload;
};

}  // namespace sim
