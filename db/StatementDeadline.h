#pragma once

#include <sqlite3.h>

#include <chrono>
#include <string>

namespace orvex {

// The time limit of one connection's statements. SQLite looks at the deadline every so many
// steps of a running statement; past it, the statement is stopped and fails as interrupted.
// The clock runs for each call of the connection, not for each statement, and a call made
// inside another (the read-back of an insert) runs on the outer call's clock.
class CStatementDeadline {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts the clock of one call and stops it however the call ends.
    class CCall {
      public:
        explicit CCall(CStatementDeadline& deadline);
        ~CCall();
        CCall(const CCall&) = delete;
        CCall& operator=(const CCall&) = delete;

      private:
        CStatementDeadline& m_deadline;
        bool m_outer;
    };

    explicit CStatementDeadline(std::chrono::milliseconds limit) : m_limit(limit) {}
    CStatementDeadline(const CStatementDeadline&) = delete;
    CStatementDeadline& operator=(const CStatementDeadline&) = delete;

    // Stops the statements of db that outrun their call's clock, from now on.
    void Watch(sqlite3* db);
    void SetLimit(std::chrono::milliseconds limit) { m_limit = limit; }
    // How long SQLite waits for a lock held elsewhere, which a call may spend on top.
    void SetBusyWait(std::chrono::milliseconds wait) { m_busyWait = wait; }
    // The last call ran out of time...
    bool Stopped() const { return m_stopped; }
    // ...and what its failure says instead of SQLite's "interrupted".
    std::string StoppedDescription() const;

  private:
    static int OnProgress(void* deadline);

    // When the running call's statements are stopped; the largest value while none runs.
    Clock::time_point m_deadline = Clock::time_point::max();
    std::chrono::milliseconds m_limit;
    std::chrono::milliseconds m_busyWait{0};
    bool m_stopped = false;
};

}  // namespace orvex
