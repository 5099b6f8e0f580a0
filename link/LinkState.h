#pragma once

#include <atomic>

#include "link/MessageTarget.h"

namespace orvex {

// The link's process-wide state, shared by the user-interface thread, the receive thread and
// the timer thread. Every word is an atomic; there is one instance per process.
class CLinkState {
  public:
    // Set when the device first completes a poll exchange; cleared on link loss, Stop and a
    // port change. Download and Upload require it.
    std::atomic<int> devicePresent{0};
    // Set while the watchdog waits for a reply; the receive thread clears it when bytes arrive.
    std::atomic<int> replyWait{0};
    // Set when the watchdog restarted the exchange after a time-out.
    std::atomic<int> retry{0};
    // Consecutive watchdog time-outs; 0 again whenever a received unit is processed.
    std::atomic<int> timeoutCount{0};
    // Consecutive rejections of the same last-sent byte.
    std::atomic<int> rejectionCount{0};
    // The main window: target of every notification.
    std::atomic<IMessageTarget*> mainWindow{nullptr};

    // Flags and counts back to 0; the main window stays.
    void ClearFlags();
};

CLinkState& LinkState();

}  // namespace orvex
