#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QDate>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "app/DbFileCommands.h"
#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "app/QtFileChooser.h"
#include "app/WindowPlacement.h"
#include "app/WindowState.h"
#include "app/settings/ProgramDirectory.h"
#include "tests/app/ProgramTestSupport.h"
#include "ui/ContactsColumns.h"
#include "ui/ContactsView.h"

// Rectangles as a reader wants them in a failure: "x,y widthxheight".
static void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

namespace orvex::test {
namespace {

namespace fs = std::filesystem;
using EKind = IFileChooser::EKind;

class WindowStateTest : public CProgramTest {
  protected:
    std::string StatePath() const { return CWindowState::PathIn(dir); }
    void Restart() {
        frame->close();
        app.reset();
        StartProgram();
    }
};

TEST_F(WindowStateTest, TheStoreRoundTripsAndPassesOverWhatItCannotRead) {
    CWindowState kept;
    kept.window = QRect(-1200, 35, 900, 640);  // on a screen left of the primary one
    kept.maximized = true;
    kept.columns = QByteArray("\x00\xff\n=columns\r", 11);
    kept.SetFolder(EKind::kDatabase, "/home/u/Books with spaces = and é");
    kept.SetFolder(EKind::kVCard, "/tmp");
    std::string error;
    ASSERT_TRUE(kept.Save(StatePath(), error)) << error;
    CWindowState read;
    read.Load(StatePath());
    EXPECT_EQ(read.window, kept.window);
    EXPECT_TRUE(read.maximized);
    EXPECT_EQ(read.columns, kept.columns);
    EXPECT_EQ(read.Folder(EKind::kDatabase), kept.Folder(EKind::kDatabase));
    EXPECT_EQ(read.Folder(EKind::kContactsCsv), "");
    EXPECT_EQ(read.Folder(EKind::kVCard), "/tmp");
    EXPECT_EQ(read.Text(), kept.Text());

    // A folder whose name could not be read back is not written at all.
    kept.SetFolder(EKind::kContactsCsv, "/tmp/two\nlines");
    EXPECT_EQ(kept.Text().find("two"), std::string::npos);

    // Sound lines are taken wherever they stand; everything else is passed over.
    const char binary[] =
        "\x7f"
        "ELF\x00\x01\xff\xfe garbage\n";
    std::ofstream(StatePath(), std::ios::binary | std::ios::trunc)
        << std::string(binary, sizeof binary - 1)
        << "window=10,20,300\nwindow=10,20,0,400\nwindow=1e3,2,3,4\nwindow=9,9,9,9x\n"
        << "maximized=yes\ncolumns=not*base64\nfolder.csv=relative/folder\n"
        << "folder.database=\nfolder.unknown=/tmp\n=\n\n"
        << "window=40,50,700,500\r\nfolder.vcard=/srv/cards\r\n";
    CWindowState garbled;
    garbled.Load(StatePath());
    EXPECT_EQ(garbled.window, QRect(40, 50, 700, 500));
    EXPECT_FALSE(garbled.maximized);
    EXPECT_TRUE(garbled.columns.isEmpty());
    EXPECT_EQ(garbled.Folder(EKind::kContactsCsv), "");
    EXPECT_EQ(garbled.Folder(EKind::kDatabase), "");
    EXPECT_EQ(garbled.Folder(EKind::kVCard), "/srv/cards");

    // What is not a regular file of a sane size is not read, and a pipe does not hold it up.
    for (const auto& make : std::map<std::string, std::function<void(const std::string&)>>{
             {"pipe", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
             {"folder", [](const std::string& p) { fs::create_directory(p); }},
             {"huge", [](const std::string& p) {
                  std::ofstream(p) << "window=1,2,3,4\n"
                                   << std::string(CWindowState::kLargestFile, '#');
              }}}) {
        fs::remove_all(StatePath());
        make.second(StatePath());
        CWindowState other;
        other.Load(StatePath());
        EXPECT_FALSE(other.window.isValid()) << make.first;
    }
}

TEST_F(WindowStateTest, APlaceIsKeptOnlyOnTheScreensThereAreNow) {
    const QRect primary(0, 0, 1920, 1040);
    const QRect left(-1280, 0, 1280, 1000);
    using SFit = CWindowPlacement::SFit;
    const auto fit = [&](const QRect& saved, const QList<QRect>& areas) {
        return CWindowPlacement::Fit(saved, areas);
    };
    // On a screen: kept as it was.
    SFit f = fit(QRect(-1100, 40, 800, 600), {primary, left});
    EXPECT_TRUE(f.placed);
    EXPECT_EQ(f.rect, QRect(-1100, 40, 800, 600));
    // Partly off its screen, or larger than it: pulled onto it and made to fit.
    f = fit(QRect(1500, 900, 800, 600), {primary, left});
    EXPECT_TRUE(f.placed);
    EXPECT_EQ(f.rect, QRect(1120, 440, 800, 600));
    f = fit(QRect(-1300, -20, 1500, 1200), {primary, left});
    EXPECT_TRUE(f.placed);
    EXPECT_EQ(f.rect, QRect(-1280, 0, 1280, 1000)) << "the screen that shows most of it";
    // Its screen unplugged, or only a sliver still showing: the size stays (as far as the
    // primary screen allows) and the place is the window manager's.
    for (const QRect& saved :
         {QRect(-1100, 40, 800, 600), QRect(-790, 40, 800, 600), QRect(-1100, 40, 800, 2000)}) {
        f = fit(saved, {primary});
        EXPECT_FALSE(f.placed) << saved.x() << "," << saved.y();
        EXPECT_EQ(f.rect.size(), saved.size().boundedTo(primary.size()));
    }
}

TEST_F(WindowStateTest, TheWindowComesBackAsItWasClosedAndTheSettingsStayAsTheyWere) {
    ShipDatabase();
    // Something garbled where the state is kept does not stop the start.
    const char garbled[] = "\0\xff window=\n=,,,\n";
    std::ofstream(StatePath(), std::ios::binary) << std::string(garbled, sizeof garbled - 1);
    StartProgram();
    EXPECT_EQ(box.Shown(), std::vector<std::string>{"Error 301|Unable to initialize COM port!"});
    const QRect area = frame->screen()->availableGeometry();
    // Between the smallest window and the whole screen, and not where the first start puts
    // it (the middle of the screen).
    const QSize room = area.size() - frame->minimumSize();
    ASSERT_GE(room.width(), 8);
    ASSERT_GE(room.height(), 8);
    const QRect placed(area.topLeft() + QPoint(room.width() / 8, room.height() / 8),
                       frame->minimumSize() + room / 3);
    ASSERT_NE(placed.center(), area.center());
    frame->setGeometry(placed);
    // The grid with a column the user added.
    frame->ContactsView()->Columns().SetShown(CContactFields::kCompany, true);
    const QByteArray columnState = frame->ContactsView()->ColumnState();
    frame->close();
    const std::string settings = Slurp(dir + "OrvexMgr.ini");
    EXPECT_EQ(settings.find("window"), std::string::npos) << "the nine lines keep their form";
    EXPECT_NE(Slurp(StatePath()).find("window="), std::string::npos);

    app.reset();
    StartProgram();
    EXPECT_EQ(frame->geometry(), placed);
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->ContactsView()->ColumnState(), columnState);
    const auto& shown = frame->ContactsView()->Columns().Columns();
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const CContactsColumns::SColumn& c) {
        return c.column == CContactFields::kCompany && c.shown;
    }));
    // Maximised, it comes back maximised, and its normal place is kept for later.
    frame->showMaximized();
    Restart();
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->normalGeometry(), placed);
    frame->showNormal();
    frame->setGeometry(placed);
    frame->close();
    EXPECT_EQ(Slurp(dir + "OrvexMgr.ini"), settings) << "byte for byte after a start and close";

    // A monitor that is gone: the window keeps its size and is placed afresh on a screen.
    std::string text = Slurp(StatePath());
    const std::string line = "window=" + std::to_string(placed.x()) + ",";
    ASSERT_NE(text.find(line), std::string::npos) << text;
    text.replace(text.find(line), line.size(), "window=-5000,");
    std::ofstream(StatePath(), std::ios::binary | std::ios::trunc) << text;
    app.reset();
    StartProgram();
    EXPECT_EQ(frame->size(), placed.size());
    EXPECT_TRUE(area.contains(frame->geometry())) << frame->geometry().x();
}

