#include "ui/AddressList.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <algorithm>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/GroupList.h"
#include "ui/QtText.h"

namespace orvex {

namespace {

using F = CContactFields;

// The contact id on a row's first item, the address's kind on its type item.
constexpr int kDataRole = Qt::UserRole;

// The lists show texts that came from the database as bytes; they go back the same way.
std::string Bytes(const QString& text) {
    std::string bytes;
    CQtText::FromQString(text, bytes);
    return bytes;
}

}  // namespace

CAddressList::CAddressList(const char* name, QWidget* parent) : QTableWidget(0, 4, parent) {
    setObjectName(QLatin1String(name));
    setHorizontalHeaderLabels({QStringLiteral("First Name"), QStringLiteral("Last Name"),
                               QStringLiteral("Type"), QStringLiteral("Contact Address")});
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the next control; the arrow keys move within the list.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(fontMetrics().averageCharWidth() * 2);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CAddressList::OnSelectionChanged);
}

CAddressSelection CAddressList::ReadContact(CADORecordset& contacts) {
    CAddressSelection contact;
    contacts.ReadInt(F::Name(F::kId), contact.contactId);
    contacts.ReadText(F::Name(F::kFirstName), contact.first);
    contacts.ReadText(F::Name(F::kLastName), contact.last);
    return contact;
}

void CAddressList::AddAll(CADODatabase& database) {
    CADORecordset personal(&database);
    if (personal.Open(CContactsTable::kSelectPersonal, CADORecordset::openQuery) &&
        personal.SortBy(CContactsTable::kSortByName)) {
        for (personal.MoveFirst(); !personal.IsEOF(); personal.MoveNext()) {
            const CAddressSelection contact = ReadContact(personal);
            for (const F::SAddressKind& kind : F::kAddressKinds) {
                CAddressSelection address = contact;
                personal.ReadText(F::Name(kind.address), address.address);
                if (!address.address.empty()) {
                    address.kind = kind.Number();
                    AddAddress(address);
                }
            }
        }
    }
    personal.Close();
}

void CAddressList::AddMembers(CADODatabase& database, int group) {
    CADORecordset members(&database);
    if (CGroupList::OpenMembers(group, members)) {
        for (members.MoveFirst(); !members.IsEOF(); members.MoveNext()) {
            const CAddressSelection contact = ReadContact(members);
            for (const F::SAddressKind& kind : F::kAddressKinds) {
                std::string list;
                members.ReadText(F::Name(kind.groupList), list);
                if (CGroupList::Contains(list, group)) {
                    // Listed even when empty: the group holds it.
                    CAddressSelection address = contact;
                    members.ReadText(F::Name(kind.address), address.address);
                    address.kind = kind.Number();
                    AddAddress(address);
                }
            }
        }
    }
    members.Close();
}

void CAddressList::AddAddress(const CAddressSelection& address) {
    const QString firstText = CQtText::ToQString(address.first);
    int low = 0;
    int high = rowCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        const QTableWidgetItem* cell = item(mid, kColFirst);
        const QString text = cell ? cell->text() : QString();
        if (QString::compare(text, firstText, Qt::CaseInsensitive) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    const QScopedValueRollback<bool> filling(m_filling, true);
    insertRow(low);
    const QString texts[] = {firstText, CQtText::ToQString(address.last),
                             QLatin1String(CAddressSelection::LabelOf(address.kind)),
                             CQtText::ToQString(address.address)};
    for (int c = 0; c < 4; ++c) {
        auto* cell = new QTableWidgetItem(texts[c]);
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (c == kColFirst) {
            cell->setData(kDataRole, address.contactId);
        } else if (c == kColType) {
            cell->setData(kDataRole, address.kind);
        }
        setItem(low, c, cell);
    }
}

void CAddressList::RemoveAddress(int row) {
    const QScopedValueRollback<bool> filling(m_filling, true);
    removeRow(row);
}

void CAddressList::Clear() {
    const QScopedValueRollback<bool> filling(m_filling, true);
    setRowCount(0);
}

bool CAddressList::HoldsAddress(const std::string& address) const {
    for (int r = 0; r < rowCount(); ++r) {
        const QTableWidgetItem* cell = item(r, kColAddress);
        if (cell && Bytes(cell->text()) == address) {
            return true;
        }
    }
    return false;
}

void CAddressList::LayoutColumns(int w) {
    const int widths[] = {w * 6 / 27, w * 6 / 27, w * 4 / 27};
    QHeaderView* header = horizontalHeader();
    int used = 0;
    for (int c = 0; c < 3; ++c) {
        header->resizeSection(c, widths[c]);
        used += widths[c];
    }
    const int room = std::min(w, viewport()->width()) - used;
    header->resizeSection(kColAddress, std::max(header->minimumSectionSize(), room));
}

void CAddressList::OnSelectionChanged() {
    if (m_filling) {
        return;
    }
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    const int row = rows.first().row();
    const QTableWidgetItem* cells[4] = {};
    for (int c = 0; c < 4; ++c) {
        cells[c] = item(row, c);
        if (!cells[c]) {
            return;
        }
    }
    CAddressSelection address;
    address.index = row;
    address.first = Bytes(cells[kColFirst]->text());
    address.last = Bytes(cells[kColLast]->text());
    address.kind = cells[kColType]->data(kDataRole).toInt();
    address.address = Bytes(cells[kColAddress]->text());
    address.contactId = cells[kColFirst]->data(kDataRole).toInt();
    emit AddressChosen(address);
}

}  // namespace orvex
