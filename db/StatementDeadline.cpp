#include "db/StatementDeadline.h"

namespace orvex {

namespace {

// How many virtual-machine steps pass between two looks at the clock.
constexpr int kStepsPerLook = 1000;

std::string Seconds(std::chrono::milliseconds limit) {
    return limit.count() % 1000 == 0 ? std::to_string(limit.count() / 1000) + " seconds"
                                     : std::to_string(limit.count()) + " milliseconds";
}

}  // namespace

CStatementDeadline::CCall::CCall(CStatementDeadline& deadline)
    : m_deadline(deadline), m_outer(deadline.m_deadline != Clock::time_point::max()) {
    if (!m_outer) {
        m_deadline.m_deadline = Clock::now() + m_deadline.m_limit + m_deadline.m_busyWait;
        m_deadline.m_stopped = false;
    }
}

CStatementDeadline::CCall::~CCall() {
    if (!m_outer) {
        m_deadline.m_deadline = Clock::time_point::max();
    }
}

void CStatementDeadline::Watch(sqlite3* db) {
    sqlite3_progress_handler(db, kStepsPerLook, &CStatementDeadline::OnProgress, this);
}

std::string CStatementDeadline::StoppedDescription() const {
    return "the statement ran longer than " + Seconds(m_limit + m_busyWait) + " and was stopped";
}

int CStatementDeadline::OnProgress(void* deadline) {
    auto* self = static_cast<CStatementDeadline*>(deadline);
    if (Clock::now() < self->m_deadline) {
        return 0;
    }
    self->m_stopped = true;
    return 1;  // SQLite stops the statement: it fails as interrupted
}

}  // namespace orvex
