#include "app/CsvCommands.h"

#include "app/MainFrame.h"

namespace orvex {

void CCsvCommands::OnExport() {}

void CCsvCommands::OnImport() {}

}  // namespace orvex
