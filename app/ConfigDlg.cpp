#include "app/ConfigDlg.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/settings/PortMap.h"
#include "link/DeviceLink.h"
#include "link/ErrorReport.h"
#include "link/SerialDevices.h"

namespace orvex {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CConfigDlg::CConfigDlg(CDeviceLink& link, CPortMap& map, std::string mapPath, QWidget* parent)
    : QDialog(parent),
      m_link(link),
      m_map(map),
      m_mapPath(std::move(mapPath)),
      m_ports(new QComboBox(this)),
      m_devices(new QComboBox(this)),
      m_refresh(new QPushButton("&Refresh", this)),
      m_note(new QLabel(this)) {
    setWindowTitle("Configuration");
    m_ports->addItems({"COM1", "COM2", "COM3", "COM4"});
    m_ports->setEditable(true);
    m_ports->setInsertPolicy(QComboBox::NoInsert);
    m_ports->setCurrentIndex(m_link.PortNumber() - 1);
    m_ports->setAccessibleName("Port");
    m_ports->lineEdit()->setAccessibleName("Port");
    auto* label = new QLabel("&Port:", this);
    label->setBuddy(m_ports);

    m_devices->setEditable(true);
    m_devices->setInsertPolicy(QComboBox::NoInsert);
    m_devices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_devices->setMinimumContentsLength(40);
    m_devices->setAccessibleName("Device");
    m_devices->lineEdit()->setAccessibleName("Device");
    m_devices->setToolTip(
        "The serial device that the port opens: choose one of the devices "
        "present or type its path");
    auto* deviceLabel = new QLabel("&Device:", this);
    deviceLabel->setBuddy(m_devices);
    m_refresh->setAccessibleName("Refresh");
    m_refresh->setToolTip("Look for serial devices again");
    m_refresh->setAutoDefault(false);
    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(m_devices, 1);
    deviceRow->addWidget(m_refresh);
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* group = new QGroupBox("Serial Communication", this);
    auto* form = new QFormLayout(group);
    form->addRow(label, m_ports);
    form->addRow(deviceLabel, deviceRow);
    form->addRow(QString(), m_note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("OK");
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setText("Cancel");
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &CConfigDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_refresh, &QPushButton::clicked, this, [this] { RefreshDevices(); });
    connect(m_ports, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            ShowPort(index + 1);
        }
    });
    connect(m_devices, &QComboBox::currentTextChanged, this, [this] { UpdateNote(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);

    ShowPort(m_link.PortNumber());
}

std::string CConfigDlg::StoredDevice(int portNumber) const {
    const std::string& mapped = m_map.Device(portNumber);
    return mapped.empty() ? CPortMap::DefaultDevice(portNumber) : mapped;
}

void CConfigDlg::RefreshDevices() {
    const QString typed = m_devices->currentText();
    const QSignalBlocker blocker(m_devices);
    m_devices->clear();
    for (const SSerialDevice& device : CSerialDevices::List()) {
        m_devices->addItem(Q(device.DisplayText()), Q(device.path));
    }
    m_devices->setCurrentIndex(-1);
    const int index = m_devices->findText(typed);
    if (index >= 0) {
        m_devices->setCurrentIndex(index);
    } else {
        m_devices->setEditText(typed);
    }
    UpdateNote();
}

void CConfigDlg::ShowPort(int portNumber) {
    const std::string stored = StoredDevice(portNumber);
    RefreshDevices();
    const int index = m_devices->findData(Q(stored));
    if (index >= 0) {
        m_devices->setCurrentIndex(index);
    } else {
        m_devices->setCurrentIndex(-1);
        m_devices->setEditText(Q(stored));
    }
    UpdateNote();
}

void CConfigDlg::UpdateNote() {
    const int port = m_ports->findText(m_ports->currentText(), Qt::MatchFixedString) + 1;
    if (port < 1) {
        m_note->clear();
        return;
    }
    const std::string name = "COM" + std::to_string(port);
    const std::string variable = CCommPort::OverrideVariable(port);
    if (const char* value = std::getenv(variable.c_str()); value && *value) {
        m_note->setText(Q(variable + " is set, so " + name + " opens " + value +
                          " in this run; the device chosen here is used when it is not set."));
        return;
    }
    std::string chosen = ChosenDevice();
    if (chosen.empty()) {
        chosen = CPortMap::DefaultDevice(port);
    }
    // What the port opens now, or what OK makes it open.
    std::string text =
        chosen == StoredDevice(port) ? name + " opens " : "OK makes " + name + " open ";
    if (const auto device = CSerialDevices::Find(chosen); device && !device->description.empty()) {
        text += device->kernelPath + ": " + device->description + ".";
    } else {
        text += chosen + ".";
    }
    m_note->setText(Q(text));
}

std::string CConfigDlg::ChosenDevice() const {
    const QString text = m_devices->currentText();
    const int index = m_devices->findText(text);
    if (index >= 0) {
        return m_devices->itemData(index).toString().toStdString();
    }
    return text.trimmed().toStdString();
}

std::string CConfigDlg::RefusalFor(const std::string& path) {
    if (path.empty() || path[0] != '/' || !CPortMap::IsValidDevice(path)) {
        return "\"" + path + "\" is not the full path of a device; it must begin with \"/\".";
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return path +
                   " does not exist.\n\nIs the adapter plugged in? Plug it in and press "
                   "Refresh, or choose one of the devices in the list.";
        }
        return path + " cannot be used: " + std::strerror(errno) + ".";
    }
    if (S_ISDIR(info.st_mode)) {
        return path + " is a folder, not a serial device.";
    }
    if (S_ISREG(info.st_mode)) {
        return path + " is an ordinary file, not a serial device.";
    }
    if (!S_ISCHR(info.st_mode)) {
        return path + " is not a serial device.";
    }
    return {};
}

void CConfigDlg::accept() {
    // A name typed into the box that is not one of the four ports selects nothing.
    const int selection = m_ports->findText(m_ports->currentText(), Qt::MatchFixedString);
    if (selection < 0) {
        return;
    }
    const int port = selection + 1;
    std::string device = ChosenDevice();
    if (device.empty()) {
        device = CPortMap::DefaultDevice(port);
    }
    if (device != StoredDevice(port)) {
        // A device that cannot be one is refused here, before anything changes.
        if (const std::string refusal = RefusalFor(device); !refusal.empty()) {
            CErrorReport().Problem(refusal);
            m_devices->setFocus();
            m_devices->lineEdit()->selectAll();
            return;
        }
        m_map.SetDevice(port, device == CPortMap::DefaultDevice(port) ? std::string() : device);
        std::string error;
        if (!m_map.Save(m_mapPath, error)) {
            CErrorReport().Problem("The device chosen for " + m_ports->currentText().toStdString() +
                                   " is used now but will be forgotten at the next start:\n" +
                                   error);
        }
        m_link.Port().SetMappedDevice(port, m_map.Device(port));
    }
    m_link.ChangePort(port);
    QDialog::accept();
}

}  // namespace orvex
