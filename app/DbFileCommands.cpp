#include "app/DbFileCommands.h"

#include <QDate>
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/FileChooser.h"
#include "app/MainFrame.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"

namespace orvex {

namespace {

constexpr const char* kDatabaseFilter = "Microsoft Access Databases (*.mdb)|*.mdb|";

// Whether two paths name one file although they are spelled differently (a link, "./", a
// second slash). The open database must never be replaced by a copy of itself: the
// connection would go on writing to the file that lost its name.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

// The details of a refused file: which file, and why (once, where the reason names it).
std::string Details(const std::string& path, const std::string& reason) {
    return reason.find(path) != std::string::npos ? reason : path + ": " + reason;
}

}  // namespace

std::string CDbFileCommands::BackupName(const std::string& databasePath, const QDate& day) {
    std::string base = std::filesystem::path(databasePath).stem().string();
    if (base.empty()) {
        base = "Orvex";
    }
    return base + "-" + day.toString("yyyy-MM-dd").toStdString() + ".mdb";
}

void CDbFileCommands::OnLoadDbFile() {
    const IFileChooser::SRequest request{.title = "Load Database File",
                                         .kind = IFileChooser::EKind::kDatabase,
                                         .defaultSuffix = "mdb",
                                         .initialName = "*.mdb",
                                         .filter = kDatabaseFilter,
                                         .confirmOverwrite = true};
    std::string path;
    if (!m_frame.FileChooser().ChooseOpen(request, path)) {
        return;
    }
    // A file that is not a sound contacts database is refused before the open one is closed.
    // The report's text stays as it is; its details say which file and why.
    std::string reason;
    if (!CContactsTable::IsValidContactsDatabase(path, reason)) {
        m_frame.Errors().Error202(Details(path, reason));
        return;
    }
    const std::string previous = m_frame.DatabasePath();
    CContactsView* view = m_frame.ContactsView();
    const int row = view && view->Grid() ? std::max(0, view->Grid()->Row()) : 0;
    // The file passed its check but cannot be used after all (another copy of the program
    // holds it, it may not be written, its contacts cannot be read): the program goes on with
    // the file it had, which is also the one the settings keep.
    const auto goBack = [&] {
        if (!previous.empty() &&
            m_frame.OpenDatabaseFile(previous) == CMainFrame::EOpenResult::kOk) {
            m_frame.ReloadContactsView(row);
        }
    };
    // What an interrupted run left beside it is taken care of first (the safety copy of an
    // operation that did not end goes into the history, not lost and not left lying).
    m_frame.TidyLeftovers(path);
    switch (m_frame.OpenDatabaseFile(path)) {
        case CMainFrame::EOpenResult::kOk:
            m_frame.ReloadContactsView(0);
            break;
        case CMainFrame::EOpenResult::kConnectionFailed:
            m_frame.Errors().Error202(Details(path, m_frame.Database().GetErrorDescription()));
            goBack();
            break;
        case CMainFrame::EOpenResult::kRecordsetFailed:
            m_frame.Errors().Error203(Details(
                path, CADODatabase::ReasonOf(m_frame.PersonalRecordset().GetLastErrorString())));
            goBack();
            break;
    }
}

void CDbFileCommands::OnBackupDbFile() {
    // A dated name, so that one backup does not take the place of the last.
    const IFileChooser::SRequest request{
        .title = "Back Up Database File",
        .kind = IFileChooser::EKind::kDatabase,
        .defaultSuffix = "mdb",
        .initialName = BackupName(m_frame.DatabasePath(), QDate::currentDate()),
        .filter = kDatabaseFilter,
        .confirmOverwrite = true};
    std::string target;
    if (!m_frame.FileChooser().ChooseSave(request, target)) {
        return;
    }
    const std::string& current = m_frame.DatabasePath();
    if (target == current || SameFile(target, current)) {
        return;
    }
    CADODatabase& database = m_frame.Database();
    if (database.IsOpen() && database.BackupTo(target)) {
        return;
    }
    // A copy that silently failed would look like a backup that exists.
    const std::string reason =
        database.IsOpen() ? database.GetErrorDescription() : std::string("no database is open");
    m_frame.Errors().Problem("The database could not be backed up to " + target + ":\n" + reason);
}

}  // namespace orvex
