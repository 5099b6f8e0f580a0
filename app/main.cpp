// Orvex Manager: the address book of a two-way pager, on the PC.
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QStyle>
#include <cstdio>

#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/VelkorMgrApp.h"
#include "app/settings/ProgramDirectory.h"

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

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("VelkorMgr");
    QApplication::setWindowIcon(
        QIcon::fromTheme("phone", application.style()->standardIcon(QStyle::SP_ComputerIcon)));

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
    }
    if (directory.empty() || chdir(directory.c_str()) != 0) {
        QMessageBox box(QMessageBox::Critical, "Orvex Manager", "Failed to create empty document.",
                        QMessageBox::Ok);
        box.setDetailedText(QString::fromStdString(error));
        box.exec();
        return 1;
    }
    orvex::CVelkorMgrApp app;
    shell = &app;
    if (!app.InitInstance(directory)) {
        return 1;
    }
    return application.exec();
}
