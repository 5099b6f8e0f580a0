#include "app/CsvCommands.h"

#include <cstdio>

#include "app/CsvExport.h"
#include "app/CsvImport.h"
#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "link/ErrorReport.h"

namespace orvex {

void CCsvCommands::OnExport() {
    std::string path;
    if (!m_frame.FileChooser().ChooseFile(true, "Export Contacts",
                                          IFileChooser::EKind::kContactsCsv, "csv",
                                          CCsvExport::kFileFilter, path)) {
        return;
    }
    std::string error;
    if (!CCsvExport::ExportContacts(m_frame.Database(), path, error)) {
        // A file that could not be written completely is not there to be taken for the export.
        CErrorReport::MessageBox().Notice(IMessageBox::ENotice::kWarning, "Orvex Manager", error,
                                          {});
    }
}

void CCsvCommands::OnImport() {
    std::string path;
    if (!m_frame.FileChooser().ChooseFile(false, "Import Contacts",
                                          IFileChooser::EKind::kContactsCsv, "csv",
                                          CCsvExport::kFileFilter, path)) {
        return;
    }
    CCsvImport import(m_frame.Database(), m_frame.DatabasePath(), m_frame.Errors());
    import.SetHistory(&m_frame.History());
    if (import.ImportFile(path)) {
        std::string ignored;
        import.SafetyCopy().Discard(ignored);
    } else {
        // The staging folder is gone already; the report tells the file and the cause.
        const std::string details = import.Details();
        std::fprintf(stderr, "Orvex Manager: %s\n", details.c_str());
        m_frame.Errors().Error002(details);
        if (!m_frame.RestoreFromSafetyCopy(import.SafetyCopy())) {
            return;  // the window closes
        }
    }
    m_frame.ReloadContactsView(0);
}

}  // namespace orvex
