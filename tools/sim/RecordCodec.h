// The payload of a record frame (0xC4 from the device, 0xC6 and 0xC8 from the PC): one personal
// entry or one group, laid out byte for byte as the device stores it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sim/PagerBook.h"

namespace sim {

// Marker bytes inside a record payload.
inline constexpr uint8_t kEntryStart = 0xA0;
inline constexpr uint8_t kGroupStart = 0xA1;
inline constexpr uint8_t kEntryEnd = 0xA2;
inline constexpr uint8_t kGroupEnd = 0xA3;
// Fills a group name up to its fifteen bytes.
inline constexpr uint8_t kNamePad = 0xFF;

struct SDecodedRecord {
    bool isGroup = false;
    SPersonalEntry entry;  // when !isGroup
    SGroup group;          // when isGroup
};

class CRecordCodec {
  public:
    // Number (BE), 0xA0, then each field code followed by its text (the ByDefault code by its one
    // byte), then 0xA2.
    static std::vector<uint8_t> EncodeEntry(const SPersonalEntry& entry);
    // Number (BE), 0xA1, fifteen name bytes padded with 0xFF, then three bytes per member
    // (id low, id high, kind) unless withMembers is false, then 0xA3. A name longer than
    // fifteen bytes is cut.
    static std::vector<uint8_t> EncodeGroup(const SGroup& group, bool withMembers = true);

    // Decodes a payload the way the device checks what it receives: every field code in order,
    // texts within their field's length and free of control bytes, markers in place, member
    // kinds 1 to 3, at most ten members. On failure returns false and says why in error; it
    // never reads outside data[0..n).
    static bool Decode(const uint8_t* data, size_t n, SDecodedRecord& out, std::string& error);
    static bool Decode(const std::vector<uint8_t>& payload, SDecodedRecord& out,
                       std::string& error) {
        return Decode(payload.data(), payload.size(), out, error);
    }

  private:
    static bool DecodeEntry(const uint8_t* data, size_t n, SPersonalEntry& out, std::string& error);
    static bool DecodeGroup(const uint8_t* data, size_t n, SGroup& out, std::string& error);
};

}  // namespace sim
