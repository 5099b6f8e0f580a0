#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "app/BookConnection.h"
#include "app/FrameCommands.h"
#include "app/LinkMessages.h"
#include "app/StatusPanes.h"
#include "app/TransferHost.h"
#include "app/WindowState.h"
#include "app/settings/PortMap.h"
#include "db/BookHistory.h"
#include "db/SafetyCopy.h"
#include "link/DeviceTransfer.h"
#include "link/MessageTarget.h"
#include "ui/ContactsHost.h"
#include "ui/DialogRunner.h"

class QAction;

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
// recordsets and the device object. It is the link's message target, the views' host and the
// transfers' host.
class CMainFrame : public QMainWindow,
                   public IMessageTarget,
                   public IContactsHost,
                   public ITransferHost {
    Q_OBJECT
  public:
    // The command numbers, kCmdDownload to kCmdExit.
    using enum CFrameCommands::ECommand;
    static constexpr int kPaneCounts = CStatusPanes::kCounts;
    static constexpr int kPaneConnection = CStatusPanes::kConnection;
    static constexpr int kPanePort = CStatusPanes::kPort;

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

    // ITransferHost (Device, Database, DatabasePath, History, SetBusy and the rest below)
    IMessageTarget& MessageTarget() override { return *this; }
    QWidget* Window() override { return this; }

    // IContactsHost
    CADODatabase& Database() override { return m_book.Database(); }
    CADORecordset& PersonalRecordset() override { return m_book.Personal(); }
    void SetStatusText(int pane, const std::string& text) override;
    void SetBusy(bool busy) override;
    bool IsBusy() const override { return m_busy; }
    QWidget* NavigationTree() override;
    void SelectTreeRoot() override;
    CErrorReport& Errors() override { return m_device.Errors(); }
    void SetMinTrackSize(int width, int height) override;

    QAction* Action(int command) const { return m_commands.Action(command); }
    QString StatusText(int pane) const { return m_statusPanes.Text(pane); }
    CDeviceTransfer& Device() override { return m_device; }
    CTransferCommands& Transfers() { return *m_transfers; }
    CSwitchSplitterWnd* Splitter() const { return m_splitter; }
    CContactsView* ContactsView() const;
    CLeftView* LeftView() const;
    const std::string& DatabasePath() const override { return m_book.Path(); }
    const std::string& ProgramDirectory() const { return m_programDirectory; }
    // Help > Contents: the desktop's browser, else the program's own window.
    CHelpCommand& Help() { return *m_help; }
    // File > Import vCard and Export vCard.
    CVCardCommands& VCard() { return *m_vcardCommands; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    const std::string& WindowStatePath() const { return m_windowStatePath; }
    // The books that downloads, imports and restores replaced.
    CBookHistory& History() override { return m_history; }
    // Takes care of what an interrupted run left beside the database file at path (before it
    // is opened): a safety copy goes into the history, and the user is told so.
    void TidyLeftovers(const std::string& path);
    // The device each port name opens, and the file that keeps it.
    CPortMap& PortMap() { return m_portMap; }
    const std::string& PortMapPath() const { return m_portMapPath; }
    void ShowPage(int page);
    // A page request (0x40E) from the tree or the Contacts menu: the contacts view for the
    // contacts and the personal contacts, the groups dialog for the groups.
    void OnPageRequest(int page);

    // The file dialogs of the file commands, each opening in the last folder of its kind; tests
    // put their own choice in (nullptr: the platform's dialogs again).
    IFileChooser& FileChooser();
    void SetFileChooser(IFileChooser* chooser) { m_fileChooser = chooser; }
    // What runs the commands' modal dialogs (groups, configuration, earlier books, About, the
    // vCard preview); tests act on them instead of a user (nullptr: the user's again).
    IDialogRunner& Dialogs() { return *m_dialogs; }
    void SetDialogRunner(IDialogRunner* runner) {
        m_dialogs = runner ? runner : &IDialogRunner::Modal();
    }

    // The open contacts file and its recordsets.
    CBookConnection& Book() { return m_book; }
    const std::string& ConnectionString() const { return m_book.ConnectionString(); }

    // Switches to the database file at path: closes the connection, opens the file, binds the
    // recordset to it and opens the personal contacts sorted by name. The reports are the
    // caller's.
    using EOpenResult = CBookConnection::EOpenResult;
    EOpenResult OpenDatabaseFile(const std::string& path) { return m_book.Open(path); }
    // The contacts view shows the table afresh with the given row selected.
    void ReloadContactsView(int rememberedRow) override;
    // After a failed replacement of all contacts: closes the connection, puts the safety copy
    // back, and opens the database again. A copy that cannot be put back is kept and the user
    // is told where it is. When the database does not open again Error 202 is shown and the
    // window closes; the result then is false.
    bool RestoreFromSafetyCopy(CSafetyCopy& copy) override;
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
    // What each command does.
    void ConnectCommands();
    bool SettingsPhase();
    void DatabasePhase();
    void CreateClientArea();
    void OnConfiguration();
    void OnRestoreBook();
    void OnHelp();
    void WriteCurrentSettings();
    void SaveWindowState();
    void LoadPortMap();

    // In the order the window's parts are built and torn down.
    CSwitchSplitterWnd* m_splitter = nullptr;
    int m_treeView = -1;
    int m_contactsView = -1;
    int m_busy = 0;
    CBookConnection m_book;
    std::string m_programDirectory;
    std::string m_settingsPath;
    std::string m_portMapPath;
    std::string m_windowStatePath;
    CWindowState m_windowState;
    CBookHistory m_history;
    CPortMap m_portMap;
    CDeviceTransfer m_device;
    IFileChooser* m_fileChooser = nullptr;
    IDialogRunner* m_dialogs = &IDialogRunner::Modal();
    std::unique_ptr<IFileChooser> m_platformChooser;
    std::unique_ptr<CRememberingChooser> m_chooser;
    std::unique_ptr<CDbFileCommands> m_dbFileCommands;
    std::unique_ptr<CCsvCommands> m_csvCommands;
    std::unique_ptr<CVCardCommands> m_vcardCommands;
    std::unique_ptr<CTransferCommands> m_transfers;
    CFrameCommands m_commands;
    CStatusPanes m_statusPanes;
    CHelpCommand* m_help;  // a child of this window
    CLinkMessages m_linkMessages{*this};
    bool m_startupFailed = false;
    bool m_closing = false;
};

}  // namespace orvex
