#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/ConfigDlg.h"
#include "app/LeftView.h"
#include "app/MainFrame.h"
#include "app/SwitchSplitterWnd.h"
#include "app/VelkorMgrApp.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "tests/QtTestApp.h"
#include "tests/app/ProgramTestSupport.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/SimOnPty.h"
#include "ui/ContactsView.h"

namespace orvex::test {
namespace {

// A program directory of its own, the application, and a box that records the reports.
class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        char pattern[] = "/tmp/orvex-app-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
        // No pager here: the port's device does not exist.
        setenv("ORVEX_COM1", "/nonexistent/orvex-tty", 1);
        setenv("ORVEX_COM3", "/nonexistent/orvex-tty3", 1);
        app = std::make_unique<CVelkorMgrApp>();
        CErrorReport::SetMessageBox(&box);
    }
    void TearDown() override {
        app.reset();
        CErrorReport::SetMessageBox(nullptr);
        std::filesystem::remove_all(dir);
    }
    void ShipDatabase() { std::filesystem::copy_file(ORVEX_DEFAULT_DATABASE, dir + "Orvex.mdb"); }
    std::string Settings() { return Slurp(dir + "OrvexMgr.ini"); }
    // The groups dialog runs modally; this closes it (its title bar's close box) as it shows.
    void CloseNextDialog() {
        app->MainFrame()->SetDialogRunner(&dialogs);
        dialogs.act = [](QDialog& dialog) { dialog.close(); };
    }

    std::string dir;
    CRecordingMessageBox box;
    CActingRunner dialogs;
    std::unique_ptr<CVelkorMgrApp> app;
};

TEST_F(MainFrameTest, MissingDatabasesEndTheProgramWithoutAWindow) {
    EXPECT_FALSE(app->InitInstance(dir));
    EXPECT_EQ(app->MainFrame(), nullptr);
    EXPECT_EQ(box.Shown(),
              (std::vector<std::string>{"Error 201|The last used database file does not exist!",
                                        "Error 201|The default database file does not exist!"}));
    // The missing settings file was created with the defaults and is not rewritten.
    EXPECT_EQ(Settings(), "[DbFilePath]\r\n;" + dir + "Orvex.mdb$\r\n[ProgramDirPath]\r\n;" + dir +
                              "$\r\n[MaxPersonal]\r\n;200$\r\n[Communication]\r\n;1$\r\n;.");
}

TEST_F(MainFrameTest, InvalidSettingsAreReportedAndLeftAsTheyWere) {
    ShipDatabase();
    const std::string bad = "[dbfilepath]\r\n;x$\r\n";
    std::ofstream(dir + "OrvexMgr.ini", std::ios::binary) << bad;
    EXPECT_FALSE(app->InitInstance(dir));
    ASSERT_GE(box.Shown().size(), 2u);
    EXPECT_EQ(box.Shown()[0], "Error 001|Loading the INI file failed!");
    EXPECT_EQ(box.Shown()[1], "Error 201|The last used database file does not exist!");
    EXPECT_EQ(Settings(), bad);
}

TEST_F(MainFrameTest, StartsOnTheDefaultDatabaseAndPersistsTheSettingsAtClose) {
    ShipDatabase();
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), "Orvex Manager v.1.0");
    EXPECT_EQ(box.Shown(), std::vector<std::string>{"Error 301|Unable to initialize COM port!"});
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneConnection), "Connecting...");
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneCounts), "P:000/G:00");
    EXPECT_EQ(frame->StatusText(CMainFrame::kPanePort).trimmed(), "");

    // The tree shows "Personal" selected with its parents open; the contacts view is shown.
    CLeftView* tree = frame->LeftView();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->currentItem(), tree->ItemForPage(CLeftView::kPagePersonal));
    EXPECT_TRUE(tree->ItemForPage(CLeftView::kPageRoot)->isExpanded());
    EXPECT_TRUE(tree->ItemForPage(CLeftView::kPageContacts)->isExpanded());
    EXPECT_EQ(frame->Splitter()->GetView(1), tree);

    // Configuration: COM3, then the capacity the device reported, kept at close.
    {
        CConfigDlg dialog(frame->Device().Link(), frame->PortMap(), frame->PortMapPath(), frame);
        EXPECT_EQ(dialog.PortList()->currentText(), "COM1") << "the current port preselected";
        dialog.PortList()->setCurrentIndex(2);
        dialog.accept();
    }
    EXPECT_EQ(frame->Device().Link().PortNumber(), 3);
    EXPECT_EQ(frame->StatusText(CMainFrame::kPaneConnection), "Connecting...");
    frame->Device().SetMaxPersonal(150);
    frame->close();
    const std::string settings = Settings();
    EXPECT_NE(settings.find("[MaxPersonal]\r\n;150$\r\n[Communication]\r\n;3$\r\n;."),
              std::string::npos)
        << settings;
    EXPECT_EQ(settings.rfind(";."), settings.size() - 2) << "no line end after the last line";
}

