#include "link/DeviceTransfer.h"

#include <algorithm>
#include <vector>

#include "link/LinkCodes.h"

namespace orvex {

namespace {

using F = CContactFields;

// The record's text of each column that the device has a field for.
struct SRecordText {
    F::EColumn column;
    std::string CContactRecord::*text;
};
constexpr SRecordText kRecordTexts[] = {
    {F::kFirstName, &CContactRecord::strFName},    {F::kLastName, &CContactRecord::strLName},
    {F::kWireless, &CContactRecord::strWAddr},     {F::kWorkEmail, &CContactRecord::strWEmail},
    {F::kHomeEmail, &CContactRecord::strHEmail},   {F::kCompany, &CContactRecord::strCompany},
    {F::kHomePhone, &CContactRecord::strHPhone},   {F::kWorkPhone, &CContactRecord::strWPhone},
    {F::kMobilePhone, &CContactRecord::strMPhone}, {F::kFax, &CContactRecord::strFax},
    {F::kStreet, &CContactRecord::strStreet},      {F::kCity, &CContactRecord::strCity},
    {F::kState, &CContactRecord::strState},        {F::kZip, &CContactRecord::strZip},
    {F::kNote, &CContactRecord::strNote},
};

void PutNumber(std::vector<uint8_t>& out, int number) {
    out.push_back(static_cast<uint8_t>((number >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(number & 0xFF));
}

}  // namespace

int CDeviceTransfer::FieldLength(int code) {
    // The default address is a number, and so has no text length.
    const int column = F::ColumnOfCode(code);
    return column < 0 ? 0 : F::kFields[static_cast<size_t>(column)].maxLength;
}

std::string* CDeviceTransfer::FieldText(CContactRecord& r, int code) {
    const int column = F::ColumnOfCode(code);
    for (const SRecordText& t : kRecordTexts) {
        if (t.column == column) {
            return &(r.*t.text);
        }
    }
    return nullptr;
}

// --- Status and open requests ---------------------------------------------------------------

void CDeviceTransfer::BuildStatusRequest(int pcRows) {
    m_pcRowCount = pcRows & 0xFFFF;
    const uint8_t payload[2] = {static_cast<uint8_t>(m_pcRowCount >> 8),
                                static_cast<uint8_t>(m_pcRowCount & 0xFF)};
    m_link.BuildFrame(kCmdStatusRequest, payload, 2);
}

void CDeviceTransfer::ReadStatusReply() {
    const uint8_t* frame = m_link.RecvFrame();
    m_maxPersonal = frame[3] << 8 | frame[4];
    m_devicePersonal = frame[5] << 8 | frame[6];
    m_deviceGroups = frame[7];
    const CTransfer& transfer = m_link.Transfer();
    if (transfer.Is(CTransfer::EPhase::kDownload) || transfer.Is(CTransfer::EPhase::kUploadRows)) {
        m_link.PrepareFrame(kCmdOpenBook, nullptr, 0);
    }
}

void CDeviceTransfer::PrepareRecordRequest() {
    m_link.PrepareFrame(kCmdRecordRequest, nullptr, 0);
}

void CDeviceTransfer::PrepareUploadStart() {
    m_link.PrepareFrame(kCmdUploadStart, nullptr, 0);
}

void CDeviceTransfer::PrepareGroupStart(int groups) {
    const uint8_t payload[1] = {static_cast<uint8_t>(groups & 0xFF)};
    m_link.PrepareFrame(kCmdGroupStart, payload, 1);
}

// --- Received records -----------------------------------------------------------------------
//
// Offsets below count from the frame's start, as the record layouts do: command (0), length
// (1-2), entry or group number (3-4), the mark (5), then the fields. The validated length
// bounds every read.

bool CDeviceTransfer::ReceivedPersonal() const {
    const uint8_t* frame = m_link.RecvFrame();
    const int n = frame[1] << 8 | frame[2];
    return n >= 3 && frame[5] == kPersonalMark;
}

void CDeviceTransfer::DecodePersonal() {
    const uint8_t* frame = m_link.RecvFrame();
    const int end = 3 + (frame[1] << 8 | frame[2]);  // one past the payload
    m_record = CContactRecord();
    m_record.iCID = m_record.iEIdx = frame[3] << 8 | frame[4];
    int pos = 6;
    for (int code = 0; code < kFieldCount; ++code) {
        if (code == kDefaultField) {
            // The code, then the one byte of the default address.
            if (pos + 1 < end) {
                m_record.byDefault = frame[pos + 1];
            }
            pos += 2;
            continue;
        }
        while (pos < end && frame[pos] == code) {
            ++pos;
        }
        int stop = pos;
        if (code + 1 < kFieldCount) {
            while (stop < end && frame[stop] != code + 1) {
                ++stop;
            }
        } else {
            // The note runs to the entry's closing mark, the payload's last byte: a "¢" in
            // the note is the same byte value and must not cut it short.
            stop = end > pos && frame[end - 1] == kPersonalEnd ? end - 1 : end;
        }
        if (pos < stop) {
            FieldText(m_record, code)
                ->assign(reinterpret_cast<const char*>(frame + pos),
                         static_cast<size_t>(stop - pos));
        }
        pos = stop;
    }
}

bool CDeviceTransfer::DecodeGroup(int index) {
    if (index < 0 || index >= kGroupSlots) {
        return false;
    }
    const uint8_t* frame = m_link.RecvFrame();
    const int end = 3 + (frame[1] << 8 | frame[2]);
    SGroupSlot& slot = Slot(index);
    slot = SGroupSlot();
    slot.iCID = slot.iEIdx = frame[3] << 8 | frame[4];
    // Only the mark itself is skipped, so a name that begins with "¡" (the mark's byte value)
    // keeps it.
    int pos = 6;
    const int nameEnd = std::min(end, 6 + kGroupNameLength);
    while (pos < nameEnd && frame[pos] != kNamePad) {
        slot.name.push_back(static_cast<char>(frame[pos++]));
    }
    while (pos < nameEnd && frame[pos] == kNamePad) {
        ++pos;
    }
    // Three bytes a member up to the closing mark, the payload's last byte. Counting by the
    // length rather than looking for the mark keeps members whose identifier's low byte has the
    // mark's value (163, 419, ...).
    const bool closed = end > pos && frame[end - 1] == kGroupEnd && (end - 1 - pos) % 3 == 0;
    while (pos + 2 < end && (closed ? pos < end - 1 : frame[pos] != kGroupEnd)) {
        SGroupMember member;
        member.iCID = member.iEIdx = frame[pos] | frame[pos + 1] << 8;
        member.kind = frame[pos + 2];
        slot.Add(member);  // beyond ten members nothing is kept
        pos += 3;
    }
    return true;
}

// --- Frames sent ----------------------------------------------------------------------------

void CDeviceTransfer::BuildPersonalFrame() {
    std::vector<uint8_t> payload;
    payload.reserve(kMaxDevicePayload);
    PutNumber(payload, m_record.iEIdx);
    payload.push_back(kPersonalMark);
    for (int code = 0; code < kFieldCount; ++code) {
        payload.push_back(static_cast<uint8_t>(code));
        if (code == kDefaultField) {
            payload.push_back(static_cast<uint8_t>(m_record.byDefault & 0xFF));
            continue;
        }
        const std::string& text = *FieldText(m_record, code);
        const size_t length = std::min(text.size(), static_cast<size_t>(FieldLength(code)));
        payload.insert(payload.end(), text.begin(), text.begin() + static_cast<long>(length));
    }
    payload.push_back(kPersonalEnd);
    m_link.BuildFrame(kCmdUploadRow, payload.data(), static_cast<int>(payload.size()));
}

void CDeviceTransfer::BuildGroupRowFrame(int slot) {
    BuildGroupPayload(Slot(std::clamp(slot, 0, kGroupSlots - 1)), false, kCmdUploadRow);
}

void CDeviceTransfer::BuildGroupRowFrame(const SGroupSlot& slot) {
    BuildGroupPayload(slot, false, kCmdUploadRow);
}

void CDeviceTransfer::BuildGroupFrame(int slot) {
    BuildGroupPayload(Slot(std::clamp(slot, 0, kGroupSlots - 1)), true, kCmdUploadGroup);
}

void CDeviceTransfer::BuildGroupPayload(const SGroupSlot& slot, bool withMembers, uint8_t command) {
    std::vector<uint8_t> payload;
    PutNumber(payload, slot.iEIdx);
    payload.push_back(kGroupMark);
    for (int i = 0; i < kGroupNameLength; ++i) {
        payload.push_back(i < static_cast<int>(slot.name.size())
                              ? static_cast<uint8_t>(slot.name[static_cast<size_t>(i)])
                              : kNamePad);
    }
    if (withMembers) {
        const int count = std::clamp(slot.count, 0, SGroupSlot::kMaxMembers);
        for (int i = 0; i < count; ++i) {
            const SGroupMember& m = slot.members[static_cast<size_t>(i)];
            payload.push_back(static_cast<uint8_t>(m.iEIdx & 0xFF));
            payload.push_back(static_cast<uint8_t>((m.iEIdx >> 8) & 0xFF));
            payload.push_back(m.kind);
        }
    }
    payload.push_back(kGroupEnd);
    m_link.BuildFrame(command, payload.data(), static_cast<int>(payload.size()));
}

}  // namespace orvex
