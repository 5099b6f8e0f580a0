#include "app/MainFrame.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
#include "db/ContactsTable.h"
#include "db/DatabaseFile.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/PortDiagnosis.h"
#include "ui/ContactsView.h"
#include "ui/GroupsDlg.h"
#include "ui/QtText.h"
#include "ui/RestoreBookDlg.h"

namespace orvex {

namespace {

// Commands that wait while the program is busy with a transfer or an edit.
constexpr int kBusyCommands[] = {
    CMainFrame::kCmdDownload,   CMainFrame::kCmdUpload,      CMainFrame::kCmdConfiguration,
    CMainFrame::kCmdPersonal,   CMainFrame::kCmdGroups,      CMainFrame::kCmdBackup,
    CMainFrame::kCmdLoadDb,     CMainFrame::kCmdImport,      CMainFrame::kCmdExport,
    CMainFrame::kCmdHelp,       CMainFrame::kCmdRestoreBook, CMainFrame::kCmdImportVCard,
    CMainFrame::kCmdExportVCard};

}  // namespace

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
    m_statusTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { OnStatusTimer(); });
    connect(&m_reopenTimer, &QTimer::timeout, this,
            [this] { HandleMessage(WM_TIMER, kReopenTimerId, 0); });
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
    CreateActions();
    CreateToolBar();
    CreateStatusBar();
    if (!SettingsPhase()) {
        return false;
    }
    DatabasePhase();
    CreateClientArea();
    return true;
}

