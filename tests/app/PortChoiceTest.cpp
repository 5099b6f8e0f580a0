// Choosing the pager's device: the Configuration dialog's device list, its refusals, the port
// map it keeps, and what the user is told when the port cannot be opened.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/ConfigDlg.h"
#include "app/TransferCommands.h"
#include "app/settings/PortMap.h"
#include "link/LinkState.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/link/SimOnPty.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

// A pseudo-terminal that nothing answers on: a device that exists and opens.
class CQuietTerminal {
  public:
    CQuietTerminal() {
        char name[128];
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            m_path = name;
        }
    }
    ~CQuietTerminal() {
        close(m_master);
        close(m_slave);
    }
    const std::string& Path() const { return m_path; }

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

class PortChoiceTest : public CProgramTest {
  protected:
    void SetUp() override {
        CProgramTest::SetUp();
        for (int n = 2; n <= 4; ++n) {
            unsetenv(("ORVEX_COM" + std::to_string(n)).c_str());
        }
    }
    std::unique_ptr<CConfigDlg> Dialog() {
        return std::make_unique<CConfigDlg>(frame->Device().Link(), frame->PortMap(),
                                            frame->PortMapPath(), frame);
    }
    std::string MapFile() { return dir + "OrvexPorts.conf"; }
};

TEST_F(PortChoiceTest, ADeviceThatCannotBeOneIsRefusedAndNothingChanges) {
    ShipDatabase();
    StartProgram();
    box.shown.clear();
    fs::create_directory(dir + "folder");
    std::ofstream(dir + "plain.txt") << "not a device";
    const std::pair<std::string, std::string> refused[] = {
        {dir + "ttyUSB9", "does not exist"},
        {dir + "folder", "is a folder"},
        {dir + "plain.txt", "is an ordinary file"},
        {"ttyUSB0", "must begin with \"/\""},
    };
    for (const auto& [path, reason] : refused) {
        auto dialog = Dialog();
        dialog->show();
        dialog->PortList()->setCurrentIndex(1);
        dialog->DeviceList()->setEditText(QString::fromStdString(path));
        dialog->accept();
        EXPECT_TRUE(dialog->isVisible()) << path << ": the dialog stays open";
        EXPECT_NE(dialog->result(), QDialog::Accepted);
        ASSERT_FALSE(box.Shown().empty()) << path;
        EXPECT_EQ(box.Shown().back().rfind("Orvex Manager|", 0), 0u) << box.Shown().back();
        EXPECT_NE(box.Shown().back().find(reason), std::string::npos) << box.Shown().back();
        EXPECT_TRUE(dialog->DeviceList()->hasFocus() || !QApplication::focusWidget())
            << "the field to correct has the focus";
    }
    EXPECT_EQ(frame->Device().Link().PortNumber(), 1) << "the port did not change";
    EXPECT_FALSE(fs::exists(MapFile())) << "no map was written";
    EXPECT_EQ(frame->PortMap().Device(2), "");
}

TEST_F(PortChoiceTest, TheChosenDeviceIsKeptForItsPortAndOpened) {
    ShipDatabase();
    StartProgram();
    CQuietTerminal terminal;
    ASSERT_FALSE(terminal.Path().empty());
    {
        auto dialog = Dialog();
        dialog->PortList()->setCurrentIndex(1);
        EXPECT_EQ(dialog->ChosenDevice(), "/dev/ttyS1") << "an unmapped port shows its default";
        dialog->DeviceList()->setEditText(QString::fromStdString(terminal.Path()));
        EXPECT_NE(dialog->DeviceNote()->text().toStdString().find("OK makes COM2 open " +
                                                                  terminal.Path()),
                  std::string::npos)
            << dialog->DeviceNote()->text().toStdString();
        dialog->accept();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }
    CDeviceLink& link = frame->Device().Link();
    EXPECT_EQ(link.PortNumber(), 2);
    EXPECT_EQ(link.PortOpen(), 1) << link.Port().LastError();
    EXPECT_EQ(link.Port().DevicePath(), terminal.Path());
    EXPECT_EQ(frame->StatusText(CMainFrame::kPanePort), "COM2");
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneConnection), "Connecting...");
    EXPECT_EQ(Slurp(MapFile()).find("COM2=" + terminal.Path() + "\n") != std::string::npos, true)
        << Slurp(MapFile());

    // The dialog opens again on the port and the device now in use.
    {
        auto dialog = Dialog();
        EXPECT_EQ(dialog->PortList()->currentText(), "COM2");
        EXPECT_EQ(dialog->ChosenDevice(), terminal.Path());
        // Another port shows its own device; the map keeps COM2's.
        dialog->PortList()->setCurrentIndex(0);
        EXPECT_EQ(dialog->ChosenDevice(), "/dev/ttyS0");
        dialog->reject();
    }
    frame->close();
    EXPECT_NE(Slurp(dir + "OrvexMgr.ini").find("[Communication]\r\n;2$\r\n;."), std::string::npos)
        << "OrvexMgr.ini keeps only the port number";
    EXPECT_EQ(Slurp(dir + "OrvexMgr.ini").find("pts"), std::string::npos);
}

