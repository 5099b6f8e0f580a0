#pragma once

#include <string>

class QWidget;

namespace orvex {

class CADODatabase;
class CADORecordset;
class CErrorReport;

// The main window as the contacts view and the dialogs of ui/ see it.
class IContactsHost {
  public:
    virtual ~IContactsHost() = default;
    // The connection to the open contacts database.
    virtual CADODatabase& Database() = 0;
    // The recordset of the personal contacts that the grid shows.
    virtual CADORecordset& PersonalRecordset() = 0;
    // A status bar pane: 1 the counts "P:%03d/G:%02d", 2 the connection, 3 the port.
    virtual void SetStatusText(int pane, const std::string& text) = 0;
    // Set while a transfer runs or a contact is being edited: the menu commands are disabled.
    virtual void SetBusy(bool busy) = 0;
    virtual bool IsBusy() const = 0;
    // The navigation tree, disabled while a contact is being edited.
    virtual QWidget* NavigationTree() = 0;
    // Selects the tree's root item (a dialog opened from the tree hands the selection back).
    virtual void SelectTreeRoot() = 0;
    virtual CErrorReport& Errors() = 0;
    // The smallest size the main window may be given.
    virtual void SetMinTrackSize(int width, int height) = 0;
};

}  // namespace orvex
