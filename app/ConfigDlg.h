#pragma once

#include <QDialog>

class QComboBox;

namespace orvex {

class CDeviceLink;
class IMessageTarget;

// "Configuration": the serial port of the pager, COM1 to COM4. OK closes the link, reopens it
// on the chosen port and starts the search for the device again; Cancel changes nothing.
class CConfigDlg : public QDialog {
    Q_OBJECT
  public:
    CConfigDlg(CDeviceLink& link, IMessageTarget& mainWindow, QWidget* parent = nullptr);

    QComboBox* PortList() const { return m_ports; }
    void accept() override;

  private:
    CDeviceLink& m_link;
    IMessageTarget& m_mainWindow;
    QComboBox* m_ports;
};

}  // namespace orvex
