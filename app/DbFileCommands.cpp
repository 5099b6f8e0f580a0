#include "app/DbFileCommands.h"

#include "app/MainFrame.h"

namespace orvex {

void CDbFileCommands::OnLoadDbFile() {}

void CDbFileCommands::OnBackupDbFile() {}

}  // namespace orvex
