#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "link/TimerService.h"

namespace orvex {

// Periodic timers on one timer thread, with 10 ms resolution or better. Callbacks run on that
// thread without any lock of the facility held, so a callback may start and kill timers
// (its own among them) and may sleep; a sleeping callback delays the other timers' ticks,
// which the link accepts because its watchdog stops the poll timer before it waits.
class CTimerFacility : public ITimerService {
  public:
    CTimerFacility();
    ~CTimerFacility() override;
    CTimerFacility(const CTimerFacility&) = delete;
    CTimerFacility& operator=(const CTimerFacility&) = delete;

    uint32_t Start(uint32_t periodMs, Callback callback) override;
    void Kill(uint32_t id) override;
    void KillAndWait(uint32_t id) override;

    // The facility the program's link uses.
    static CTimerFacility& Instance();

  private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
        std::shared_ptr<Callback> callback;
    };

    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_callbackDone;
    std::map<uint32_t, Timer> m_timers;
    uint32_t m_nextId = 1;
    uint32_t m_runningId = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace orvex
