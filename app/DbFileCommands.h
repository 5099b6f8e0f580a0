#pragma once

#include <string>

class QDate;

namespace orvex {

class CMainFrame;

// The File menu's commands on the database file as a whole: Load DB File switches the program
// to another contacts file, Backup DB File copies the open one to a place the user chooses.
class CDbFileCommands {
  public:
    explicit CDbFileCommands(CMainFrame& frame) : m_frame(frame) {}

    void OnLoadDbFile();
    void OnBackupDbFile();

    // The name Backup DB File offers: the open database's name with the day, as
    // "Orvex-2026-12-08.mdb".
    static std::string BackupName(const std::string& databasePath, const QDate& day);

  private:
    CMainFrame& m_frame;
};

}  // namespace orvex
