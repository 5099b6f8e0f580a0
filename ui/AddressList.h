#pragma once

#include <QTableWidget>
#include <string>

#include "ui/AddressSelection.h"

namespace orvex {

class CADODatabase;
class CADORecordset;

// A list of the groups dialog: one row an address of a personal contact (first name, last
// name, type, address), in ascending order of the first names. The row's first item keeps the
// contact's id and its type item the address's kind, so that the kind of a chosen row is never
// read back from the label it shows. Only the user's choice of a row is announced: what the
// list does to itself (filling, adding, removing) chooses nothing.
class CAddressList : public QTableWidget {
    Q_OBJECT
  public:
    enum EColumn { kColFirst = 0, kColLast = 1, kColType = 2, kColAddress = 3 };

    // An empty list with its four captioned columns; name is its object name.
    CAddressList(const char* name, QWidget* parent);

    // Adds every address that a personal contact has.
    void AddAll(CADODatabase& database);
    // Adds the addresses in the group; an empty one too, since the group holds it.
    void AddMembers(CADODatabase& database, int group);
    // One address of a contact, after the last row whose first name does not sort after it, so
    // that rows with the same first name keep the order they came in.
    void AddAddress(const CAddressSelection& address);
    void RemoveAddress(int row);
    void Clear();
    bool HoldsAddress(const std::string& address) const;
    // The columns for an inner width of w: 6, 6 and 4 parts of 27, and the address column
    // what the other three leave of the visible width, so that a long list's scroll bar takes
    // its room from that column instead of calling for sideways scrolling.
    void LayoutColumns(int w);

  signals:
    // The user chose the row of this address; its index is the row.
    void AddressChosen(const CAddressSelection& address);

  private:
    // The contact's id and names at the recordset's current row, with no address yet.
    static CAddressSelection ReadContact(CADORecordset& contacts);
    void OnSelectionChanged();

    bool m_filling = false;
};

}  // namespace orvex
