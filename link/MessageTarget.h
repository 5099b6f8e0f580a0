#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// The status-bar panes the link writes to.
enum class StatusPane { Connection, Port };

// The main window as the link sees it: the target of its window messages, the owner of the
// status timer (window timer 0) and of the status bar.
class IMessageTarget {
  public:
    virtual ~IMessageTarget() = default;
    // Queues a message for the user-interface thread. Safe from any thread.
    virtual void PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) = 0;
    // Runs the message's handler now and returns its result. User-interface thread only.
    virtual intptr_t SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) = 0;
    virtual void SetTimer(int id, uint32_t ms) = 0;
    virtual void KillTimer(int id) = 0;
    virtual void SetPaneText(StatusPane pane, const std::string& text) = 0;
};

}  // namespace orvex
