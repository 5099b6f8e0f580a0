#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/VelkorMgrDoc.h"
#include "ui/QtMessageBox.h"

namespace orvex {

class CMainFrame;

// The application: its start-up sequence and the About command.
class CVelkorMgrApp : public QObject {
    Q_OBJECT
  public:
    CVelkorMgrApp();
    ~CVelkorMgrApp() override;

    // Creates the main window in the program directory (ending with "/"), runs the document's
    // new-document step and shows the window. False: the program ends (its reports are shown).
    bool InitInstance(const std::string& programDirectory);
    CMainFrame* MainFrame() const { return m_frame.get(); }
    void OnAppAbout();

  private:
    CQtMessageBox m_box;
    CVelkorMgrDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace orvex