TEST_F(WindowStateTest, DialogsAreTitledAndOpenInTheLastFolderOfTheirKind) {
    ShipDatabase();
    StartProgram();
    const std::string home = CProgramDirectory::HomeFolder();
    ASSERT_FALSE(home.empty());
    ASSERT_NE(home + "/", dir);
    struct SCommand {
        int command;
        const char* title;
        EKind kind;
    };
    const SCommand commands[] = {
        {CMainFrame::kCmdLoadDb, "Load Database File", EKind::kDatabase},
        {CMainFrame::kCmdBackup, "Back Up Database File", EKind::kDatabase},
        {CMainFrame::kCmdExport, "Export Contacts", EKind::kContactsCsv},
        {CMainFrame::kCmdImport, "Import Contacts", EKind::kContactsCsv},
        {CMainFrame::kCmdExportVCard, "Export vCard", EKind::kVCard},
        {CMainFrame::kCmdImportVCard, "Import vCard", EKind::kVCard},
    };
    // Each dialog cancelled: where does it open?
    const auto startFolders = [&] {
        chooser.path.clear();
        chooser.requests.clear();
        std::map<std::string, std::string> folders;
        for (const SCommand& c : commands) {
            frame->Action(c.command)->trigger();
            EXPECT_EQ(chooser.requests.size(), 1u) << c.title;
            if (chooser.requests.size() == 1) {
                EXPECT_STREQ(chooser.request.title, c.title);
                EXPECT_EQ(chooser.request.kind, c.kind) << c.title;
                folders[c.title] = chooser.request.folder;
            }
            chooser.requests.clear();
        }
        return folders;
    };
    const std::map<std::string, std::string> first = startFolders();
    ASSERT_EQ(first.size(), std::size(commands));
    for (const auto& [title, folder] : first) {
        EXPECT_EQ(folder, home) << title << ": the first time at home";
    }

    // Accepted dialogs: a backup (with its dated name offered) and a vCard export, each in a
    // folder of its own.
    fs::create_directories(dir + "backups");
    fs::create_directories(dir + "cards");
    chooser.path = dir + "backups/Orvex-copy.mdb";
    frame->Action(CMainFrame::kCmdBackup)->trigger();
    EXPECT_EQ(chooser.request.initialName,
              CDbFileCommands::BackupName(dir + "Orvex.mdb", QDate::currentDate()));
    EXPECT_EQ(CDbFileCommands::BackupName("/home/u/Family.mdb", QDate(2026, 12, 8)),
              "Family-2026-12-08.mdb");
    chooser.path = dir + "cards/all.vcf";
    frame->Action(CMainFrame::kCmdExportVCard)->trigger();
    ASSERT_TRUE(fs::exists(dir + "backups/Orvex-copy.mdb") && fs::exists(dir + "cards/all.vcf"));
    EXPECT_TRUE(box.Shown().size() == 1) << "only the port's report";

    // The folders last a restart; a folder that is gone gives way to home.
    Restart();
    const std::map<EKind, std::string> kept{{EKind::kDatabase, dir + "backups"},
                                            {EKind::kContactsCsv, home},
                                            {EKind::kVCard, dir + "cards"}};
    std::map<std::string, std::string> folders = startFolders();
    for (const SCommand& c : commands) {
        EXPECT_EQ(folders[c.title], kept.at(c.kind)) << c.title;
    }
    fs::remove_all(dir + "cards");
    EXPECT_EQ(startFolders()["Import vCard"], home);
}