TEST_F(PortChoiceTest, TheEnvironmentWinsForThisRunAndTheDialogSaysSo) {
    ShipDatabase();
    StartProgram();
    auto dialog = Dialog();
    const std::string note = dialog->DeviceNote()->text().toStdString();
    EXPECT_NE(note.find("ORVEX_COM1 is set"), std::string::npos) << note;
    EXPECT_NE(note.find("/nonexistent/orvex-tty"), std::string::npos) << note;
    dialog->PortList()->setCurrentIndex(2);
    EXPECT_EQ(dialog->DeviceNote()->text().toStdString().find("ORVEX_COM"), std::string::npos);
}

// The by-id name survives renumbering: the map keeps the link, and each start opens whatever
// terminal the link leads to then.
TEST_F(PortChoiceTest, AStableNameIsFollowedToWhereverItLeadsAtEachStart) {
    ShipDatabase();
    unsetenv("ORVEX_COM1");
    const std::string byId = dir + "usb-Test_Adapter_0001-if00-port0";
    std::ofstream(MapFile()) << "COM1=" << byId << "\n";
    for (int start = 0; start < 2; ++start) {
        CSimOnPty pager;
        ASSERT_TRUE(pager.IsOpen());
        fs::remove(byId);
        fs::create_symlink(pager.Path(), byId);
        StartProgram();
        EXPECT_EQ(frame->Device().Link().Port().DevicePath(), byId);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return frame->StatusText(CMainFrame::kPaneConnection) == "Connected"; }, 15000))
            << "start " << start;
        frame->close();
        app.reset();
    }
    EXPECT_EQ(Slurp(MapFile()), "COM1=" + byId + "\n") << "the map is not rewritten at close";
    EXPECT_TRUE(box.Shown().empty());
}

TEST_F(PortChoiceTest, APortThatCannotBeOpenedIsExplained) {
    ShipDatabase();
    StartProgram();
    const std::string report = "Error 301|Unable to initialize COM port!";
    ASSERT_EQ(box.Shown(), std::vector<std::string>{report});
    const std::string details = box.Details(report);
    EXPECT_NE(details.find("COM1"), std::string::npos) << details;
    EXPECT_NE(details.find("/nonexistent/orvex-tty"), std::string::npos) << details;
    EXPECT_NE(details.find("No such file or directory"), std::string::npos) << details;
    EXPECT_NE(details.find("keeps looking"), std::string::npos) << details;
    EXPECT_TRUE(frame->Device().Link().LookingForDevice());

    // F5 tells why no device is there instead of only blaming the cable.
    frame->Action(CMainFrame::kCmdDownload)->trigger();
    const std::string timeout = "Error 304|Timeout!\r\nOr, bad connection!";
    ASSERT_EQ(box.Shown().back(), timeout);
    EXPECT_NE(box.Details(timeout).find("/nonexistent/orvex-tty"), std::string::npos)
        << box.Details(timeout);
}

TEST_F(PortChoiceTest, TheDeviceListIsAnOrdinaryPartOfTheDialog) {
    ShipDatabase();
    StartProgram();
    auto dialog = Dialog();
    dialog->show();
    // The list's text field carries the label's name and the device as its value; on Linux
    // the box itself is named by its label through the accessibility relation.
    QAccessibleInterface* field =
        QAccessible::queryAccessibleInterface(dialog->DeviceList()->lineEdit());
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(QAccessible::Name), "Device");
    EXPECT_EQ(field->text(QAccessible::Value).toStdString().rfind("/dev/ttyS0", 0), 0u)
        << "the device COM1 means without the environment's override";
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(dialog->DeviceList());
    bool labelled = false;
    for (const auto& [other, relation] : list->relations(QAccessible::Label)) {
        labelled = labelled || other->text(QAccessible::Name) == "&Device:" ||
                   other->text(QAccessible::Name) == "Device:";
    }
    EXPECT_TRUE(labelled);
    QAccessibleInterface* refresh = QAccessible::queryAccessibleInterface(dialog->RefreshButton());
    EXPECT_EQ(refresh->text(QAccessible::Name), "Refresh");
    ASSERT_NE(refresh->actionInterface(), nullptr);
    EXPECT_TRUE(refresh->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    // Alt+D reaches the list through its label.
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(dialog->DeviceList()->hasFocus() || dialog->DeviceList()->lineEdit()->hasFocus());
    // Refresh keeps what was typed.
    dialog->DeviceList()->setEditText("/dev/typed-by-hand");
    refresh->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(dialog->DeviceList()->currentText(), "/dev/typed-by-hand");
}

}  // namespace
}  // namespace orvex::test
