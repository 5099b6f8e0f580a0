#pragma once

#include "link/Transfer.h"

namespace orvex::test {

// Puts a transfer in a phase the way the commands would reach it: from None, through the
// phases before it, so that the phase list's check holds in tests that start mid-transfer.
inline void PutInPhase(CTransfer& transfer, CTransfer::EPhase phase) {
    using P = CTransfer::EPhase;
    transfer.End();
    if (phase == P::kDownload || phase == P::kNone) {
        transfer.Enter(phase);
        return;
    }
    transfer.Enter(P::kUploadRows);
    if (phase != P::kUploadRows) {
        transfer.Enter(P::kBetweenPhases);
        if (phase == P::kUploadGroups) {
            transfer.Enter(P::kUploadGroups);
        }
    }
}

}  // namespace orvex::test