// Answers a file dialog: notes what it shows, then accepts it.
std::function<void(QDialog&)> AcceptFileDialog(QString& title, QString& folder,
                                               QStringList& selected) {
    return [&](QDialog& shown) {
        auto* dialog = qobject_cast<QFileDialog*>(&shown);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        selected = dialog->selectedFiles();
        shown.accept();  // QFileDialog::accept is protected
    };
}

TEST_F(WindowStateTest, ThePlatformDialogShowsWhatTheRequestAsks) {
    ShipDatabase();
    StartProgram();
    fs::create_directories(dir + "backups");
    CQtFileChooser platform(frame, &dialogs);
    QString title;
    QString folder;
    QStringList selected;
    dialogs.act = AcceptFileDialog(title, folder, selected);
    std::string path;
    ASSERT_TRUE(platform.ChooseSave({.title = "Back Up Database File",
                                     .kind = EKind::kDatabase,
                                     .defaultSuffix = "mdb",
                                     .initialName = "Orvex-2026-12-08.mdb",
                                     .filter = "Databases (*.mdb)|*.mdb|",
                                     .confirmOverwrite = true,
                                     .folder = dir + "backups"},
                                    path));
    EXPECT_EQ(title, "Back Up Database File");
    EXPECT_EQ(folder.toStdString(), dir + "backups");
    EXPECT_EQ(selected, QStringList{QString::fromStdString(dir + "backups/Orvex-2026-12-08.mdb")});
    EXPECT_EQ(path, dir + "backups/Orvex-2026-12-08.mdb");
}

}  // namespace
}  // namespace orvex::test
