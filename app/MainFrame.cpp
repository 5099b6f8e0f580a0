#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QStatusBar>
#include <cstdio>

#include "app/ConfigDlg.h"
#include "app/CsvCommands.h"
#include "app/DbFileCommands.h"
#include "app/HelpCommand.h"
#include "app/LeftView.h"
#include "app/LeftoverFiles.h"
#include "app/LinkEvent.h"
#include "app/QtFileChooser.h"
#include "app/RememberingChooser.h"
#include "app/SwitchSplitterWnd.h"
#include "app/TransferCommands.h"
#include "app/VCardCommands.h"
#include "app/WindowPlacement.h"
#include "app/settings/SettingsFile.h"
#include "db/DatabaseFile.h"
#include "db/Win1252.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "ui/ContactsView.h"
#include "ui/GroupsDlg.h"
#include "ui/RestoreBookDlg.h"

namespace orvex {

CMainFrame::CMainFrame(const std::string& programDirectory)
    : m_programDirectory(programDirectory),
      m_portMapPath(CPortMap::PathIn(programDirectory)),
      m_windowStatePath(CWindowState::PathIn(programDirectory)),
      m_history(programDirectory + "history/"),
      m_platformChooser(std::make_unique<CQtFileChooser>(this)),
      m_chooser(std::make_unique<CRememberingChooser>(m_windowState,
                                                      [this]() -> IFileChooser& {
                                                          return m_fileChooser ? *m_fileChooser
                                                                               : *m_platformChooser;
                                                      })),
      m_dbFileCommands(std::make_unique<CDbFileCommands>(*this)),
      m_csvCommands(std::make_unique<CCsvCommands>(*this)),
      m_vcardCommands(std::make_unique<CVCardCommands>(*this)),
      m_transfers(std::make_unique<CTransferCommands>(*this)),
      m_help(new CHelpCommand(this)) {
    setWindowTitle("Orvex Manager v.1.0");
    LinkState().mainWindow = this;
}

CMainFrame::~CMainFrame() {
    if (LinkState().mainWindow.load() == this) {
        m_device.Link().CloseLink();
        LinkState().mainWindow = nullptr;
    }
}

// --- Creation -------------------------------------------------------------------------------

bool CMainFrame::Create() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(screen->size());
    }
    m_windowState.Load(m_windowStatePath);
    m_commands.Create(*this);
    ConnectCommands();
    m_statusPanes.Create(*statusBar());
    if (!SettingsPhase()) {
        return false;
    }
    DatabasePhase();
    CreateClientArea();
    return true;
}

void CMainFrame::ConnectCommands() {
    connect(Action(kCmdExit), &QAction::triggered, this, &QWidget::close);
    connect(Action(kCmdAbout), &QAction::triggered, this, &CMainFrame::AboutRequested);
    connect(Action(kCmdPersonal), &QAction::triggered, this,
            [this] { SendMessage(kMsgPageRequest, 0, CLeftView::kPagePersonal); });
    connect(Action(kCmdGroups), &QAction::triggered, this,
            [this] { SendMessage(kMsgPageRequest, 0, CLeftView::kPageGroups); });
    connect(Action(kCmdConfiguration), &QAction::triggered, this, [this] { OnConfiguration(); });
    connect(Action(kCmdLoadDb), &QAction::triggered, this,
            [this] { m_dbFileCommands->OnLoadDbFile(); });
    connect(Action(kCmdBackup), &QAction::triggered, this,
            [this] { m_dbFileCommands->OnBackupDbFile(); });
    connect(Action(kCmdExport), &QAction::triggered, this, [this] { m_csvCommands->OnExport(); });
    connect(Action(kCmdDownload), &QAction::triggered, this, [this] { m_transfers->OnDownload(); });
    connect(Action(kCmdUpload), &QAction::triggered, this, [this] { m_transfers->OnUpload(); });
    connect(Action(kCmdImport), &QAction::triggered, this, [this] { m_csvCommands->OnImport(); });
    connect(Action(kCmdImportVCard), &QAction::triggered, this,
            [this] { m_vcardCommands->OnImport(); });
    connect(Action(kCmdExportVCard), &QAction::triggered, this,
            [this] { m_vcardCommands->OnExport(); });
    connect(Action(kCmdHelp), &QAction::triggered, this, [this] { OnHelp(); });
    connect(Action(kCmdRestoreBook), &QAction::triggered, this, [this] { OnRestoreBook(); });
}

