// Misbehaviour the emulated pager can be told to show, so the PC's error handling can be tried.
#pragma once

#include <cstddef>
#include <optional>

namespace sim {

struct SSimFaults {
    // The device answers nothing at all, as if no pager were connected.
    bool silent = false;
    // Every 0xA6 (open the book) is refused with NAK.
    bool locked = false;
    // After sending this many record frames (0xC4) of a download the device stops answering
    // anything until CPagerSim::Wake() or SetFaults(). 0 goes quiet in place of the first record.
    std::optional<size_t> silentAfterRecords;
    // The Nth frame the device sends (counting from 1 since the faults were set, resends not
    // counted) goes out once with a wrong checksum; the resend after the PC's NAK is correct.
    // 0: off.
    size_t badChecksumFrame = 0;
    // In place of the ACK to the first POLL the device sends this many bytes of 0xFF 0x55 0xFF
    // ... (none of them a control byte) and stays idle. 0: off.
    size_t garbageBytes = 0;
};

}  // namespace sim