// At a large font the form is taller than a small screen: the window still fits the screen's
// free area, and the editor panel scrolls instead of pushing Save off the bottom.
TEST_F(MainFrameTest, AtALargeFontTheWindowFitsASmallScreen) {
    ShipDatabase();
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 1.5);
    QApplication::setFont(large);
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    const QRect area = frame->screen()->availableGeometry();
    // With room for the title bar above it.
    EXPECT_LT(frame->minimumWidth(), area.width());
    EXPECT_LT(frame->minimumHeight(), area.height());
    EXPECT_LT(frame->height(), area.height());
    auto* panel = frame->ContactsView()->findChild<QScrollArea*>("editorPanel");
    ASSERT_NE(panel, nullptr);
    const QWidget* save = frame->ContactsView()->Control(CContactsView::kSave);
    EXPECT_GT(save->mapTo(panel->widget(), QPoint(0, save->height())).y(),
              panel->viewport()->height())
        << "Save is below the panel's visible part";
    EXPECT_GT(panel->verticalScrollBar()->maximum(), 0);
    panel->ensureWidgetVisible(const_cast<QWidget*>(save));
    EXPECT_FALSE(save->visibleRegion().isEmpty());
    QApplication::setFont(normal);
}

// A database file that another program holds is not called missing without saying so: the
// report keeps its text and its details name the holder.
TEST_F(MainFrameTest, ADatabaseHeldElsewhereIsSaidToBeThere) {
    ShipDatabase();
    const std::string held = dir + "held.mdb";
    std::filesystem::copy_file(dir + "Orvex.mdb", held);
    std::ofstream(dir + "OrvexMgr.ini", std::ios::binary)
        << "[DbFilePath]\r\n;" + held + "$\r\n[ProgramDirPath]\r\n;" + dir +
               "$\r\n[MaxPersonal]\r\n;200$\r\n[Communication]\r\n;1$\r\n;.";
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        const int fd = open(held.c_str(), O_RDWR);
        char byte = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = write(ready[1], &byte, 1);
        n = read(release[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    const bool started = app->InitInstance(dir);
    byte = 'x';
    [[maybe_unused]] ssize_t n = write(release[1], &byte, 1);
    waitpid(holder, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        close(fd);
    }
    ASSERT_TRUE(started) << "the program goes on with the default database";
    const std::string report = "Error 201|The last used database file does not exist!";
    ASSERT_FALSE(box.Shown().empty());
    EXPECT_EQ(box.Shown().front(), report);
    const std::string details = box.Details(report);
    EXPECT_NE(details.find(held + " exists, but another program holds it"), std::string::npos)
        << details;
    EXPECT_NE(details.find("(process " + std::to_string(holder) + ")"), std::string::npos)
        << details;
    EXPECT_EQ(app->MainFrame()->DatabasePath(), dir + "Orvex.mdb");
}

TEST_F(MainFrameTest, BusyGreysTheCommandsButNotExitAndAbout) {
    ShipDatabase();
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    const int waiting[] = {CMainFrame::kCmdDownload,      CMainFrame::kCmdUpload,
                           CMainFrame::kCmdConfiguration, CMainFrame::kCmdPersonal,
                           CMainFrame::kCmdGroups,        CMainFrame::kCmdBackup,
                           CMainFrame::kCmdLoadDb,        CMainFrame::kCmdImport,
                           CMainFrame::kCmdExport,        CMainFrame::kCmdHelp};
    frame->SetBusy(true);
    for (int id : waiting) {
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(frame->Action(CMainFrame::kCmdExit)->isEnabled());
    EXPECT_TRUE(frame->Action(CMainFrame::kCmdAbout)->isEnabled());
    QSignalSpy pages(frame, &CMainFrame::PageRequested);
    QTest::keyClick(frame, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(pages.count(), 0) << "a greyed command's keys do nothing";
    frame->SetBusy(false);
    for (int id : waiting) {
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    }
    frame->activateWindow();
    CloseNextDialog();
    frame->Action(CMainFrame::kCmdGroups)->trigger();
    // The groups page, then the root's as the closing dialog selects the tree's root.
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pages.at(0).at(0).toInt(), CLeftView::kPageGroups);
    EXPECT_EQ(pages.at(1).at(0).toInt(), CLeftView::kPageRoot);
}

TEST_F(MainFrameTest, TreeSelectionsSendTheirPages) {
    ShipDatabase();
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    CLeftView* tree = frame->LeftView();
    QSignalSpy pages(frame, &CMainFrame::PageRequested);
    CloseNextDialog();
    tree->setCurrentItem(tree->ItemForPage(CLeftView::kPageGroups));
    // The groups dialog hands the selection back to the root as it closes.
    EXPECT_EQ(tree->currentItem(), tree->ItemForPage(CLeftView::kPageRoot));
    tree->setCurrentItem(tree->ItemForPage(CLeftView::kPageContacts));
    tree->setCurrentItem(tree->ItemForPage(CLeftView::kPageRoot));
    // So "Groups" is a selection change again and opens the dialog again.
    CloseNextDialog();
    tree->setCurrentItem(tree->ItemForPage(CLeftView::kPageGroups));
    std::vector<int> sent;
    for (const QList<QVariant>& page : pages) {
        sent.push_back(page.at(0).toInt());
    }
    EXPECT_EQ(sent, (std::vector<int>{3, 0, 1, 0, 3, 0}));
    EXPECT_TRUE(frame->ContactsView()->isVisible());
}

// The whole way: the emulator on a pseudo-terminal as COM1, found, asked for its status, and
// the capacity it reported kept in the settings at close.
TEST_F(MainFrameTest, FindsTheEmulatorAndKeepsItsCapacity) {
    ShipDatabase();
    CSimOnPty pager({}, 150);
    ASSERT_TRUE(pager.IsOpen());
    setenv("ORVEX_COM1", pager.Path().c_str(), 1);
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    EXPECT_EQ(frame->StatusText(CMainFrame::kPanePort), "COM1");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return frame->StatusText(CMainFrame::kPaneConnection) == "Connected"; }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame->Device().MaxPersonal() == 150; }, 15000));
    frame->close();
    EXPECT_NE(Settings().find("[MaxPersonal]\r\n;150$\r\n"), std::string::npos) << Settings();
    EXPECT_TRUE(box.Shown().empty());
}

