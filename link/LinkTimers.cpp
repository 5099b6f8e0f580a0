#include "link/LinkTimers.h"

#include <chrono>
#include <thread>
#include <utility>

#include "link/LinkCodes.h"

namespace orvex {

namespace {

// Set while this thread runs one of a link's timer callbacks, so that a link destroyed from
// such a callback does not wait for itself.
thread_local int t_inLinkCallback = 0;

// Counts a timer callback of a link while it runs.
class CCallbackScope {
  public:
    explicit CCallbackScope(std::atomic<int>& running) : m_running(running) {
        ++m_running;
        ++t_inLinkCallback;
    }
    ~CCallbackScope() {
        --t_inLinkCallback;
        --m_running;
    }
    CCallbackScope(const CCallbackScope&) = delete;
    CCallbackScope& operator=(const CCallbackScope&) = delete;

  private:
    std::atomic<int>& m_running;
};

}  // namespace

CLinkTimers::CLinkTimers(ITimerService& timers, std::recursive_mutex& lineMutex,
                         std::function<void()> onPoll, std::function<void()> onWatchdog)
    : m_timers(timers),
      m_lineMutex(lineMutex),
      m_onPoll(std::move(onPoll)),
      m_onWatchdog(std::move(onWatchdog)) {}

CLinkTimers::~CLinkTimers() {
    ShutDown();
}

void CLinkTimers::ShutDown() {
    m_shuttingDown = true;
    // A callback may be running on the timer thread; it must be done before the members it
    // uses go away. The watchdog's wait notices the shutdown within one step.
    m_timers.KillAndWait(m_pollId.exchange(0));
    m_timers.KillAndWait(m_watchdogId.exchange(0));
    // A watchdog whose timer was killed when it was restarted may still be in its wait; it
    // sees the shutdown within one step. Then any timer re-armed meanwhile goes too.
    while (t_inLinkCallback == 0 && m_callbacksRunning.load() != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_timers.KillAndWait(m_pollId.exchange(0));
    m_timers.KillAndWait(m_watchdogId.exchange(0));
}

uint32_t CLinkTimers::Start(uint32_t periodMs, const std::function<void()>& callback) {
    return m_timers.Start(periodMs, [this, &callback] {
        const CCallbackScope scope(m_callbacksRunning);
        callback();
    });
}

void CLinkTimers::StartPoll() {
    std::lock_guard lock(m_lineMutex);
    StopPoll();
    if (!m_shuttingDown) {
        m_pollId = Start(kPollPeriodMs, m_onPoll);
    }
}

void CLinkTimers::StartWatchdog() {
    std::lock_guard lock(m_lineMutex);
    StopWatchdog();
    if (!m_shuttingDown) {
        m_watchdogId = Start(kWatchdogPeriodMs, m_onWatchdog);
    }
}

void CLinkTimers::StopPoll() {
    std::lock_guard lock(m_lineMutex);
    if (const uint32_t id = m_pollId.exchange(0)) {
        m_timers.Kill(id);
    }
}

void CLinkTimers::StopWatchdog() {
    std::lock_guard lock(m_lineMutex);
    if (const uint32_t id = m_watchdogId.exchange(0)) {
        m_timers.Kill(id);
    }
}

}  // namespace orvex
