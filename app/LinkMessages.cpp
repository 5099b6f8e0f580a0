#include "app/LinkMessages.h"

#include "app/MainFrame.h"
#include "app/TransferCommands.h"
#include "link/LinkCodes.h"

namespace orvex {

CLinkMessages::CLinkMessages(CMainFrame& frame) : m_frame(frame) {
    m_statusTimer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&m_statusTimer, &QTimer::timeout, &m_statusTimer, [this] { OnStatusTimer(); });
    QObject::connect(&m_reopenTimer, &QTimer::timeout, &m_reopenTimer,
                     [this] { Handle(WM_TIMER, kReopenTimerId, 0); });
}

void CLinkMessages::SetTimer(int id, uint32_t ms) {
    if (id == kStatusTimerId) {
        m_statusTimer.start(static_cast<int>(ms));
    } else if (id == kReopenTimerId) {
        m_reopenTimer.start(static_cast<int>(ms));
    }
}

void CLinkMessages::KillTimer(int id) {
    if (id == kStatusTimerId) {
        m_statusTimer.stop();
    } else if (id == kReopenTimerId) {
        m_reopenTimer.stop();
    }
}

void CLinkMessages::OnStatusTimer() {
    CDeviceTransfer& device = m_frame.Device();
    device.Link().OnStatusTimer(device.MaxPersonal(), m_frame.IsBusy());
}

intptr_t CLinkMessages::Handle(uint32_t message, intptr_t wParam, intptr_t lParam) {
    CDeviceTransfer& device = m_frame.Device();
    CDeviceLink& link = device.Link();
    CTransferCommands& transfers = m_frame.Transfers();
    switch (message) {
        case kMsgBytesArrived:
            link.AssembleFrames();
            break;
        case kMsgFailure:
            link.FailureStopLink(static_cast<int>(wParam), static_cast<int>(lParam));
            transfers.OnFailure(static_cast<int>(wParam), static_cast<int>(lParam));
            link.FailureResumeStatus(static_cast<int>(wParam), static_cast<int>(lParam));
            break;
        case kMsgConnected:
            if (wParam == 0) {
                m_frame.SetStatusText(CMainFrame::kPaneConnection, "Connected");
            }
            SetTimer(static_cast<int>(wParam), static_cast<uint32_t>(lParam));
            break;
        case kMsgBuildStatus:
            device.BuildStatusRequest(m_frame.Book().CountTableRows());
            break;
        case kMsgStatusReply:
            device.ReadStatusReply();
            break;
        case kMsgOpenAnswered:
            transfers.OnOpenAnswered(wParam);
            break;
        case kMsgRecord:
            transfers.OnRecord();
            break;
        case kMsgNextRow:
            transfers.OnNextRow();
            break;
        case kMsgRowsDone:
            transfers.OnRowsDone();
            break;
        case kMsgNextGroup:
            transfers.OnNextGroup();
            break;
        case kMsgPageRequest:
            m_frame.OnPageRequest(static_cast<int>(lParam));
            break;
        case kMsgPortHungUp:
            link.OnPortHungUp(static_cast<int>(lParam));
            break;
        case WM_TIMER:
            if (wParam == kReopenTimerId) {
                link.OnReopenTimer();
            } else {
                OnStatusTimer();
            }
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace orvex