void CollectNames(QAccessibleInterface* node, std::set<QString>& names, int depth = 0) {
    if (!node || depth > 40) {
        return;
    }
    names.insert(node->text(QAccessible::Name));
    for (int i = 0; i < node->childCount(); ++i) {
        CollectNames(node->child(i), names, depth + 1);
    }
}

TEST_F(MainFrameTest, ControlsCarryTheNamesTheUserReads) {
    ShipDatabase();
    ASSERT_TRUE(app->InitInstance(dir));
    CMainFrame* frame = app->MainFrame();
    std::set<QString> names;
    CollectNames(QAccessible::queryAccessibleInterface(frame), names);
    for (const char* name :
         {"Navigation", "First Name", "Last Name", "Edit", "New", "Del", "Save", "Cancel"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    // The status panes carry their values with their names, as they change.
    frame->SetStatusText(CMainFrame::kPaneConnection, "Connected");
    names.clear();
    CollectNames(QAccessible::queryAccessibleInterface(frame), names);
    for (const char* name : {"Counts: P:000/G:00", "Connection: Connected", "Port"}) {
        EXPECT_TRUE(names.count(name))
            << name << " among " << QStringList(names.begin(), names.end()).join("|").toStdString();
    }
    CConfigDlg dialog(frame->Device().Link(), frame->PortMap(), frame->PortMapPath(), frame);
    names.clear();
    CollectNames(QAccessible::queryAccessibleInterface(&dialog), names);
    for (const char* name : {"Port", "Device", "Refresh", "OK", "Cancel", "Serial Communication"}) {
        EXPECT_TRUE(names.count(name))
            << name << " among " << QStringList(names.begin(), names.end()).join("|").toStdString();
    }
}

}  // namespace
}  // namespace orvex::test
