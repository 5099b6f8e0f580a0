#include "app/ConfigDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>

#include "link/DeviceLink.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/MessageTarget.h"

namespace orvex {

CConfigDlg::CConfigDlg(CDeviceLink& link, IMessageTarget& mainWindow, QWidget* parent)
    : QDialog(parent), m_link(link), m_mainWindow(mainWindow), m_ports(new QComboBox(this)) {
    setWindowTitle("Configuration");
    m_ports->addItems({"COM1", "COM2", "COM3", "COM4"});
    m_ports->setEditable(true);
    m_ports->setInsertPolicy(QComboBox::NoInsert);
    m_ports->setCurrentIndex(m_link.PortNumber() - 1);
    m_ports->setAccessibleName("Port");
    m_ports->lineEdit()->setAccessibleName("Port");
    auto* label = new QLabel("&Port:", this);
    label->setBuddy(m_ports);

    auto* group = new QGroupBox("Serial Communication", this);
    auto* form = new QFormLayout(group);
    form->addRow(label, m_ports);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("OK");
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setText("Cancel");
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &CConfigDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

void CConfigDlg::accept() {
    // A name typed into the box that is not one of the four ports selects nothing.
    const int selection = m_ports->findText(m_ports->currentText(), Qt::MatchFixedString);
    if (selection < 0) {
        return;
    }
    m_mainWindow.KillTimer(kStatusTimerId);
    m_link.StopPollTimer();
    m_link.StopWatchdog();
    LinkState().devicePresent = 0;
    m_mainWindow.SetPaneText(StatusPane::Connection, "Disconnected");
    m_link.CloseLink();
    // The old port settles before the new one is opened.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_link.SetPortNumber(selection + 1);
    m_link.SelectPort(selection + 1);
    m_link.OpenLink();
    if (m_link.PortOpen()) {
        m_mainWindow.KillTimer(kStatusTimerId);
        m_mainWindow.SetTimer(kStatusTimerId, kStatusTimerMs);
    }
    m_mainWindow.SetPaneText(StatusPane::Connection, "Connecting...");
    QDialog::accept();
}

}  // namespace orvex
