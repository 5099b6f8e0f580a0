#include "tools/sim/FrameReceiver.h"

#include "tools/sim/FrameCodec.h"

namespace sim {

void CFrameReceiver::Start(uint8_t command) {
    m_active = true;
    m_command = command;
    m_received = 1;
    m_length = 0;
    m_lengthHigh = 0;
    m_checksum = 0;
    m_trailer = 0;
    m_sum = command;
    m_payload.clear();
}

void CFrameReceiver::Reset() {
    m_active = false;
}

CFrameReceiver::EStatus CFrameReceiver::Push(uint8_t byte) {
    if (!m_active) {
        Start(byte);
        return EStatus::kIncomplete;
    }
    const size_t index = m_received++;
    if (index == 1) {
        m_lengthHigh = byte;
        m_sum = static_cast<uint8_t>(m_sum + byte);
        return EStatus::kIncomplete;
    }
    if (index == 2) {
        m_length = (static_cast<size_t>(m_lengthHigh) << 8) | byte;
        m_sum = static_cast<uint8_t>(m_sum + byte);
        if (m_length > kMaxPayload) {
            Reset();
            return EStatus::kTooLong;
        }
        m_payload.reserve(m_length);
        return EStatus::kIncomplete;
    }
    if (index < kFrameHeader + m_length) {
        m_payload.push_back(byte);
        m_sum = static_cast<uint8_t>(m_sum + byte);
        return EStatus::kIncomplete;
    }
    if (index == kFrameHeader + m_length) {
        m_checksum = byte;
        return EStatus::kIncomplete;
    }
    // The trailer: the frame is whole.
    m_trailer = byte;
    m_active = false;
    if (m_checksum != m_sum) {
        return EStatus::kBadChecksum;
    }
    return byte == kFrameTrailer ? EStatus::kComplete : EStatus::kBadTrailer;
}

std::vector<uint8_t> CFrameReceiver::Bytes() const {
    std::vector<uint8_t> bytes;
    if (m_received == 0) {
        return bytes;
    }
    bytes.push_back(m_command);
    if (m_received > 1) {
        bytes.push_back(m_lengthHigh);
    }
    if (m_received > 2) {
        bytes.push_back(static_cast<uint8_t>(m_length & 0xFF));
    }
    bytes.insert(bytes.end(), m_payload.begin(), m_payload.end());
    if (m_received > kFrameHeader + m_length) {
        bytes.push_back(m_checksum);
    }
    if (m_received > kFrameHeader + m_length + 1) {
        bytes.push_back(m_trailer);
    }
    return bytes;
}

}  // namespace sim
