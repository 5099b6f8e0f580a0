#include "app/VelkorMgrApp.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "link/ErrorReport.h"

namespace orvex {

CVelkorMgrApp::CVelkorMgrApp() {
    CErrorReport::SetMessageBox(&m_box);
}

CVelkorMgrApp::~CVelkorMgrApp() {
    m_frame.reset();
    CErrorReport::SetMessageBox(nullptr);
}

bool CVelkorMgrApp::InitInstance(const std::string& programDirectory) {
    m_frame = std::make_unique<CMainFrame>(programDirectory);
    connect(m_frame.get(), &CMainFrame::AboutRequested, this, [this] { OnAppAbout(); });
    if (!m_frame->Create()) {
        CErrorReport::MessageBox().Notice(IMessageBox::ENotice::kCritical, "Orvex Manager",
                                          "Failed to create empty document.", {});
        m_frame.reset();
        return false;
    }
    if (!m_document.OnNewDocument(m_frame->StartupFailed())) {
        // Gone at once: no close steps, so the settings file is left as it was.
        m_frame->DestroyWithoutClosing();
        m_frame.reset();
        return false;
    }
    m_frame->InitialUpdate();
    // A window the user has sized and placed before comes back as it was; the first one is
    // centred on its screen.
    const bool remembered = m_frame->RestoreWindowPlace();
    m_frame->show();
    if (const QScreen* screen = m_frame->screen(); screen && !remembered) {
        const QRect area = screen->availableGeometry();
        m_frame->move(area.center() - m_frame->rect().center());
    }
    return true;
}

void CVelkorMgrApp::OnAppAbout() {
    CAboutDlg dialog(m_frame.get());
    m_frame->Dialogs().Run(dialog);
}

}  // namespace orvex