void CMainFrame::CreateClientArea() {
    m_splitter = new CSwitchSplitterWnd(2, this);
    m_splitter->setObjectName("splitter");
    m_treeView = m_splitter->AddView(0, 0, [](QWidget* pane) { return new CLeftView(pane); });
    m_contactsView =
        m_splitter->AddView(0, 1, [this](QWidget* pane) { return new CContactsView(*this, pane); });
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({120, std::max(1, width() - 120)});
    setCentralWidget(m_splitter);
}

void CMainFrame::InitialUpdate() {
    if (CLeftView* tree = LeftView()) {
        tree->InitialUpdate(m_device.Link());
        const int column0 = tree->IdealWidth();
        m_splitter->setSizes({column0, std::max(1, width() - column0)});
    }
    if (CContactsView* view = ContactsView()) {
        view->InitialUpdate();
        if (!m_windowState.columns.isEmpty()) {
            view->RestoreColumnState(m_windowState.columns);
        }
    }
}

bool CMainFrame::RestoreWindowPlace() {
    if (!m_windowState.window.isValid()) {
        return false;
    }
    CWindowPlacement::Apply(*this, m_windowState.window, m_windowState.maximized);
    return true;
}

void CMainFrame::DestroyWithoutClosing() {
    m_closing = true;
    hide();
}

bool CMainFrame::SettingsPhase() {
    CSettingsFile::SValues values;
    std::string error;
    m_settingsPath = CSettingsFile::PathIn(m_programDirectory);
    switch (CSettingsFile::LoadAtStartup(m_programDirectory, values, error)) {
        case CSettingsFile::ELoadResult::CannotCreate:
            return false;
        case CSettingsFile::ELoadResult::Invalid:
            m_device.Errors().Error001();
            m_startupFailed = true;
            break;
        case CSettingsFile::ELoadResult::Ok:
            m_book.SetPath(values.databasePath);
            m_programDirectory = values.programDirectory;
            m_device.SetMaxPersonal(values.maxPersonal);
            m_device.Link().SelectPort(values.portNumber);
            break;
    }
    LoadPortMap();
    return true;
}

void CMainFrame::LoadPortMap() {
    std::string error;
    if (!m_portMap.Load(m_portMapPath, error)) {
        // The ports then open their usual devices; the user can choose again.
        m_device.Errors().Problem("The devices chosen for the ports could not be read:\n" + error);
    }
    for (int port = 1; port <= CPortMap::kPorts; ++port) {
        m_device.Link().Port().SetMappedDevice(port, m_portMap.Device(port));
    }
}

void CMainFrame::WriteCurrentSettings() {
    CSettingsFile::SValues values;
    values.databasePath = m_book.Path();
    values.programDirectory = m_programDirectory;
    values.maxPersonal = m_device.MaxPersonal();
    values.portNumber = m_device.Link().PortNumber();
    std::string error;
    if (!CSettingsFile::Write(m_settingsPath, values, false, error)) {
        // The old file stays whole; the user learns why this session's choices are not kept.
        CErrorReport::MessageBox().Notice(
            IMessageBox::ENotice::kWarning, "Orvex Manager",
            "The settings could not be saved:\n" + CWin1252::ToUtf8(error), {});
    }
}

void CMainFrame::SaveWindowState() {
    // A window that was never shown has nothing new to tell; what was kept stays.
    if (isVisible()) {
        m_windowState.window = normalGeometry();
        m_windowState.maximized = isMaximized();
        if (const CContactsView* view = ContactsView()) {
            m_windowState.columns = view->ColumnState();
        }
    }
    std::string error;
    if (!m_windowState.Save(m_windowStatePath, error)) {
        // Only the window's looks are lost: the next start places it afresh.
        std::fprintf(stderr, "Orvex Manager: the window's size and folders were not kept: %s\n",
                     error.c_str());
    }
}

