#include "link/LinkStates.h"

#include <cassert>
#include <cstdio>
#include <iterator>

namespace orvex {

namespace {

std::atomic<int> g_violations{0};

}  // namespace

const char* CLinkStates::Name(EState state) {
    static const char* const kNames[] = {"Closed", "Looking", "Searching", "Present"};
    const auto index = static_cast<size_t>(state);
    return index < std::size(kNames) ? kNames[index] : "?";
}

bool CLinkStates::Allowed(EState from, EState to) {
    using S = EState;
    if (from == to || to == S::kClosed) {
        return true;
    }
    switch (to) {
        case S::kLooking:
            return from == S::kClosed || from == S::kSearching || from == S::kPresent;
        case S::kSearching:
            return from == S::kClosed || from == S::kLooking || from == S::kPresent;
        case S::kPresent:
            return from == S::kSearching;
        default:
            return false;
    }
}

int CLinkStates::Violations() {
    return g_violations;
}

void CLinkStates::Enter(EState to) {
    const EState from = m_state.exchange(to);
    if (!Allowed(from, to)) {
        ++g_violations;
        std::fprintf(stderr, "Orvex Manager: the link moved from %s to %s\n", Name(from), Name(to));
        assert(!"a move of the link's state that its list does not have");
    }
}

}  // namespace orvex
