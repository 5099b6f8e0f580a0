#pragma once

#include "link/DeviceLink.h"
#include "link/ErrorReport.h"

namespace orvex {

// The main window's device object: the link engine, the device's capacity and counts as the
// status reply gave them, and the error reports the main window raises through it. The
// transfers' record codec joins it with them.
class CDeviceTransfer {
  public:
    virtual ~CDeviceTransfer() = default;

    CDeviceLink& Link() { return m_link; }
    CErrorReport& Errors() { return m_errors; }

    // Personal-entry capacity: from the settings at start-up, replaced by every status reply.
    int MaxPersonal() const { return m_maxPersonal; }
    void SetMaxPersonal(int capacity) { m_maxPersonal = capacity; }
    int DevicePersonalCount() const { return m_devicePersonal; }
    int DeviceGroupCount() const { return m_deviceGroups; }
    int PcRowCount() const { return m_pcRowCount; }

    // 0x407: the status request 0xC1 carrying the PC's row count (low 16 bits).
    void BuildStatusRequest(int pcRows);
    // 0x408: the status reply's capacity and counts.
    void ReadStatusReply();

  private:
    CDeviceLink m_link;
    int m_maxPersonal = 200;
    int m_devicePersonal = 0;
    int m_deviceGroups = 0;
    int m_pcRowCount = 0;
    CErrorReport m_errors;
};

}  // namespace orvex
