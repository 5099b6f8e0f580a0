#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "link/Clock.h"
#include "link/TimerService.h"

namespace orvex::test {

// Clock and timers in virtual time: nothing waits, and the test decides when time passes.
// Advance() fires the due timers in time order; a callback that sleeps moves the time on, and
// onSleep lets the test act (bytes arriving, say) at that moment.
class CVirtualTime : public IClock, public ITimerService {
  public:
    std::function<void(uint32_t now)> onSleep;

    uint32_t TickCount() override { return m_now; }
    void Sleep(uint32_t ms) override {
        m_now += ms;
        if (onSleep) {
            onSleep(m_now);
        }
    }

    uint32_t Start(uint32_t periodMs, Callback callback) override {
        const uint32_t id = m_nextId++;
        m_timers[id] = Timer{periodMs, m_now + periodMs, std::move(callback)};
        return id;
    }
    void Kill(uint32_t id) override { m_timers.erase(id); }
    void KillAndWait(uint32_t id) override { m_timers.erase(id); }

    void Advance(uint32_t ms) {
        const uint32_t end = m_now + ms;
        for (;;) {
            auto next = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (next == m_timers.end() || it->second.due < next->second.due) {
                    next = it;
                }
            }
            if (next == m_timers.end() || next->second.due > end) {
                break;
            }
            if (next->second.due > m_now) {
                m_now = next->second.due;
            }
            next->second.due += next->second.period;
            Callback callback = next->second.callback;
            callback();
        }
        if (m_now < end) {
            m_now = end;
        }
    }

    uint32_t Now() const { return m_now; }
    size_t ActiveTimers() const { return m_timers.size(); }

  private:
    struct Timer {
        uint32_t period;
        uint32_t due;
        Callback callback;
    };
    uint32_t m_now = 100000;
    uint32_t m_nextId = 1;
    std::map<uint32_t, Timer> m_timers;
};

}  // namespace orvex::test
