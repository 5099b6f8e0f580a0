// Byte values of the line and the framing both sides use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Control bytes: each one is a unit of its own on the line.
inline constexpr uint8_t kPoll = 0x72;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;

// Frame commands.
inline constexpr uint8_t kCmdStatusRequest = 0xC1;  // PC: payload = PC's row count (16-bit BE)
inline constexpr uint8_t kCmdStatusReply = 0xC2;    // device: capacity, entries, groups
inline constexpr uint8_t kCmdOpenBook = 0xA6;       // PC: open the book for a transfer
inline constexpr uint8_t kCmdRecordRequest = 0xC3;  // PC: send all records
inline constexpr uint8_t kCmdRecord = 0xC4;         // device: one record
inline constexpr uint8_t kCmdUploadStart = 0xC5;    // PC: a new book follows
inline constexpr uint8_t kCmdUploadRow = 0xC6;      // PC: a personal entry or a bare group
inline constexpr uint8_t kCmdGroupCount = 0xC7;     // PC: number of groups that follow
inline constexpr uint8_t kCmdUploadGroup = 0xC8;    // PC: one group with its members

inline constexpr uint8_t kFrameTrailer = 0xFE;
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
