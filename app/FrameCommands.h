#pragma once

#include <map>

class QAction;
class QMainWindow;

namespace orvex {

// The main window's commands: their numbers, and the actions, menus and toolbar made from one
// table that gives each command its menu, text, keys, prompt, tip and icon. The actions are
// children of the window; what a command does is the window's to connect.
class CFrameCommands {
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

    // Fills the window's menu bar, an action a command, and adds the toolbar.
    void Create(QMainWindow& window);
    // Null before Create and for a number that is no command.
    QAction* Action(int command) const;
    // The commands that wait while the program is busy with a transfer or an edit are
    // unavailable while it is.
    void SetBusy(bool busy);

  private:
    void CreateActions(QMainWindow& window);
    void CreateToolBar(QMainWindow& window);

    std::map<int, QAction*> m_actions;
};

}  // namespace orvex
