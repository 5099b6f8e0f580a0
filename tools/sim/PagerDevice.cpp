#include "tools/sim/PagerDevice.h"

#include <algorithm>

#include "tools/sim/BookFile.h"
#include "tools/sim/FrameCodec.h"
#include "tools/sim/RecordCodec.h"

namespace sim {

namespace {

std::string Hex(uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

bool WantSize(uint8_t command, const std::vector<uint8_t>& payload, size_t size, std::string& why) {
    if (payload.size() == size) {
        return true;
    }
    why = Hex(command) + " must carry " + std::to_string(size) + " payload bytes, not " +
          std::to_string(payload.size());
    return false;
}

}  // namespace

CPagerDevice::CPagerDevice(CPagerBook book) : m_book(std::move(book)) {}

bool CPagerDevice::Handle(uint8_t command, const std::vector<uint8_t>& payload,
                          std::vector<std::vector<uint8_t>>& replies, std::string& why) {
    switch (command) {
        case kCmdOpenBook:
            if (!WantSize(command, payload, 0, why)) {
                return false;
            }
            if (m_locked) {
                why = "the address book is locked";
                return false;
            }
            return true;
        case kCmdStatusRequest:
            if (!WantSize(command, payload, 2, why)) {
                return false;
            }
            m_pcRowCount = static_cast<uint16_t>((payload[0] << 8) | payload[1]);
            replies.push_back(StatusReply());
            return true;
        case kCmdRecordRequest: {
            if (!WantSize(command, payload, 0, why)) {
                return false;
            }
            std::vector<std::vector<uint8_t>> records = RecordFrames();
            replies.insert(replies.end(), records.begin(), records.end());
            return true;
        }
        case kCmdUploadStart:
            if (!WantSize(command, payload, 0, why)) {
                return false;
            }
            m_uploadStarted = false;
            BeginUploadIfNeeded();
            UploadChanged();
            return true;
        case kCmdUploadRow:
            return TakeUploadRow(payload, why);
        case kCmdGroupCount:
            if (!WantSize(command, payload, 1, why)) {
                return false;
            }
            if (payload[0] > CPagerBook::kMaxGroups) {
                why = std::to_string(payload[0]) + " groups announced, the device holds at most " +
                      std::to_string(CPagerBook::kMaxGroups);
                return false;
            }
            BeginUploadIfNeeded();
            m_announcedGroups = payload[0];
            return true;
        case kCmdUploadGroup:
            return TakeUploadGroup(payload, why);
        default:
            why = "unknown command " + Hex(command);
            return false;
    }
}

std::vector<uint8_t> CPagerDevice::StatusReply() const {
    const size_t entries = std::min<size_t>(m_book.Entries().size(), 0xFFFF);
    const size_t groups = std::min<size_t>(m_book.Groups().size(), 0xFF);
    const std::vector<uint8_t> payload = {
        static_cast<uint8_t>(m_book.Capacity() >> 8),
        static_cast<uint8_t>(m_book.Capacity()),
        static_cast<uint8_t>(entries >> 8),
        static_cast<uint8_t>(entries),
        static_cast<uint8_t>(groups),
    };
    return CFrameCodec::DeviceFrame(kCmdStatusReply, payload);
}

std::vector<std::vector<uint8_t>> CPagerDevice::RecordFrames() const {
    std::vector<std::vector<uint8_t>> frames;
    frames.reserve(m_book.Entries().size() + m_book.Groups().size());
    for (const SPersonalEntry& entry : m_book.Entries()) {
        frames.push_back(CFrameCodec::DeviceFrame(kCmdRecord, CRecordCodec::EncodeEntry(entry)));
    }
    for (const SGroup& group : m_book.Groups()) {
        frames.push_back(CFrameCodec::DeviceFrame(kCmdRecord, CRecordCodec::EncodeGroup(group)));
    }
    return frames;
}

bool CPagerDevice::TakeUploadRow(const std::vector<uint8_t>& payload, std::string& why) {
    SDecodedRecord record;
    if (!CRecordCodec::Decode(payload, record, why)) {
        return false;
    }
    BeginUploadIfNeeded();
    if (record.isGroup) {
        if (!record.group.members.empty()) {
            why = "a 0xC6 group row carries no members (they come with 0xC8)";
            return false;
        }
        if (!HasRoomForGroup(record.group.number, why)) {
            return false;
        }
        // A row sent again after a lost ACK must not drop members that came meanwhile.
        if (const SGroup* existing = m_received.FindGroup(record.group.number)) {
            record.group.members = existing->members;
        }
        m_received.PutGroup(record.group);
    } else {
        if (m_received.FindEntry(record.entry.number) == nullptr &&
            m_received.Entries().size() >= m_received.Capacity()) {
            why =
                "the address book is full (capacity " + std::to_string(m_received.Capacity()) + ")";
            return false;
        }
        m_received.PutEntry(record.entry);
    }
    UploadChanged();
    return true;
}

bool CPagerDevice::TakeUploadGroup(const std::vector<uint8_t>& payload, std::string& why) {
    SDecodedRecord record;
    if (!CRecordCodec::Decode(payload, record, why)) {
        return false;
    }
    if (!record.isGroup) {
        why = "0xC8 carries a group, not a personal entry";
        return false;
    }
    BeginUploadIfNeeded();
    if (!HasRoomForGroup(record.group.number, why)) {
        return false;
    }
    for (const SGroupMember& member : record.group.members) {
        if (m_received.FindEntry(member.id) == nullptr) {
            why = "group member " + std::to_string(member.id) + " is no received personal entry";
            return false;
        }
    }
    m_received.PutGroup(record.group);
    UploadChanged();
    return true;
}

bool CPagerDevice::HasRoomForGroup(uint16_t number, std::string& why) const {
    if (m_received.FindGroup(number) != nullptr ||
        m_received.Groups().size() < CPagerBook::kMaxGroups) {
        return true;
    }
    why = "the device holds at most " + std::to_string(CPagerBook::kMaxGroups) + " groups";
    return false;
}

void CPagerDevice::BeginUploadIfNeeded() {
    if (m_uploadStarted) {
        return;
    }
    m_uploadStarted = true;
    m_received = CPagerBook();
    m_received.SetCapacity(m_book.Capacity());
    m_announcedGroups.reset();
}

void CPagerDevice::UploadChanged() {
    m_book = m_received;
    if (m_uploadPath.empty()) {
        return;
    }
    m_uploadError = CBookFile::Save(m_received, m_uploadPath);
    if (m_uploadError.empty()) {
        ++m_uploadWrites;
    }
}

}  // namespace sim