void CMainFrame::TidyLeftovers(const std::string& path) {
    const CLeftoverFiles::SResult result = CLeftoverFiles::TidyBeside(path, m_history);
    if (!result.adopted.empty()) {
        statusBar()->showMessage(
            "The contacts kept by an interrupted download or import are now in File > "
            "Restore Earlier Book.",
            15000);
    }
    if (!result.error.empty()) {
        m_device.Errors().Problem(
            "The safety copy left by an interrupted operation could not be "
            "taken into the history of earlier books; it stays where it "
            "is:\n" +
            result.error);
    }
}

void CMainFrame::DatabasePhase() {
    CErrorReport& errors = m_device.Errors();
    CLeftoverFiles::TidyProgramDirectory(m_programDirectory);
    CLeftoverFiles::TidyHistory(m_history.Folder());
    TidyLeftovers(m_book.Path());
    // Held by another copy of the program counts as missing, as the file cannot be used; the
    // details then say that it is there and who holds it.
    if (!CDatabaseFile::CanOpenExclusively(m_book.Path())) {
        errors.Error201LastUsed(CBookConnection::WhyUnusable(m_book.Path()));
        m_book.SetPath(m_programDirectory + "Orvex.mdb");
        TidyLeftovers(m_book.Path());
        if (!CDatabaseFile::CanOpenExclusively(m_book.Path())) {
            errors.Error201Default(CBookConnection::WhyUnusable(m_book.Path()));
            m_startupFailed = true;
            return;
        }
    }
    const std::string& path = m_book.Path();
    switch (m_book.Open(path)) {
        case EOpenResult::kOk:
            break;
        case EOpenResult::kConnectionFailed:
            errors.Error202(path + ": " + m_book.Database().GetErrorDescription());
            m_startupFailed = true;
            break;
        case EOpenResult::kRecordsetFailed:
            errors.Error203(path + ": " +
                            CADODatabase::ReasonOf(m_book.Personal().GetLastErrorString()));
            m_startupFailed = true;
            break;
    }
}

// --- Views ----------------------------------------------------------------------------------

CContactsView* CMainFrame::ContactsView() const {
    return m_splitter ? qobject_cast<CContactsView*>(m_splitter->GetView(m_contactsView)) : nullptr;
}

CLeftView* CMainFrame::LeftView() const {
    return m_splitter ? qobject_cast<CLeftView*>(m_splitter->GetView(m_treeView)) : nullptr;
}

QWidget* CMainFrame::NavigationTree() {
    return LeftView();
}

void CMainFrame::SelectTreeRoot() {
    if (CLeftView* tree = LeftView()) {
        tree->setCurrentItem(tree->ItemForPage(CLeftView::kPageRoot));
    }
}

void CMainFrame::ShowPage(int page) {
    if (page == 1 && m_splitter) {
        m_splitter->ShowView(m_contactsView);
    }
}

void CMainFrame::OnPageRequest(int page) {
    emit PageRequested(page);
    if (page == CLeftView::kPageContacts || page == CLeftView::kPagePersonal) {
        ShowPage(1);
    } else if (page == CLeftView::kPageGroups) {
        CGroupsDlg dialog(*this, this);
        dialog.SetDialogRunner(&Dialogs());
        Dialogs().Run(dialog);
    }
}

// --- The database file --------------------------------------------------------------------

IFileChooser& CMainFrame::FileChooser() {
    return *m_chooser;
}

void CMainFrame::ReloadContactsView(int rememberedRow) {
    if (CContactsView* view = ContactsView()) {
        view->SetRememberedRow(rememberedRow);
        view->ReloadContacts();
    }
}

