#pragma once

namespace orvex {

class CMainFrame;

// The File menu's commands on the database file as a whole: Load DB File switches the program
// to another contacts file, Backup DB File copies the open one to a place the user chooses.
class CDbFileCommands {
  public:
    explicit CDbFileCommands(CMainFrame& frame) : m_frame(frame) {}

    void OnLoadDbFile();
    void OnBackupDbFile();

  private:
    CMainFrame& m_frame;
};

}  // namespace orvex
