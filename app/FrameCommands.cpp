#include "app/FrameCommands.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <string>

namespace orvex {

namespace {

using C = CFrameCommands;

// Commands that wait while the program is busy with a transfer or an edit.
constexpr int kBusyCommands[] = {
    C::kCmdDownload,    C::kCmdUpload,      C::kCmdConfiguration, C::kCmdPersonal, C::kCmdGroups,
    C::kCmdBackup,      C::kCmdLoadDb,      C::kCmdImport,        C::kCmdExport,   C::kCmdHelp,
    C::kCmdRestoreBook, C::kCmdImportVCard, C::kCmdExportVCard};

}  // namespace

void CFrameCommands::Create(QMainWindow& window) {
    CreateActions(window);
    CreateToolBar(window);
}

void CFrameCommands::CreateActions(QMainWindow& window) {
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
            menu = window.menuBar()->addMenu(c.menu);
        }
        if (!c.text) {
            menu->addSeparator();
            continue;
        }
        auto* action = new QAction(
            QIcon::fromTheme(c.themeIcon, window.style()->standardIcon(c.icon)), c.text, &window);
        action->setShortcut(c.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setStatusTip(c.prompt);
        action->setToolTip(c.tip);
        action->setData(c.id);
        menu->addAction(action);
        m_actions[c.id] = action;
    }
}

void CFrameCommands::CreateToolBar(QMainWindow& window) {
    QToolBar* toolBar = window.addToolBar("Toolbar");
    toolBar->setObjectName("toolbar");
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar->setIconSize(QSize(24, 24));
    const int order[] = {kCmdLoadDb, kCmdBackup,   0,          kCmdPersonal,      kCmdGroups,
                         0,          kCmdDownload, kCmdUpload, kCmdConfiguration, 0,
                         kCmdHelp};
    for (int id : order) {
        if (id == 0) {
            toolBar->addSeparator();
        } else {
            toolBar->addAction(Action(id));
        }
    }
}

QAction* CFrameCommands::Action(int command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CFrameCommands::SetBusy(bool busy) {
    for (int id : kBusyCommands) {
        if (QAction* action = Action(id)) {
            action->setEnabled(!busy);
        }
    }
}

}  // namespace orvex
