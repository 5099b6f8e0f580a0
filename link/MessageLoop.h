#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "link/MessageTarget.h"

namespace orvex {

// A main window without windows: a message queue, window timers and status-pane texts on the
// thread that runs it. Tools such as the probe drive a link with it; the program's real main
// window does the same with Qt's event loop.
class CMessageLoop : public IMessageTarget {
  public:
    // The handler of every message, posted, sent or a timer's WM_TIMER.
    using Handler = std::function<intptr_t(uint32_t message, intptr_t wParam, intptr_t lParam)>;

    explicit CMessageLoop(Handler handler);

    void PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    intptr_t SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    void SetTimer(int id, uint32_t ms) override;
    void KillTimer(int id) override;
    void SetPaneText(StatusPane pane, const std::string& text) override;

    // Handles messages and timers on the calling thread until done() holds (checked after
    // every message) or the time is up. Returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    std::string PaneText(StatusPane pane) const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Message {
        uint32_t message;
        intptr_t wParam;
        intptr_t lParam;
    };

    Handler m_handler;
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Message> m_queue;
    std::map<int, std::pair<std::chrono::milliseconds, Clock::time_point>> m_timers;
    std::map<StatusPane, std::string> m_panes;
};

}  // namespace orvex
