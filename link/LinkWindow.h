#pragma once

#include <cstdint>
#include <string>

#include "link/MessageTarget.h"

namespace orvex {

// The link's way to the main window that registered itself in LinkState(): its messages, its
// status panes and its two timers (the status timer, 0, and the reopen timer, 1). With no
// window registered, each does nothing (Send answers 0).
class CLinkWindow {
  public:
    static void Post(uint32_t message, intptr_t wParam, intptr_t lParam);
    static intptr_t Send(uint32_t message, intptr_t wParam, intptr_t lParam);
    static void SetPane(StatusPane pane, const std::string& text);
    static void SetTimer(int id, uint32_t ms);
    static void KillTimer(int id);
    // The status timer starts its period afresh.
    static void RestartStatusTimer();
};

}  // namespace orvex
