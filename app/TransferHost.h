#pragma once

#include <string>

class QWidget;

namespace orvex {

class CADODatabase;
class CBookHistory;
class CDeviceTransfer;
class CSafetyCopy;
class IMessageTarget;

// What the transfer commands need of the main window: the device, the open book and its
// history, the busy flag, the contacts view, and the window messages that carry the link's
// notices. The main window is the one host; the commands know nothing else of it.
class ITransferHost {
  public:
    virtual ~ITransferHost() = default;

    virtual CDeviceTransfer& Device() = 0;
    virtual CADODatabase& Database() = 0;
    virtual const std::string& DatabasePath() const = 0;
    virtual CBookHistory& History() = 0;
    // Busy while a transfer runs: no status request, no edit, no other file command.
    virtual void SetBusy(bool busy) = 0;
    virtual bool IsBusy() const = 0;
    // The contacts view shows the table afresh with the given row selected.
    virtual void ReloadContactsView(int rememberedRow) = 0;
    // Puts the safety copy back after a failed download; false when the book could not be
    // opened again (the window then closes).
    virtual bool RestoreFromSafetyCopy(CSafetyCopy& copy) = 0;
    // The window that receives the link's messages, and that owns the progress window.
    virtual IMessageTarget& MessageTarget() = 0;
    virtual QWidget* Window() = 0;
};

}  // namespace orvex
