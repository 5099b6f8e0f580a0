// The PC's half of the line for the emulator's tests: sends units exactly as the PC program
// does and collects the device's answers.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/FrameCodec.h"
#include "tools/sim/PagerSim.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

// The device's answers of a single byte.
inline const Bytes kAckOnly{sim::kAck};
inline const Bytes kNakOnly{sim::kNak};

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class CPcSide {
  public:
    explicit CPcSide(sim::CPagerSim& pager) : m_pager(pager) {}

    // Sends one unit and returns everything the device answered.
    Bytes Send(const Bytes& unit) {
        m_pager.Receive(unit);
        return m_pager.TakeOutput();
    }
    Bytes Send(uint8_t control) { return Send(Bytes{control}); }

    // POLL, STX, the frame, ETX, EOT, each answered ACK; returns the answer to the EOT (ACK,
    // or STX when the device has replies). Fails the test at the first wrong answer.
    Bytes SendBlock(const Bytes& frame) {
        for (const Bytes& unit : {Bytes{sim::kPoll}, Bytes{sim::kStx}, frame, Bytes{sim::kEtx}}) {
            const Bytes answer = Send(unit);
            if (answer != Bytes{sim::kAck}) {
                m_failedAnswer = answer;
                return {};
            }
        }
        return Send(sim::kEot);
    }

    // After the device's STX: ACKs everything until its EOT; returns the frames it sent.
    std::vector<Bytes> ReceiveAll() {
        std::vector<Bytes> frames;
        while (true) {
            Bytes item = Send(sim::kAck);
            if (item.empty() || item == Bytes{sim::kEtx}) {
                break;
            }
            frames.push_back(item);
        }
        m_lastAfterFrames = Send(sim::kAck);  // the ACK of ETX, answered EOT
        return frames;
    }

    const Bytes& FailedAnswer() const { return m_failedAnswer; }
    const Bytes& LastAfterFrames() const { return m_lastAfterFrames; }

  private:
    sim::CPagerSim& m_pager;
    Bytes m_failedAnswer;
    Bytes m_lastAfterFrames;
};

inline Bytes PcFrame(uint8_t command, const Bytes& payload = {}) {
    return sim::CFrameCodec::PcFrame(command, payload);
}

}  // namespace simtest
