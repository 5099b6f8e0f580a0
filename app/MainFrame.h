#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include "app/WindowState.h"
#include "app/settings/PortMap.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/BookHistory.h"
#include "db/SafetyCopy.h"
#include "link/DeviceTransfer.h"
#include "link/MessageTarget.h"
#include "ui/ContactsHost.h"

class QAction;
class QLabel;
class QToolBar;

namespace orvex {

class CHelpCommand;
class CVCardCommands;

class CContactsView;
class CCsvCommands;
class CDbFileCommands;
class CLeftView;
class CRememberingChooser;
class CSwitchSplitterWnd;
class CTransferCommands;
class IFileChooser;

// The program's only top-level window: menu, keys, toolbar, status bar, the split client area
// (navigation tree left, contacts view right), and the owner of the database connection, its
// recordsets and the device object. It is the link's message target and the views' host.
class CMainFrame : public QMainWindow, public IMessageTarget, public IContactsHost {
    Q_OBJECT
  public:
    // Command numbers.
    enum ECommand {
        kCmdDownload = 32771,
        kCmdUpload = 32772,
        kCmdConfiguration = 32773,
        kCmdPersonal = 32774,
        kCmdGroups = 32775,
        kCmdBackup = 32776,
        kCmdLoadDb = 32784,
        kCmdImport = 32785,
        kCmdExport = 32786,
        kCmdHelp = 32787,
        kCmdRestoreBook = 32788,
        kCmdImportVCard = 32789,
        kCmdExportVCard = 32790,
        kCmdAbout = 57664,
        kCmdExit = 57665,
    };
    static constexpr int kPaneCounts = 1;
    static constexpr int kPaneConnection = 2;
    static constexpr int kPanePort = 3;

    // programDirectory ends with "/"; the settings file is OrvexMgr.ini in it.
    explicit CMainFrame(const std::string& programDirectory);
    ~CMainFrame() override;

    // Creation: toolbar and status bar, the settings phase, the database phase and the client
    // area. Reports go to the user as they happen; StartupFailed() tells whether the program
    // must end.
    bool Create();
    bool StartupFailed() const { return m_startupFailed; }
    // The views' first display: the tree (which opens the port) and the contacts view, whose
    // columns then come back as the last session left them.
    void InitialUpdate();
    // Before the window is first shown: the size and place (or maximised state) it had when it
    // was last closed, kept in CWindowState's file beside the settings file. False when nothing
    // is remembered: the window is then the caller's to place.
    bool RestoreWindowPlace();
    // Destroys the window without the close steps (a failed start-up writes no settings).
    void DestroyWithoutClosing();

    // IMessageTarget
    void PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    intptr_t SendMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    void SetTimer(int id, uint32_t ms) override;
    void KillTimer(int id) override;
    void SetPaneText(StatusPane pane, const std::string& text) override;

    // IContactsHost
    CADODatabase& Database() override { return m_database; }
    CADORecordset& PersonalRecordset() override { return m_personal; }
    void SetStatusText(int pane, const std::string& text) override;
    void SetBusy(bool busy) override;
    bool IsBusy() const override { return m_busy; }
    QWidget* NavigationTree() override;
    void SelectTreeRoot() override;
    CErrorReport& Errors() override { return m_device.Errors(); }
    void SetMinTrackSize(int width, int height) override;

