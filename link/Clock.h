#pragma once

#include <cstdint>

namespace orvex {

// Tick count and sleep, as the watchdog sees time. Tests give the link a virtual clock so that
// its time-outs run without waiting.
class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick count.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// The real clock: a monotonic tick count and a real sleep.
class CSystemClock : public IClock {
  public:
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
};

}  // namespace orvex
