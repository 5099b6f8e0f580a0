#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/TimerService.h"

namespace orvex {

// The link's two timers on the timer thread: the poll tick (every 800 ms while idle) and the
// watchdog (one wait for a reply). Each runs its callback on the timer thread; ShutDown, which
// the link calls first when it goes, returns only once no callback of its is running, so
// that no callback outlives the link's members.
//
// Start and Stop hold the link's line lock, which also serialises the port's writes.
class CLinkTimers {
  public:
    CLinkTimers(ITimerService& timers, std::recursive_mutex& lineMutex,
                std::function<void()> onPoll, std::function<void()> onWatchdog);
    ~CLinkTimers();
    CLinkTimers(const CLinkTimers&) = delete;
    CLinkTimers& operator=(const CLinkTimers&) = delete;

    void StartPoll();
    void StartWatchdog();
    void StopPoll();
    void StopWatchdog();
    bool PollRunning() const { return m_pollId != 0; }
    bool WatchdogRunning() const { return m_watchdogId != 0; }

    // Set by ShutDown: no timer starts again, and the watchdog's wait gives up within a step.
    bool ShuttingDown() const { return m_shuttingDown; }
    void ShutDown();

  private:
    uint32_t Start(uint32_t periodMs, const std::function<void()>& callback);

    ITimerService& m_timers;
    std::recursive_mutex& m_lineMutex;
    std::function<void()> m_onPoll;
    std::function<void()> m_onWatchdog;
    std::atomic<uint32_t> m_pollId{0};
    std::atomic<uint32_t> m_watchdogId{0};
    std::atomic<bool> m_shuttingDown{false};
    // Callbacks running now on the timer thread, including one whose timer was already killed
    // (a watchdog restarted by a reply).
    std::atomic<int> m_callbacksRunning{0};
};

}  // namespace orvex
