#include "link/MessageLoop.h"

#include "link/LinkCodes.h"

namespace orvex {

CMessageLoop::CMessageLoop(Handler handler) : m_handler(std::move(handler)) {}

void CMessageLoop::PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({message, wParam, lParam});
    }
    m_posted.notify_one();
}

intptr_t CMessageLoop::SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    return m_handler(message, wParam, lParam);
}

void CMessageLoop::SetTimer(int id, uint32_t ms) {
    std::lock_guard lock(m_mutex);
    const auto period = std::chrono::milliseconds(ms);
    m_timers[id] = {period, Clock::now() + period};
}

void CMessageLoop::KillTimer(int id) {
    std::lock_guard lock(m_mutex);
    m_timers.erase(id);
}

void CMessageLoop::SetPaneText(StatusPane pane, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_panes[pane] = text;
}

std::string CMessageLoop::PaneText(StatusPane pane) const {
    std::lock_guard lock(m_mutex);
    auto it = m_panes.find(pane);
    return it == m_panes.end() ? std::string() : it->second;
}

bool CMessageLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        std::unique_lock lock(m_mutex);
        auto wake = end;
        for (const auto& [id, timer] : m_timers) {
            wake = std::min(wake, timer.second);
        }
        m_posted.wait_until(lock, wake, [&] { return !m_queue.empty(); });
        const auto now = Clock::now();
        if (!m_queue.empty()) {
            const Message m = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            m_handler(m.message, m.wParam, m.lParam);
            continue;
        }
        int due = -1;
        for (auto& [id, timer] : m_timers) {
            if (timer.second <= now) {
                timer.second = now + timer.first;
                due = id;
                break;
            }
        }
        lock.unlock();
        if (due >= 0) {
            m_handler(WM_TIMER, due, 0);
        } else if (now >= end) {
            break;
        }
    }
    return done();
}

}  // namespace orvex
