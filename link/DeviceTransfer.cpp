#include "link/DeviceTransfer.h"

namespace orvex {

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
}

}  // namespace orvex
