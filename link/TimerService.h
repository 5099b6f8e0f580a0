#pragma once

#include <cstdint>
#include <functional>

namespace orvex {

// Periodic timers with callbacks on a timer thread, as the link's poll timer and watchdog need
// them. An id is never 0, so 0 can mean "stopped".
class ITimerService {
  public:
    using Callback = std::function<void()>;
    virtual ~ITimerService() = default;
    // Starts a periodic timer: the callback runs every periodMs until the timer is killed.
    virtual uint32_t Start(uint32_t periodMs, Callback callback) = 0;
    // Stops a timer. Safe from inside its own callback and from any thread while the callback
    // runs; it never waits for a running callback.
    virtual void Kill(uint32_t id) = 0;
    // Stops a timer and, unless called on the timer thread, waits until a callback of it that
    // is running has returned. For owners that are about to be destroyed.
    virtual void KillAndWait(uint32_t id) = 0;
};

}  // namespace orvex
