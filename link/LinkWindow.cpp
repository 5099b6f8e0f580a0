#include "link/LinkWindow.h"

#include "link/LinkCodes.h"
#include "link/LinkState.h"

namespace orvex {

void CLinkWindow::Post(uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->PostMessage(message, wParam, lParam);
    }
}

intptr_t CLinkWindow::Send(uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        return target->SendMessage(message, wParam, lParam);
    }
    return 0;
}

void CLinkWindow::SetTimer(int id, uint32_t ms) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->SetTimer(id, ms);
    }
}

void CLinkWindow::KillTimer(int id) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->KillTimer(id);
    }
}

void CLinkWindow::RestartStatusTimer() {
    KillTimer(kStatusTimerId);
    SetTimer(kStatusTimerId, kStatusTimerMs);
}

void CLinkWindow::SetPane(StatusPane pane, const std::string& text) {
    if (IMessageTarget* target = LinkState().mainWindow.load()) {
        target->SetPaneText(pane, text);
    }
}

}  // namespace orvex
