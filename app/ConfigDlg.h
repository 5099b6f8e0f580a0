#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace orvex {

class CDeviceLink;
class CPortMap;

// "Configuration": the serial port of the pager, COM1 to COM4, and the device file that the
// chosen port means. The device list offers the serial devices present (a USB adapter under
// its stable /dev/serial/by-id name, with what identifies it to a person) and takes any path
// typed by hand. OK keeps a changed device in the port map, then closes the link, reopens it
// on the chosen port and starts the search for the device again; Cancel changes nothing.
class CConfigDlg : public QDialog {
    Q_OBJECT
  public:
    // `mapPath` is where the map is kept when OK changes it.
    CConfigDlg(CDeviceLink& link, CPortMap& map, std::string mapPath, QWidget* parent = nullptr);

    QComboBox* PortList() const { return m_ports; }
    QComboBox* DeviceList() const { return m_devices; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QLabel* DeviceNote() const { return m_note; }
    void accept() override;

    // Reads the serial devices present again; what the user typed stays.
    void RefreshDevices();
    // The device file the device list names now: an item's path, or the text as typed.
    std::string ChosenDevice() const;
    // Why `path` cannot be a serial device ("" when it may be one): missing, a folder, an
    // ordinary file, not a device at all, or not a full path.
    static std::string RefusalFor(const std::string& path);

  private:
    void ShowPort(int portNumber);
    void UpdateNote();
    // The device the port opens without the environment: its mapping, or /dev/ttyS(n-1).
    std::string StoredDevice(int portNumber) const;

    CDeviceLink& m_link;
    CPortMap& m_map;
    std::string m_mapPath;
    QComboBox* m_ports;
    QComboBox* m_devices;
    QPushButton* m_refresh;
    QLabel* m_note;
};

}  // namespace orvex
