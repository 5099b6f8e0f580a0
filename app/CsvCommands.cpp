#include "app/CsvCommands.h"

#include <QMessageBox>
#include <cstdio>

#include "app/CsvExport.h"
#include "app/CsvImport.h"
#include "app/FileChooser.h"
#include "app/MainFrame.h"

namespace orvex {

void CCsvCommands::OnExport() {
    const IFileChooser::SRequest request{"csv", "*.csv", CCsvExport::kFileFilter, true};
    std::string path;
    if (!m_frame.FileChooser().ChooseSave(request, path)) {
        return;
    }
    std::string error;
    if (!CCsvExport::ExportContacts(m_frame.Database(), path, error)) {
        // A file that could not be written completely is not there to be taken for the export.
        QMessageBox box(QMessageBox::Warning, "Orvex Manager", QString::fromStdString(error),
                        QMessageBox::Ok);
        box.exec();
    }
}

void CCsvCommands::OnImport() {
    const IFileChooser::SRequest request{"csv", "*.csv", CCsvExport::kFileFilter, false};
    std::string path;
    if (!m_frame.FileChooser().ChooseOpen(request, path)) {
        return;
    }
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    CCsvImport import(m_frame.Database(), m_frame.DatabasePath(), m_frame.Errors());
    if (import.WriteSchemaIni(directory, fileName) && import.ImportContacts(directory, fileName)) {
        std::string ignored;
        import.SafetyCopy().Discard(ignored);
    } else {
        // The user sees the one report; the cause goes to the log.
        std::fprintf(stderr, "Orvex Manager: import of %s failed: %s\n", path.c_str(),
                     import.Error().c_str());
        m_frame.Errors().Error002();
        if (!m_frame.RestoreFromSafetyCopy(import.SafetyCopy())) {
            return;  // the window closes; the description file goes with the import object
        }
    }
    m_frame.ReloadContactsView(0);
    import.RestoreSchemaIni();
}

}  // namespace orvex