    QAction* Action(int command) const;
    QString StatusText(int pane) const;
    CDeviceTransfer& Device() { return m_device; }
    CTransferCommands& Transfers() { return *m_transfers; }
    CSwitchSplitterWnd* Splitter() const { return m_splitter; }
    CContactsView* ContactsView() const;
    CLeftView* LeftView() const;
    const std::string& DatabasePath() const { return m_databasePath; }
    const std::string& ProgramDirectory() const { return m_programDirectory; }
    // Help > Contents: the desktop's browser, else the program's own window.
    CHelpCommand& Help() { return *m_help; }
    // File > Import vCard and Export vCard.
    CVCardCommands& VCard() { return *m_vcardCommands; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    const std::string& WindowStatePath() const { return m_windowStatePath; }
    // The books that downloads, imports and restores replaced.
    CBookHistory& History() { return m_history; }
    // Takes care of what an interrupted run left beside the database file at path (before it
    // is opened): a safety copy goes into the history, and the user is told so.
    void TidyLeftovers(const std::string& path);
    // The device each port name opens, and the file that keeps it.
    CPortMap& PortMap() { return m_portMap; }
    const std::string& PortMapPath() const { return m_portMapPath; }
    void ShowPage(int page);

    // The file dialogs of the file commands, each opening in the last folder of its kind; tests
    // put their own choice in (nullptr: the platform's dialogs again).
    IFileChooser& FileChooser();
    void SetFileChooser(IFileChooser* chooser) { m_fileChooser = chooser; }

    CADORecordset& SecondRecordset() { return m_second; }
    const std::string& ConnectionString() const { return m_connectionString; }

    // Switches to the database file at path: closes the connection, opens the file, binds the
    // two recordsets to it and opens the personal contacts sorted by name. The reports are the
    // caller's.
    enum class EOpenResult { kOk, kConnectionFailed, kRecordsetFailed };
    EOpenResult OpenDatabaseFile(const std::string& path);
    // The contacts view shows the table afresh with the given row selected.
    void ReloadContactsView(int rememberedRow);
    // After a failed replacement of all contacts: closes the connection, puts the safety copy
    // back, and opens the database again. A copy that cannot be put back is kept and the user
    // is told where it is. When the database does not open again Error 202 is shown and the
    // window closes; the result then is false.
    bool RestoreFromSafetyCopy(CSafetyCopy& copy);
    // Replaces the open book with an earlier one: the current book goes into the history
    // first, so that this too can be undone. False with the reason; the current book then
    // stays open.
    bool RestoreBook(const SBookEntry& entry, std::string& error);

  signals:
    // The About command; the application object shows the box.
    void AboutRequested();
    // A page request arrived (0 root, 1 contacts, 2 personal, 3 groups).
    void PageRequested(int page);

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam);
    void CreateActions();
    void CreateToolBar();
    void CreateStatusBar();
    bool SettingsPhase();
    void DatabasePhase();
    // Why a database file that fails the start-up check cannot be used although it exists
    // (another program holds it, say); empty when it does not exist.
    static std::string WhyUnusable(const std::string& path);
    void CreateClientArea();
    void UpdateCommandStates();
    void OnConfiguration();
    void OnRestoreBook();
    void OnHelp();
    void OnStatusTimer();
    int CountTableRows();
    void WriteCurrentSettings();
    void SaveWindowState();
    void LoadPortMap();

    // In the order the window's parts are built and torn down.
    int m_minTrackWidth = 0;
    int m_minTrackHeight = 0;
    CSwitchSplitterWnd* m_splitter = nullptr;
    int m_treeView = -1;
    int m_contactsView = -1;
    int m_busy = 0;
    CADODatabase m_database;
    CADORecordset m_personal{&m_database};
    CADORecordset m_second{&m_database};
    std::string m_connectionString;
    std::string m_databasePath;
    std::string m_programDirectory;
    std::string m_settingsPath;
    std::string m_portMapPath;
    std::string m_windowStatePath;
    CWindowState m_windowState;
    CBookHistory m_history;
    CPortMap m_portMap;
    CDeviceTransfer m_device;
    IFileChooser* m_fileChooser = nullptr;
    std::unique_ptr<IFileChooser> m_platformChooser;
    std::unique_ptr<CRememberingChooser> m_chooser;
    std::unique_ptr<CDbFileCommands> m_dbFileCommands;
    std::unique_ptr<CCsvCommands> m_csvCommands;
    std::unique_ptr<CVCardCommands> m_vcardCommands;
    std::unique_ptr<CTransferCommands> m_transfers;
    QToolBar* m_toolBar = nullptr;
    std::map<int, QLabel*> m_panes;
    std::map<int, QAction*> m_actions;
    CHelpCommand* m_help;  // a child of this window
    QTimer m_statusTimer;
    QTimer m_reopenTimer;
    bool m_startupFailed = false;
    bool m_closing = false;
};

}  // namespace orvex
