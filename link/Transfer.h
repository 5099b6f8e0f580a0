#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "contact/ContactFields.h"
#include "link/GroupSlot.h"

namespace orvex {

// The transfer between the PC and the device that runs now, if any: its phase, what it
// expects and has moved, and the group slots it fills or sends. The link owns it, as the
// engine reads the phase and the counts byte by byte; the transfer commands move it on and
// end it.
//
// Its phases and the moves between them (any phase may also go back to None: the end of a
// transfer, whatever ended it):
//
//   None         --Begin (F5, the user agrees)-->                        Download
//   None         --Begin (F6, the user agrees)-->                        UploadRows
//   UploadRows   --the last row acknowledged, groups to follow-->         BetweenPhases
//   BetweenPhases --0x40C: 0xC7 prepared with the group count-->         UploadGroups
//
// A download holds the prepared frame from its status request to its last record; an upload
// from its status request to its last row, and again from 0xC7 to its last group. Between an
// upload's two phases nothing is sent for the transfer, but it is not over: the window stays
// busy and the progress window open.
//
// Enter() checks each move against that list, as the link's state is checked: a move it does
// not hold is counted (Violations, which the tests check) and stops a debug build.
class CTransfer {
  public:
    enum class EPhase : uint8_t { kNone, kDownload, kUploadRows, kBetweenPhases, kUploadGroups };
    static constexpr int kGroupSlots = CContactFields::kMaxGroups;

    static const char* PhaseName(EPhase phase);
    static bool Allowed(EPhase from, EPhase to);
    static int Violations();

    EPhase Phase() const { return m_phase; }
    void Enter(EPhase to);
    // Back to None with every count cleared; the slots are filled afresh by the next one.
    void End();

    // The transfer holds the prepared frame: a status request must not replace it.
    bool HoldsLine() const;
    // Rows or groups are being sent: the device may take a while over the first.
    bool Uploading() const;
    bool Is(EPhase phase) const { return m_phase == phase; }

    // The frames the current part of the transfer moves: records of a download, rows or
    // groups of an upload.
    void Expect(int count) {
        m_expected = count;
        m_transferred = 0;
    }
    // One more frame moved; true when it was the last one expected.
    bool CountOne() {
        ++m_transferred;
        return Finished();
    }
    bool Finished() const { return m_transferred == m_expected; }
    int Expected() const { return m_expected; }
    int Transferred() const { return m_transferred; }
    // What the failure handler forgets before the transfer is cleaned up.
    void ForgetCounts() { Expect(1); }

    // Groups handled so far, and so the index of the next slot.
    int GroupCounter() const { return m_groupCounter; }
    void SetGroupCounter(int counter) { m_groupCounter = counter; }
    // Groups to send in an upload's second phase.
    int GroupCount() const { return m_groupCount; }
    void SetGroupCount(int count) { m_groupCount = count; }
    SGroupSlot& Slot(int index) { return m_slots[static_cast<size_t>(index)]; }
    const SGroupSlot& Slot(int index) const { return m_slots[static_cast<size_t>(index)]; }

  private:
    // Read on the timer thread by the watchdog; everything else is the user-interface
    // thread's.
    std::atomic<EPhase> m_phase{EPhase::kNone};
    int m_expected = 1;
    int m_transferred = 0;
    int m_groupCounter = 0;
    int m_groupCount = 0;
    std::array<SGroupSlot, kGroupSlots> m_slots{};
};

}  // namespace orvex
