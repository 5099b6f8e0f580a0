#pragma once

#include <atomic>
#include <cstdint>

namespace orvex {

// The link's state, moved only along the list that the link's header draws, and checked on
// every move: a move the list does not hold is counted (Violations, which the tests check)
// and stops a debug build.
class CLinkStates {
  public:
    enum class EState : uint8_t {
        kClosed,     // no port open, none looked for
        kLooking,    // the device file is missing; the reopen timer tries it every 2 s
        kSearching,  // the port is open; polling, no device has answered yet
        kPresent,    // a device answered the poll and the EOT
    };
    static const char* Name(EState state);
    // Whether the list has the move.
    static bool Allowed(EState from, EState to);
    // Moves this process's links made that the list does not have.
    static int Violations();

    explicit CLinkStates(EState initial) : m_state(initial) {}
    EState Get() const { return m_state; }
    void Enter(EState to);

  private:
    // Read by the timer thread's watchdog and the receive thread's hang-up check.
    std::atomic<EState> m_state;
};

}  // namespace orvex