void CMainFrame::CreateActions() {
    struct SCommand {
        int id;
        const char* menu;
        const char* text;
        QKeySequence keys;
        const char* prompt;
        const char* tip;
        QStyle::StandardPixmap icon;
        const char* themeIcon;
    };
    const SCommand commands[] = {
        {kCmdLoadDb, "&File", "L&oad DB File...", QKeySequence("Ctrl+O"),
         "Load Orvex database file", "Load DB file", QStyle::SP_DialogOpenButton, "document-open"},
        {kCmdBackup, "&File", "&Backup DB File...", QKeySequence("Ctrl+B"),
         "Backup current database file", "Backup DB file", QStyle::SP_DialogSaveButton,
         "document-save-as"},
        {kCmdRestoreBook,
         "&File",
         "&Restore Earlier Book...",
         {},
         "Restore the contacts as they were before a download, import or restore",
         "Restore earlier book",
         QStyle::SP_BrowserReload,
         "document-revert"},
        {0, "&File", nullptr, {}, nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {kCmdImport, "&File", "&Import...", QKeySequence("Ctrl+I"), "Import comma delimited file",
         "Import", QStyle::SP_ArrowRight, "document-import"},
        {kCmdExport, "&File", "&Export...", QKeySequence("Ctrl+E"), "Export comma delimited file",
         "Export", QStyle::SP_ArrowLeft, "document-export"},
        {kCmdImportVCard,
         "&File",
         "Import &vCard...",
         {},
         "Import contacts from a vCard file",
         "Import vCard",
         QStyle::SP_ArrowRight,
         "document-import"},
        {kCmdExportVCard,
         "&File",
         "Export vC&ard...",
         {},
         "Export contacts to a vCard file",
         "Export vCard",
         QStyle::SP_ArrowLeft,
         "document-export"},
        {0, "&File", nullptr, {}, nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {kCmdExit, "&File", "E&xit", QKeySequence("Ctrl+Q"), "Quit the application", "Exit",
         QStyle::SP_DialogCloseButton, "application-exit"},
        {kCmdPersonal, "C&ontacts", "&Personal", QKeySequence("Ctrl+P"), "Show personal contacts",
         "Personal", QStyle::SP_FileDialogInfoView, "avatar-default"},
        {kCmdGroups, "C&ontacts", "&Groups...", QKeySequence("Ctrl+G"),
         "Show and edit group contacts", "Groups", QStyle::SP_FileDialogListView, "system-users"},
        {kCmdDownload, "&Communication", "&Download Contacts from Device", QKeySequence("F5"),
         "Download contacts from the device", "Download Contacts from Device", QStyle::SP_ArrowDown,
         "go-down"},
        {kCmdUpload, "&Communication", "&Upload Contacts to Device", QKeySequence("F6"),
         "Upload contacts to the device", "Upload Contacts to Device", QStyle::SP_ArrowUp, "go-up"},
        {0, "&Communication", nullptr, {}, nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
        {kCmdConfiguration, "&Communication", "&Configuration...", QKeySequence("Alt+F7"),
         "Set the communication environment", "Configuration", QStyle::SP_ComputerIcon,
         "preferences-system"},
        {kCmdHelp, "&Help", "&Contents", QKeySequence("F1"), "Help contents", "Help Contents",
         QStyle::SP_DialogHelpButton, "help-contents"},
        {kCmdAbout,
         "&Help",
         "&About Orvex Manager",
         {},
         "Display program information, version number and copyright",
         "About",
         QStyle::SP_MessageBoxInformation,
         "help-about"},
    };
    std::map<std::string, QMenu*> menus;
    for (const SCommand& c : commands) {
        QMenu*& menu = menus[c.menu];
        if (!menu) {
            menu = menuBar()->addMenu(c.menu);
        }
        if (!c.text) {
            menu->addSeparator();
            continue;
        }
        auto* action =
            new QAction(QIcon::fromTheme(c.themeIcon, style()->standardIcon(c.icon)), c.text, this);
        action->setShortcut(c.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setStatusTip(c.prompt);
        action->setToolTip(c.tip);
        action->setData(c.id);
        menu->addAction(action);
        m_actions[c.id] = action;
    }
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

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar("Toolbar");
    m_toolBar->setObjectName("toolbar");
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(24, 24));
    const int order[] = {kCmdLoadDb, kCmdBackup,   0,          kCmdPersonal,      kCmdGroups,
                         0,          kCmdDownload, kCmdUpload, kCmdConfiguration, 0,
                         kCmdHelp};
    for (int id : order) {
        if (id == 0) {
            m_toolBar->addSeparator();
        } else {
            m_toolBar->addAction(Action(id));
        }
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->showMessage("Ready");
    const std::pair<int, int> panes[] = {{kPaneCounts, 19}, {kPaneConnection, 21}, {kPanePort, 10}};
    const char* names[] = {"", "Counts", "Connection", "Port"};
    for (const auto& [pane, blanks] : panes) {
        auto* label = new QLabel(QString(blanks, ' '), bar);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString(blanks, ' ')) + 8);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAccessibleName(names[pane]);
        label->setProperty("paneName", names[pane]);
        bar->addPermanentWidget(label);
        m_panes[pane] = label;
    }
    // The idle prompt comes back when a command's prompt goes.
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        if (message.isEmpty()) {
            bar->showMessage("Ready");
        }
    });
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
            m_databasePath = values.databasePath;
            m_programDirectory = values.programDirectory;
            m_device.SetMaxPersonal(values.maxPersonal);
            m_device.Link().SetPortNumber(values.portNumber);
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
    values.databasePath = m_databasePath;
    values.programDirectory = m_programDirectory;
    values.maxPersonal = m_device.MaxPersonal();
    values.portNumber = m_device.Link().PortNumber();
    std::string error;
    if (!CSettingsFile::Write(m_settingsPath, values, false, error)) {
        // The old file stays whole; the user learns why this session's choices are not kept.
        QMessageBox box(QMessageBox::Warning, "Orvex Manager",
                        "The settings could not be saved:\n" + CQtText::ToQString(error),
                        QMessageBox::Ok);
        box.exec();
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

std::string CMainFrame::WhyUnusable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};  // it does not exist: the report says just that
    }
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        return path + " exists, but it cannot be used: " + std::strerror(errno) + ".";
    }
    std::string text = path + " exists, but another program holds it";
    const auto holders = CPortDiagnosis::Holders(path);
    for (size_t i = 0; i < holders.size(); ++i) {
        text += (i == 0 ? ": " : ", ") + CPortDiagnosis::HolderText(holders[i]);
    }
    return text +
           ".\nClose that program (another copy of Orvex Manager, for example), then "
           "start again.";
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
    TidyLeftovers(m_databasePath);
    // Held by another copy of the program counts as missing, as the file cannot be used; the
    // details then say that it is there and who holds it.
    if (!CDatabaseFile::CanOpenExclusively(m_databasePath)) {
        errors.Error201LastUsed(WhyUnusable(m_databasePath));
        m_databasePath = m_programDirectory + "Orvex.mdb";
        TidyLeftovers(m_databasePath);
        if (!CDatabaseFile::CanOpenExclusively(m_databasePath)) {
            errors.Error201Default(WhyUnusable(m_databasePath));
            m_startupFailed = true;
            return;
        }
    }
    m_connectionString = CContactsTable::ConnectionString(m_databasePath);
    if (!m_database.Open(m_connectionString, "", "")) {
        errors.Error202(m_databasePath + ": " + m_database.GetErrorDescription());
        m_startupFailed = true;
        return;
    }
    if (!CContactsTable::OpenPersonal(m_personal)) {
        errors.Error203(m_databasePath + ": " +
                        CADODatabase::ReasonOf(m_personal.GetLastErrorString()));
        m_startupFailed = true;
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

// --- The database file --------------------------------------------------------------------

IFileChooser& CMainFrame::FileChooser() {
    return *m_chooser;
}

CMainFrame::EOpenResult CMainFrame::OpenDatabaseFile(const std::string& path) {
    m_personal.Close();
    m_second.Close();
    m_database.Close();
    m_databasePath = path;
    m_connectionString = CContactsTable::ConnectionString(path);
    if (!m_database.Open(m_connectionString, "", "")) {
        return EOpenResult::kConnectionFailed;
    }
    return CContactsTable::OpenPersonal(m_personal) ? EOpenResult::kOk
                                                    : EOpenResult::kRecordsetFailed;
}

void CMainFrame::ReloadContactsView(int rememberedRow) {
    if (CContactsView* view = ContactsView()) {
        view->SetRememberedRow(rememberedRow);
        view->ReloadContacts();
    }
}

bool CMainFrame::RestoreFromSafetyCopy(CSafetyCopy& copy) {
    m_personal.Close();
    m_second.Close();
    m_database.Close();
    if (copy.Exists()) {
        std::string error;
        if (!copy.Restore(error)) {
            m_device.Errors().Problem("The contacts could not be put back into " +
                                      copy.DatabasePath() + ":\n" + error +
                                      "\n\nThe previous contacts are kept in " + copy.Path() + ".");
        }
    }
    if (!m_database.Open(m_connectionString, "", "")) {
        m_device.Errors().Error202(m_databasePath + ": " + m_database.GetErrorDescription());
        close();
        return false;
    }
    CContactsTable::OpenPersonal(m_personal);
    return true;
}

// --- Status bar, busy rule, size ----------------------------------------------------------

void CMainFrame::SetStatusText(int pane, const std::string& text) {
    auto it = m_panes.find(pane);
    if (it != m_panes.end()) {
        QLabel* label = it->second;
        label->setText(CQtText::ToQString(text));
        // A screen reader hears the pane's name with its value ("Counts: P:002/G:00"), and
        // hears it change.
        const QString value = label->text().trimmed();
        const QString name = label->property("paneName").toString();
        label->setAccessibleName(value.isEmpty() ? name : name + ": " + value);
        label->setAccessibleDescription(value);
        label->repaint();
    }
}

QString CMainFrame::StatusText(int pane) const {
    if (pane == 0) {
        return statusBar()->currentMessage();
    }
    auto it = m_panes.find(pane);
    return it == m_panes.end() ? QString() : it->second->text();
}

void CMainFrame::SetPaneText(StatusPane pane, const std::string& text) {
    SetStatusText(pane == StatusPane::Connection ? kPaneConnection : kPanePort, text);
}

QAction* CMainFrame::Action(int command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::SetBusy(bool busy) {
    m_busy = busy ? 1 : 0;
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
    for (int id : kBusyCommands) {
        if (QAction* action = Action(id)) {
            action->setEnabled(m_busy == 0);
        }
    }
}

void CMainFrame::SetMinTrackSize(int width, int height) {
    m_minTrackWidth = width;
    m_minTrackHeight = height;
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
    dialog.exec();
}

void CMainFrame::OnRestoreBook() {
    CRestoreBookDlg dialog(
        m_history,
        [this](const SBookEntry& entry, std::string& error) { return RestoreBook(entry, error); },
        this);
    dialog.exec();
}

bool CMainFrame::RestoreBook(const SBookEntry& entry, std::string& error) {
    // The book being restored is spared when the history makes room for the current one.
    if (!m_history.Keep(m_database, CBookHistory::kRestore, "", error, entry.path)) {
        return false;
    }
    m_personal.Close();
    m_second.Close();
    m_database.Close();
    const bool restored = m_history.RestoreInto(entry, m_databasePath, error);
    // Restored or not, the file at the database's path is opened again.
    if (OpenDatabaseFile(m_databasePath) == EOpenResult::kConnectionFailed) {
        m_device.Errors().Error202(m_databasePath + ": " + m_database.GetErrorDescription());
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
    return HandleMessage(message, wParam, lParam);
}

void CMainFrame::SetTimer(int id, uint32_t ms) {
    if (id == kStatusTimerId) {
        m_statusTimer.start(static_cast<int>(ms));
    } else if (id == kReopenTimerId) {
        m_reopenTimer.start(static_cast<int>(ms));
    }
}

void CMainFrame::KillTimer(int id) {
    if (id == kStatusTimerId) {
        m_statusTimer.stop();
    } else if (id == kReopenTimerId) {
        m_reopenTimer.stop();
    }
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == CLinkEvent::Type()) {
        const auto* m = static_cast<CLinkEvent*>(e);
        HandleMessage(m->message, m->wParam, m->lParam);
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::OnStatusTimer() {
    m_device.Link().OnStatusTimer(m_device.MaxPersonal(), m_busy != 0);
}

int CMainFrame::CountTableRows() {
    CADORecordset table(&m_database);
    return table.Open(CContactsTable::kTable, CADORecordset::openTable) ? table.RowCount() : 0;
}

intptr_t CMainFrame::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    CDeviceLink& link = m_device.Link();
    switch (message) {
        case kMsgBytesArrived:
            link.AssembleFrames();
            break;
        case kMsgFailure:
            link.FailureStopLink(static_cast<int>(wParam), static_cast<int>(lParam));
            m_transfers->OnFailure(static_cast<int>(wParam), static_cast<int>(lParam));
            link.FailureResumeStatus(static_cast<int>(wParam), static_cast<int>(lParam));
            break;
        case kMsgConnected:
            if (wParam == 0) {
                SetStatusText(kPaneConnection, "Connected");
            }
            SetTimer(static_cast<int>(wParam), static_cast<uint32_t>(lParam));
            break;
        case kMsgBuildStatus:
            m_device.BuildStatusRequest(CountTableRows());
            break;
        case kMsgStatusReply:
            m_device.ReadStatusReply();
            break;
        case kMsgOpenAnswered:
            m_transfers->OnOpenAnswered(wParam);
            break;
        case kMsgRecord:
            m_transfers->OnRecord();
            break;
        case kMsgNextRow:
            m_transfers->OnNextRow();
            break;
        case kMsgRowsDone:
            m_transfers->OnRowsDone();
            break;
        case kMsgNextGroup:
            m_transfers->OnNextGroup();
            break;
        case kMsgPageRequest:
            emit PageRequested(static_cast<int>(lParam));
            if (lParam == CLeftView::kPageContacts || lParam == CLeftView::kPagePersonal) {
                ShowPage(1);
            } else if (lParam == CLeftView::kPageGroups) {
                CGroupsDlg dialog(*this, this);
                dialog.exec();
            }
            break;
        case kMsgPortHungUp:
            link.OnPortHungUp(static_cast<int>(lParam));
            break;
        case WM_TIMER:
            if (wParam == kReopenTimerId) {
                link.OnReopenTimer();
            } else {
                OnStatusTimer();
            }
            break;
        default:
            break;
    }
    return 0;
}

// --- Shutdown -------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!m_closing) {
        m_closing = true;
        m_personal.Close();
        m_second.Close();
        m_database.Close();
        WriteCurrentSettings();
        SaveWindowState();
    }
    QMainWindow::closeEvent(e);
}

}  // namespace orvex
