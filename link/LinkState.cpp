#include "link/LinkState.h"

namespace orvex {

void CLinkState::ClearFlags() {
    devicePresent = 0;
    replyWait = 0;
    retry = 0;
    timeoutCount = 0;
    rejectionCount = 0;
}

CLinkState& LinkState() {
    static CLinkState state;
    return state;
}

}  // namespace orvex
