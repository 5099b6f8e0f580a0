#include "link/Transfer.h"

#include <cassert>
#include <cstdio>
#include <iterator>

namespace orvex {

namespace {

std::atomic<int> g_violations{0};

}  // namespace

bool SGroupSlot::Add(const SGroupMember& member) {
    if (count < 0 || count >= kMaxMembers) {
        return false;
    }
    members[static_cast<size_t>(count++)] = member;
    return true;
}

const char* CTransfer::PhaseName(EPhase phase) {
    static const char* const kNames[] = {"None", "Download", "UploadRows", "BetweenPhases",
                                         "UploadGroups"};
    const auto index = static_cast<size_t>(phase);
    return index < std::size(kNames) ? kNames[index] : "?";
}

bool CTransfer::Allowed(EPhase from, EPhase to) {
    using P = EPhase;
    if (to == P::kNone) {
        return true;
    }
    switch (to) {
        case P::kDownload:
        case P::kUploadRows:
            return from == P::kNone;
        case P::kBetweenPhases:
            return from == P::kUploadRows;
        case P::kUploadGroups:
            return from == P::kBetweenPhases;
        default:
            return false;
    }
}

int CTransfer::Violations() {
    return g_violations;
}

void CTransfer::Enter(EPhase to) {
    const EPhase from = m_phase.exchange(to);
    if (!Allowed(from, to)) {
        ++g_violations;
        std::fprintf(stderr, "Orvex Manager: a transfer moved from %s to %s\n", PhaseName(from),
                     PhaseName(to));
        assert(!"a move of a transfer's phase that its list does not have");
    }
}

void CTransfer::End() {
    Enter(EPhase::kNone);
    m_expected = 1;
    m_transferred = 0;
    m_groupCounter = 0;
    m_groupCount = 0;
}

bool CTransfer::HoldsLine() const {
    const EPhase phase = m_phase;
    return phase == EPhase::kDownload || phase == EPhase::kUploadRows ||
           phase == EPhase::kUploadGroups;
}

bool CTransfer::Uploading() const {
    const EPhase phase = m_phase;
    return phase == EPhase::kUploadRows || phase == EPhase::kUploadGroups;
}

}  // namespace orvex
