// Byte values of the line and the framing both sides use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/LinkCodes.h"

namespace sim {

// The line's control and command bytes are the program's own: one table for both sides.
using orvex::kAck;
using orvex::kEot;
using orvex::kEtx;
using orvex::kNak;
using orvex::kPoll;
using orvex::kStx;

using orvex::kCmdOpenBook;
using orvex::kCmdRecord;
using orvex::kCmdRecordRequest;
using orvex::kCmdStatusReply;
using orvex::kCmdStatusRequest;
using orvex::kCmdUploadGroup;
using orvex::kCmdUploadRow;
using orvex::kCmdUploadStart;
inline constexpr uint8_t kCmdGroupCount = orvex::kCmdGroupStart;  // PC: groups that follow

using orvex::kFrameTrailer;
// Both directions: a frame never carries more payload than this.
inline constexpr size_t kMaxPayload = 512;
// Command, two length bytes; after the payload the checksum (and, from the PC, the trailer).
inline constexpr size_t kFrameHeader = 3;

class CFrameCodec {
  public:
    // Sum of the bytes modulo 256: over command, length and payload.
    static uint8_t Checksum(const uint8_t* data, size_t n);

    // Command, length, payload, checksum.
    static std::vector<uint8_t> DeviceFrame(uint8_t command, const std::vector<uint8_t>& payload);
    // The same followed by the trailer.
    static std::vector<uint8_t> PcFrame(uint8_t command, const std::vector<uint8_t>& payload);

    // True for the commands a PC sends.
    static bool IsPcCommand(uint8_t byte);

    // "POLL", "ACK", ... for control bytes, "" for any other byte.
    static const char* ControlName(uint8_t byte);
    // "72 06 C1" style, at most maxBytes shown (then " ...").
    static std::string Hex(const uint8_t* data, size_t n, size_t maxBytes = 600);
};

}  // namespace sim
