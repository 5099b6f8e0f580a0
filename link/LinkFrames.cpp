#include "link/LinkFrames.h"

#include <cstring>

namespace orvex {

uint8_t CLinkFrames::Checksum(const uint8_t* bytes, int length) {
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum);
}

bool CLinkFrames::IsControlByte(uint8_t byte) {
    return byte == kStx || byte == kEtx || byte == kEot || byte == kAck || byte == kNak;
}

CLinkFrames::EHead CLinkFrames::Head(const CRecvQueue& queue, int count, int& length) {
    length = 0;
    if (count == 0) {
        return EHead::kEmpty;
    }
    if (IsControlByte(queue.Peek(0))) {
        length = 1;  // a control byte is always a unit of its own
        return EHead::kUnit;
    }
    // A frame: its length is read only once both length bytes are here, and it is taken only
    // whole.
    if (count < 3) {
        return EHead::kPartial;
    }
    const int payload = queue.Peek(1) << 8 | queue.Peek(2);
    if (payload > kMaxDevicePayload) {
        return EHead::kOversized;
    }
    if (payload + 4 > count) {
        return EHead::kPartial;
    }
    length = payload + 4;
    return EHead::kUnit;
}

void CLinkFrames::Build(uint8_t command, const uint8_t* payload, int length) {
    if (length < 0 || length > kSendFrameSize - 5) {
        length = 0;
    }
    m_send[0] = command;
    m_send[1] = static_cast<uint8_t>(length >> 8);
    m_send[2] = static_cast<uint8_t>(length & 0xFF);
    if (length > 0) {
        std::memcpy(m_send + 3, payload, static_cast<size_t>(length));
    }
    m_send[3 + length] = Checksum(m_send, 3 + length);
    m_send[4 + length] = kFrameTrailer;
}

int CLinkFrames::SentLength() const {
    return (m_send[1] << 8 | m_send[2]) + 5;
}

bool CLinkFrames::Validate(const uint8_t* unit, int length, int minPayload) {
    const int copied = length < kRecvFrameSize ? length : kRecvFrameSize;
    std::memcpy(m_recv, unit, static_cast<size_t>(copied));
    if (copied < 4) {
        return false;
    }
    const int n = m_recv[1] << 8 | m_recv[2];
    if (3 + n >= copied) {
        return false;
    }
    // A frame shorter than its layout would be read from what an earlier frame left in the
    // buffer: it is as bad as one with a wrong checksum.
    return n >= minPayload && m_recv[3 + n] == Checksum(m_recv, 3 + n);
}

}  // namespace orvex
