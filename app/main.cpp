// Orvex Manager: the address book of a two-way pager, on the PC.
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QStyle>

#include "app/VelkorMgrApp.h"
#include "app/settings/ProgramDirectory.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("VelkorMgr");
    QApplication::setWindowIcon(
        QIcon::fromTheme("phone", application.style()->standardIcon(QStyle::SP_ComputerIcon)));

    using orvex::CProgramDirectory;
    std::string directory;
    std::string error;
    if (CProgramDirectory::Locate(directory, error)) {
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
    if (!app.InitInstance(directory)) {
        return 1;
    }
    return application.exec();
}
