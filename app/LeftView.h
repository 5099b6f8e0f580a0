#pragma once

#include <QTreeWidget>

namespace orvex {

class CDeviceLink;
class IMessageTarget;

// The navigation tree in the left pane: "Orvex" > "Contacts" > "Personal" and "Groups". Every
// change of the selected item sends the page request (WM_USER+14) with the item's page number
// to the main window. Its first display also opens the serial port and starts watching the
// link.
class CLeftView : public QTreeWidget {
    Q_OBJECT
  public:
    // The page numbers the items carry.
    enum EPage { kPageRoot = 0, kPageContacts = 1, kPagePersonal = 2, kPageGroups = 3 };

    explicit CLeftView(QWidget* parent = nullptr);

    // Builds the items, selects "Personal" (which shows the contacts view), opens the port of
    // the link, (re)starts the status timer when it opened, and shows "Connecting...".
    void InitialUpdate(CDeviceLink& link);

    QTreeWidgetItem* ItemForPage(int page) const;
    // 120 pixels, or what the items need at the user's font size.
    int IdealWidth() const;

  private:
    void OnSelectionChanged();

    QTreeWidgetItem* m_root = nullptr;
};

}  // namespace orvex
