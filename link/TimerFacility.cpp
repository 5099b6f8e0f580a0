#include "link/TimerFacility.h"

namespace orvex {

CTimerFacility::CTimerFacility() : m_thread([this] { Run(); }) {}

CTimerFacility::~CTimerFacility() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_timers.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

CTimerFacility& CTimerFacility::Instance() {
    static CTimerFacility facility;
    return facility;
}

uint32_t CTimerFacility::Start(uint32_t periodMs, Callback callback) {
    std::lock_guard lock(m_mutex);
    uint32_t id = m_nextId++;
    if (id == 0) {
        id = m_nextId++;
    }
    const auto period = std::chrono::milliseconds(periodMs);
    m_timers[id] =
        Timer{period, Clock::now() + period, std::make_shared<Callback>(std::move(callback))};
    m_changed.notify_all();
    return id;
}

void CTimerFacility::Kill(uint32_t id) {
    std::lock_guard lock(m_mutex);
    m_timers.erase(id);
}

void CTimerFacility::KillAndWait(uint32_t id) {
    std::unique_lock lock(m_mutex);
    m_timers.erase(id);
    if (std::this_thread::get_id() != m_thread.get_id()) {
        m_callbackDone.wait(lock, [&] { return m_runningId != id || id == 0; });
    }
}

void CTimerFacility::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_timers.empty()) {
            m_changed.wait(lock);
            continue;
        }
        auto next = m_timers.begin();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due < next->second.due) {
                next = it;
            }
        }
        const auto now = Clock::now();
        if (next->second.due > now) {
            // A copy: the timer may be killed, and its entry freed, while this thread waits.
            const Clock::time_point due = next->second.due;
            m_changed.wait_until(lock, due);
            continue;
        }
        Timer& timer = next->second;
        timer.due += timer.period;
        if (timer.due <= now) {
            // Ticks missed while another callback slept are dropped, not caught up in a burst.
            timer.due = now + timer.period;
        }
        const uint32_t id = next->first;
        const std::shared_ptr<Callback> callback = timer.callback;
        m_runningId = id;
        lock.unlock();
        (*callback)();
        lock.lock();
        m_runningId = 0;
        m_callbackDone.notify_all();
    }
}

}  // namespace orvex
