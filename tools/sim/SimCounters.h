// What the emulated pager has done so far, for tests and the verbose log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace sim {

struct SSimCounters {
    size_t pollsAnswered = 0;                  // POLLs answered with ACK
    std::map<uint8_t, size_t> framesAccepted;  // PC frames answered with ACK, by command
    size_t framesRejected = 0;                 // PC frames answered with NAK, for any reason
    size_t framesSent = 0;                     // device frames, each counted once
    size_t framesResent = 0;                   // device frames sent again after a NAK
    size_t recordsSent = 0;                    // 0xC4 frames of all downloads, each counted once
    size_t naksSent = 0;                       // every NAK the device sent
    size_t garbageBursts = 0;
    size_t bytesUnanswered = 0;  // bytes dropped while silent or gone quiet

    size_t Accepted(uint8_t command) const {
        const auto it = framesAccepted.find(command);
        return it == framesAccepted.end() ? 0 : it->second;
    }
};

}  // namespace sim
