#include "app/DbFileCommands.h"

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

const IFileChooser::SRequest kDatabaseFiles{"mdb", "*.mdb",
                                            "Microsoft Access Databases (*.mdb)|*.mdb|", true};

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

void CDbFileCommands::OnLoadDbFile() {
    std::string path;
    if (!m_frame.FileChooser().ChooseOpen(kDatabaseFiles, path)) {
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
    std::string target;
    if (!m_frame.FileChooser().ChooseSave(kDatabaseFiles, target)) {
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
