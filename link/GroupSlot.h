#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "contact/ContactFields.h"

namespace orvex {

// One group as a transfer holds it: its number and entry index, its name, and the addresses
// of personal entries that belong to it.
struct SGroupMember {
    int iCID = 0;
    int iEIdx = 0;
    uint8_t kind = 0;  // the number of its EAddressKind
};

struct SGroupSlot {
    static constexpr int kMaxMembers = CContactFields::kMaxGroupMembers;
    int count = 0;
    int iCID = 0;
    int iEIdx = 0;
    std::string name;
    std::array<SGroupMember, kMaxMembers> members{};

    // Appends a member; false (and nothing stored) when the slot is full.
    bool Add(const SGroupMember& member);
};

}  // namespace orvex
