#pragma once

#include <cstdint>
#include <string>

#include "contact/ContactFields.h"
#include "link/ContactRecord.h"
#include "link/DeviceLink.h"
#include "link/ErrorReport.h"

namespace orvex {

// The main window's device object: the link engine (which owns the running transfer), the
// device's capacity and counts as the status reply gave them, one personal record, and the
// error reports the main window raises through it. It lays records out in frames and reads
// them back, into and out of the transfer's group slots.
class CDeviceTransfer {
  public:
    static constexpr int kGroupSlots = CTransfer::kGroupSlots;
    static constexpr int kGroupNameLength = CContactFields::kGroupNameLength;
    // Bytes inside a record's payload.
    static constexpr uint8_t kPersonalMark = 0xA0;
    static constexpr uint8_t kGroupMark = 0xA1;
    static constexpr uint8_t kPersonalEnd = 0xA2;
    static constexpr uint8_t kGroupEnd = 0xA3;
    static constexpr uint8_t kNamePad = 0xFF;
    // The number of field codes of a personal entry (0x00 .. 0x0F); code 0x05 carries the
    // default-address byte, the others a text.
    static constexpr int kFieldCount = CContactFields::kDeviceFieldCount;
    static constexpr int kDefaultField = CContactFields::kDefaultAddressCode;

    virtual ~CDeviceTransfer() = default;

    CDeviceLink& Link() { return m_link; }
    CErrorReport& Errors() { return m_errors; }

    // Personal-entry capacity: from the settings at start-up, replaced by every status reply.
    int MaxPersonal() const { return m_maxPersonal; }
    void SetMaxPersonal(int capacity) { m_maxPersonal = capacity; }
    int DevicePersonalCount() const { return m_devicePersonal; }
    int DeviceGroupCount() const { return m_deviceGroups; }
    int PcRowCount() const { return m_pcRowCount; }

    CContactRecord& Record() { return m_record; }
    // The running transfer's group slots, which the records are read into and built from.
    SGroupSlot& Slot(int index) { return m_link.Transfer().Slot(index); }

    // 0x407: the status request 0xC1 carrying the PC's row count (low 16 bits).
    void BuildStatusRequest(int pcRows);
    // 0x408: the status reply's capacity and counts; during a transfer the open request 0xA6
    // is prepared.
    void ReadStatusReply();
    // Frames without payload, prepared for sending.
    void PrepareRecordRequest();
    void PrepareUploadStart();
    // 0xC7 with the low byte of the group count.
    void PrepareGroupStart(int groups);

    // The received record frame (0xC4) holds a personal entry.
    bool ReceivedPersonal() const;
    // Reads the received personal entry into Record(); iCID and iEIdx take its entry number.
    void DecodePersonal();
    // Reads the received group into the slot; false when there is no slot for it (index out of
    // range), so a device sending more groups than the slots hold is refused. Members beyond
    // the slot's ten are not kept.
    bool DecodeGroup(int slot);

    // 0xC6 of Record(): its entry index, then every field after its code. A text longer than
    // the device's field is cut to it, so the frame always fits.
    void BuildPersonalFrame();
    // 0xC6 of a group row (no members) and 0xC8 of a group with its members.
    void BuildGroupRowFrame(int slot);
    void BuildGroupRowFrame(const SGroupSlot& slot);
    void BuildGroupFrame(int slot);

    // The longest text the device keeps in a field (0 for the default-address code).
    static int FieldLength(int code);
    // The record's text of a field code (nullptr for the default-address code).
    static std::string* FieldText(CContactRecord& record, int code);

  private:
    void BuildGroupPayload(const SGroupSlot& slot, bool withMembers, uint8_t command);

    CDeviceLink m_link;
    CContactRecord m_record;
    int m_maxPersonal = 200;
    int m_devicePersonal = 0;
    int m_deviceGroups = 0;
    int m_pcRowCount = 0;
    CErrorReport m_errors;
};

}  // namespace orvex
