#pragma once

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
QT_END_NAMESPACE

namespace orvex {

class CDeviceLink;
class IMessageTarget;
class CTextProgressCtrl;

// The small window shown while the records of a download or an upload are exchanged:
// "Now communicating...", a bar with the counters and a Stop button. It runs modally while
// the transfer's messages keep flowing through its loop; the transfer handlers step it,
// write the completion text and close it.
//
// Stop, Esc and any other attempt to close the window all stop the transfer: they send the
// link's failure message with the user-stop mark, and the failure handler closes the window.
// A transfer thus never runs on without its window.
//
// One object serves every transfer of the program's run: each Show starts afresh.
class CCommProgressDlg : public QDialog {
    Q_OBJECT
  public:
    // link: the device link whose transfer flags choose the texts and colours and whose
    // expected count is the total when the window opens; mainWindow: the target of the
    // failure message that Stop sends.
    CCommProgressDlg(CDeviceLink& link, IMessageTarget& mainWindow, QWidget* owner);

    // Opens the window centred on its owner and runs it modally until Close.
    void Show();
    // After every record: the counter text and the bar.
    void Step();
    // "Download completed." or "Upload completed."; the counters start again from 0.
    void Final();
    // Ends the modal loop of Show; harmless when the window is not shown.
    void Close();
    bool IsShown() const;

    CTextProgressCtrl& Bar() { return *m_bar; }
    QPushButton& StopButton() { return *m_stop; }
    int Counter() const { return m_counter; }
    int Total() const { return m_total; }

    // Esc and the window's close request come here as well as the Stop button.
    void reject() override;

  private:
    void Initialise();
    void CentreOnOwner();
    void OnStop();
    // The counter text for the transfer that is running; empty when none is.
    QString CounterText() const;

    CDeviceLink& m_link;
    IMessageTarget& m_mainWindow;
    QLabel* m_label = nullptr;
    CTextProgressCtrl* m_bar = nullptr;
    QPushButton* m_stop = nullptr;
    int m_counter = 0;
    int m_total = 0;
};

}  // namespace orvex
