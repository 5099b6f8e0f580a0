#pragma once

#include <QTimer>
#include <cstdint>

namespace orvex {

class CMainFrame;

// The main window's side of the link: the window messages the link posts and sends to it
// (0x401 to 0x40F), each handed to the link's own step, the device object, the transfer
// commands or the window's page request, and the two window timers the link starts and
// stops (0, the status timer, and 1, the reopening of a port that went away).
class CLinkMessages {
  public:
    explicit CLinkMessages(CMainFrame& frame);

    intptr_t Handle(uint32_t message, intptr_t wParam, intptr_t lParam);
    void SetTimer(int id, uint32_t ms);
    void KillTimer(int id);

  private:
    void OnStatusTimer();

    CMainFrame& m_frame;
    QTimer m_statusTimer;
    QTimer m_reopenTimer;
};

}  // namespace orvex
