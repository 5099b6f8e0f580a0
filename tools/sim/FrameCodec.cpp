#include "tools/sim/FrameCodec.h"

namespace sim {

uint8_t CFrameCodec::Checksum(const uint8_t* data, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += data[i];
    }
    return static_cast<uint8_t>(sum & 0xFF);
}

std::vector<uint8_t> CFrameCodec::DeviceFrame(uint8_t command,
                                              const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + kFrameHeader + 1);
    frame.push_back(command);
    frame.push_back(static_cast<uint8_t>((payload.size() >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(Checksum(frame.data(), frame.size()));
    return frame;
}

std::vector<uint8_t> CFrameCodec::PcFrame(uint8_t command, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame = DeviceFrame(command, payload);
    frame.push_back(kFrameTrailer);
    return frame;
}

bool CFrameCodec::IsPcCommand(uint8_t byte) {
    switch (byte) {
        case kCmdStatusRequest:
        case kCmdOpenBook:
        case kCmdRecordRequest:
        case kCmdUploadStart:
        case kCmdUploadRow:
        case kCmdGroupCount:
        case kCmdUploadGroup:
            return true;
        default:
            return false;
    }
}

const char* CFrameCodec::ControlName(uint8_t byte) {
    switch (byte) {
        case kPoll:
            return "POLL";
        case kAck:
            return "ACK";
        case kNak:
            return "NAK";
        case kStx:
            return "STX";
        case kEtx:
            return "ETX";
        case kEot:
            return "EOT";
        default:
            return "";
    }
}

std::string CFrameCodec::Hex(const uint8_t* data, size_t n, size_t maxBytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    const size_t shown = n < maxBytes ? n : maxBytes;
    text.reserve(shown * 3 + 4);
    for (size_t i = 0; i < shown; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    if (shown < n) {
        text += " ...";
    }
    return text;
}

}  // namespace sim