bool CMainFrame::RestoreFromSafetyCopy(CSafetyCopy& copy) {
    m_book.Close();
    if (copy.Exists()) {
        std::string error;
        if (!copy.Restore(error)) {
            m_device.Errors().Problem("The contacts could not be put back into " +
                                      copy.DatabasePath() + ":\n" + error +
                                      "\n\nThe previous contacts are kept in " + copy.Path() + ".");
        }
    }
    if (!m_book.Reopen()) {
        m_device.Errors().Error202(m_book.Path() + ": " + m_book.Database().GetErrorDescription());
        close();
        return false;
    }
    return true;
}

// --- Status bar, busy rule, size ----------------------------------------------------------

void CMainFrame::SetStatusText(int pane, const std::string& text) {
    m_statusPanes.SetText(pane, text);
}

void CMainFrame::SetPaneText(StatusPane pane, const std::string& text) {
    SetStatusText(pane == StatusPane::Connection ? kPaneConnection : kPanePort, text);
}

void CMainFrame::SetBusy(bool busy) {
    m_busy = busy ? 1 : 0;
    m_commands.SetBusy(m_busy != 0);
}

void CMainFrame::SetMinTrackSize(int width, int height) {
    // The window system keeps the frame from being dragged smaller than this, but never asks
    // for more than the screen: at a large font the form is taller than a laptop's screen,
    // and the editor panel scrolls instead.
    QSize least(width, height);
    if (const QScreen* shown = screen()) {
        // Before the first showing the frame's decoration is not known: room for a title bar.
        QSize decoration = frameGeometry().size() - size();
        if (!isVisible() || decoration.isEmpty()) {
            decoration = QSize(8, 2 * fontMetrics().height() + 8);
        }
        const QSize room = shown->availableGeometry().size() - decoration;
        least = least.boundedTo(room);
        if (this->width() > room.width() || this->height() > room.height()) {
            resize(size().boundedTo(room));
        }
    }
    setMinimumSize(least);
}

// --- Commands -------------------------------------------------------------------------------

void CMainFrame::OnConfiguration() {
    CConfigDlg dialog(m_device.Link(), m_portMap, m_portMapPath, this);
    Dialogs().Run(dialog);
}

void CMainFrame::OnRestoreBook() {
    CRestoreBookDlg dialog(
        m_history,
        [this](const SBookEntry& entry, std::string& error) { return RestoreBook(entry, error); },
        this);
    Dialogs().Run(dialog);
}

bool CMainFrame::RestoreBook(const SBookEntry& entry, std::string& error) {
    // The book being restored is spared when the history makes room for the current one.
    if (!m_history.Keep(m_book.Database(), CBookHistory::kRestore, "", error, entry.path)) {
        return false;
    }
    m_book.Close();
    const bool restored = m_history.RestoreInto(entry, m_book.Path(), error);
    // Restored or not, the file at the database's path is opened again.
    if (m_book.Open(m_book.Path()) == EOpenResult::kConnectionFailed) {
        m_device.Errors().Error202(m_book.Path() + ": " + m_book.Database().GetErrorDescription());
        close();
        return false;
    }
    ReloadContactsView(0);
    return restored;
}

void CMainFrame::OnHelp() {
    m_help->Open(QString::fromStdString(m_programDirectory + "OrvexMgr.html"));
}

// --- Window messages ----------------------------------------------------------------------

void CMainFrame::PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(this, new CLinkEvent(message, wParam, lParam));
}

intptr_t CMainFrame::SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    return m_linkMessages.Handle(message, wParam, lParam);
}

void CMainFrame::SetTimer(int id, uint32_t ms) {
    m_linkMessages.SetTimer(id, ms);
}

void CMainFrame::KillTimer(int id) {
    m_linkMessages.KillTimer(id);
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == CLinkEvent::Type()) {
        const auto* m = static_cast<CLinkEvent*>(e);
        m_linkMessages.Handle(m->message, m->wParam, m->lParam);
        return true;
    }
    return QMainWindow::event(e);
}

// --- Shutdown -------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!m_closing) {
        m_closing = true;
        m_book.Close();
        WriteCurrentSettings();
        SaveWindowState();
    }
    QMainWindow::closeEvent(e);
}

}  // namespace orvex
