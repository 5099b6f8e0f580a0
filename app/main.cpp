// Orvex Manager: the address book of a two-way pager, on the PC.
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string>

#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/VelkorMgrApp.h"
#include "app/settings/ProgramDirectory.h"
#include "ui/QtMessageBox.h"

namespace {

// Brings a window to the front for another start: the main window once it exists, and any
// modal box over it (or in its place while the program is still starting) above that.
void BringToFront(const orvex::CVelkorMgrApp* shell) {
    fprintf(stderr, "orvex-manager: another start asked for this window\n");
    QWidget* window = shell ? shell->MainFrame() : nullptr;
    for (QWidget* widget : {window, QApplication::activeModalWidget()}) {
        if (!widget || !widget->isVisible()) {
            continue;
        }
        if (widget->isMinimized()) {
            widget->showNormal();
        }
        widget->raise();
        widget->activateWindow();
    }
}

// Decides whether this start may run in the program directory. False: another copy runs there
// and was asked for its window; this one must end without touching a file.
bool MayRun(orvex::CSingleInstance& single) {
    using orvex::CSingleInstance;
    std::string error;
    switch (single.Claim(error)) {
        case CSingleInstance::ERole::Primary:
            break;
        case CSingleInstance::ERole::Unchecked:
            fprintf(stderr, "orvex-manager: %s; running without the check for another copy\n",
                    error.c_str());
            return true;
        case CSingleInstance::ERole::Secondary:
            if (single.RequestRaise(CSingleInstance::kRaiseWaitMs, error)) {
                fprintf(stderr,
                        "orvex-manager: already running; its window was brought to the front\n");
                return false;
            }
            if (!single.IsPrimary()) {
                fprintf(stderr, "orvex-manager: already running; %s\n", error.c_str());
                return false;
            }
            break;
    }
    if (!error.empty()) {
        // Still the only copy; later starts just cannot bring this window up.
        fprintf(stderr, "orvex-manager: %s\n", error.c_str());
    }
    return true;
}

constexpr const char* kAppId = "org.orvex.Manager";

void PrintUsage() {
    std::string folder;
    std::string error;
    if (!orvex::CProgramDirectory::Locate(folder, error)) {
        folder = "(none: " + error + ")";
    }
    std::printf(
        "Usage: orvex-manager [--help | --version | Qt options]\n"
        "Orvex Manager keeps the address book of a two-way pager on this computer and\n"
        "exchanges it with the pager over a serial cable.\n"
        "\n"
        "  --help        show this text and exit\n"
        "  --version     show the version and exit\n"
        "Any other argument is left to Qt (for example -platform xcb, -style fusion).\n"
        "\n"
        "Environment:\n"
        "  ORVEX_HOME      the program folder to use instead of the usual one\n"
        "  XDG_DATA_HOME   where the usual folder lies (~/.local/share when unset)\n"
        "  ORVEX_COM1 .. ORVEX_COM4\n"
        "                  the serial device for port COMn, for this run only\n"
        "\n"
        "Program folder: %s\n"
        "  (settings OrvexMgr.ini, default database Orvex.mdb, help page OrvexMgr.html,\n"
        "  device choices OrvexPorts.conf, window state OrvexMgr-window.ini,\n"
        "  earlier books in history/)\n"
        "\n"
        "See also: orvex-pager-sim(1), orvex-probe(1), and Help > Contents in the program.\n",
        folder.c_str());
}

// --help and --version are answered without a window; anything else is Qt's.
bool AnsweredOnTheCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            PrintUsage();
            return true;
        }
        if (argument == "--version") {
            std::printf("orvex-manager %s\n", ORVEX_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnsweredOnTheCommandLine(argc, argv)) {
        return 0;
    }
    QApplication application(argc, argv);
    // The window class (WM_CLASS) and, under Wayland, the application id that the desktop
    // entry's StartupWMClass and file name match.
    QApplication::setApplicationName("orvex-manager");
    QApplication::setApplicationVersion(ORVEX_VERSION);
    QApplication::setDesktopFileName(kAppId);
    QIcon icon = QIcon::fromTheme(kAppId);
    if (icon.isNull()) {
        // Not installed (the build tree): the icon built into the program.
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            icon.addFile(QStringLiteral(":/icons/%1x%1/apps/org.orvex.Manager.png").arg(size),
                         QSize(size, size));
        }
    }
    QApplication::setWindowIcon(icon);

    using orvex::CProgramDirectory;
    std::string directory;
    std::string error;
    const orvex::CVelkorMgrApp* shell = nullptr;
    // Held until the end: the lock it keeps is what makes this copy the only one.
    std::unique_ptr<orvex::CSingleInstance> single;
    if (CProgramDirectory::Locate(directory, error)) {
        // Before anything is created or read there: a second copy must leave it all alone.
        single = std::make_unique<orvex::CSingleInstance>(directory);
        QObject::connect(single.get(), &orvex::CSingleInstance::RaiseRequested,
                         [&shell] { BringToFront(shell); });
        if (!MayRun(*single)) {
            return 0;
        }
        const std::string exe = CProgramDirectory::RunningExecutable();
        if (CProgramDirectory::IsFirstStart(directory) &&
            !CProgramDirectory::Prepare(
                directory, CProgramDirectory::FindShipped(exe, CProgramDirectory::kDatabaseFile),
                CProgramDirectory::FindShipped(exe, CProgramDirectory::kHelpFile), error)) {
            // What could not be copied is missing later and reported there in its own terms.
            fprintf(stderr, "orvex-manager: %s\n", error.c_str());
        }
        // After an upgrade the folder's help page is the installed one again.
        bool replaced = false;
        std::string helpError;
        if (!CProgramDirectory::RefreshHelp(
                directory, CProgramDirectory::FindShipped(exe, CProgramDirectory::kHelpFile),
                replaced, helpError)) {
            fprintf(stderr, "orvex-manager: the help page was not brought up to date: %s\n",
                    helpError.c_str());
        }
    }
    if (directory.empty() || chdir(directory.c_str()) != 0) {
        // Before the application and its box: a box of this start's own.
        orvex::CQtMessageBox box;
        box.Notice(orvex::IMessageBox::ENotice::kCritical, "Orvex Manager",
                   "Failed to create empty document.", error);
        return 1;
    }
    orvex::CVelkorMgrApp app;
    shell = &app;
    if (!app.InitInstance(directory)) {
        return 1;
    }
    return application.exec();
}
