#include "ui/GroupsDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "db/GroupList.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "ui/ContactsHost.h"
#include "ui/DialogUnits.h"
#include "ui/GroupNameDlg.h"
#include "ui/QtText.h"

namespace orvex {

namespace {

using F = CContactFields;

// The group number on a group entry.
constexpr int kIdRole = Qt::UserRole;

QString Q(const std::string& bytes) {
    return CQtText::ToQString(bytes);
}

// The list shows texts that came from the database as bytes; they go back the same way.
std::string Bytes(const QString& text) {
    std::string bytes;
    CQtText::FromQString(text, bytes);
    return bytes;
}

bool OpenSorted(CADORecordset& rs, const char* statement) {
    return rs.Open(statement, CADORecordset::openQuery) && rs.SortBy(CContactsTable::kSortByName);
}

}  // namespace

CGroupsDlg::CGroupsDlg(IContactsHost& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_changes(host.Database()) {
    setWindowTitle(QStringLiteral("Setting Groups"));
    CreateControls();
    InitDialog();
}

// --- Controls -------------------------------------------------------------------------------

void CGroupsDlg::CreateControls() {
    const CDialogUnits units(font());
    auto* groupLabel = new QLabel(QStringLiteral("Group List:"), this);
    m_groups = new QListWidget(this);
    m_groups->setObjectName(QStringLiteral("groupList"));
    m_groups->setAccessibleName(QStringLiteral("Group List"));
    m_groups->setSelectionMode(QAbstractItemView::SingleSelection);
    m_groups->setFixedWidth(units.X(70));
    m_groups->setMinimumHeight(units.Y(152));
    groupLabel->setBuddy(m_groups);

    QLabel* membersLabel = LabelledAddressList(
        m_members, "members", QStringLiteral("Personal Contacts in the selected group"),
        QSize(units.X(135), units.Y(152)));

    m_add = new QPushButton(QStringLiteral("<-"), this);
    m_add->setObjectName(QStringLiteral("addToGroup"));
    m_add->setAccessibleDescription(QStringLiteral("Adds the chosen address to the group"));
    m_remove = new QPushButton(QStringLiteral("->"), this);
    m_remove->setObjectName(QStringLiteral("removeFromGroup"));
    m_remove->setAccessibleDescription(QStringLiteral("Takes the chosen address out of the group"));
    for (QPushButton* arrow : {m_add, m_remove}) {
        arrow->setFixedSize(std::max(units.X(15), arrow->fontMetrics().horizontalAdvance("<-") + 8),
                            units.Y(15));
    }

    QLabel* allLabel =
        LabelledAddressList(m_all, "allContacts", QStringLiteral("All Personal Contacts"),
                            QSize(units.X(135), units.Y(206)));

    m_addGroup = new QPushButton(QStringLiteral("Add Group"), this);
    m_renameGroup = new QPushButton(QStringLiteral("Rename Group"), this);
    m_deleteGroup = new QPushButton(QStringLiteral("Delete Group"), this);
    for (QPushButton* button : {m_addGroup, m_renameGroup, m_deleteGroup}) {
        button->setFixedWidth(units.X(70));
        button->setMinimumHeight(units.Y(14));
    }
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setDefault(true);
    // Esc and the title bar's close box do what Cancel does; the button itself is not shown.
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->hide();
    for (QPushButton* button : {m_close, m_cancel}) {
        button->setMinimumSize(units.X(50), units.Y(14));
    }
    for (QPushButton* button :
         {m_add, m_remove, m_addGroup, m_renameGroup, m_deleteGroup, m_close, m_cancel}) {
        button->setAccessibleName(button->text());
    }

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(units.X(5), units.Y(5), units.X(5), units.Y(5));
    grid->setHorizontalSpacing(units.X(3));
    grid->setVerticalSpacing(units.Y(2));
    grid->addWidget(groupLabel, 0, 0);
    grid->addWidget(membersLabel, 0, 1, 1, 2);
    grid->addWidget(allLabel, 0, 3);
    grid->addWidget(m_groups, 1, 0);
    grid->addWidget(m_members, 1, 1);
    // The arrows stand between the two lists, one above the other, at the middle of the
    // members list.
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(units.Y(10));
    arrows->addStretch(1);
    arrows->addWidget(m_add);
    arrows->addWidget(m_remove);
    arrows->addStretch(1);
    grid->addLayout(arrows, 1, 2);
    grid->addWidget(m_all, 1, 3, 2, 1);
    auto* groupButtons = new QVBoxLayout;
    groupButtons->setContentsMargins(0, units.Y(3), 0, 0);
    groupButtons->setSpacing(units.Y(3));
    groupButtons->addWidget(m_addGroup);
    groupButtons->addWidget(m_renameGroup);
    groupButtons->addWidget(m_deleteGroup);
    groupButtons->addStretch(1);
    grid->addLayout(groupButtons, 2, 0);
    auto* closeRow = new QHBoxLayout;
    closeRow->setContentsMargins(0, units.Y(3), 0, 0);
    closeRow->addStretch(1);
    closeRow->addWidget(m_cancel);
    closeRow->addWidget(m_close);
    grid->addLayout(closeRow, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(1, 1);

    // The keys visit the controls in the order they were made.
    QWidget* order[] = {m_groups,   m_members,     m_add,         m_remove, m_all,
                        m_addGroup, m_renameGroup, m_deleteGroup, m_close,  m_cancel};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    connect(m_members, &CAddressList::AddressChosen, this, [this](const CAddressSelection& member) {
        m_memberSelection = member;
        if (m_groups->count() > 0) {
            m_remove->setEnabled(true);
        }
    });
    connect(m_all, &CAddressList::AddressChosen, this, [this](const CAddressSelection& candidate) {
        m_candidateSelection = candidate;
        if (m_groups->count() > 0) {
            m_add->setEnabled(true);
        }
    });
    connect(m_groups, &QListWidget::itemSelectionChanged, this,
            &CGroupsDlg::OnGroupSelectionChanged);
    connect(m_add, &QPushButton::clicked, this, &CGroupsDlg::AddToGroup);
    connect(m_remove, &QPushButton::clicked, this, &CGroupsDlg::RemoveFromGroup);
    connect(m_addGroup, &QPushButton::clicked, this, &CGroupsDlg::OnAddGroup);
    connect(m_renameGroup, &QPushButton::clicked, this, &CGroupsDlg::OnRenameGroup);
    connect(m_deleteGroup, &QPushButton::clicked, this, &CGroupsDlg::OnDeleteGroup);
    connect(m_close, &QPushButton::clicked, this, &CGroupsDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CGroupsDlg::reject);
}

QLabel* CGroupsDlg::LabelledAddressList(CAddressList*& list, const char* objectName,
                                        const QString& name, QSize minimum) {
    auto* label = new QLabel(name + ':', this);
    list = new CAddressList(objectName, this);
    // A scroll bar coming or going changes the room for the address column.
    list->viewport()->installEventFilter(this);
    list->setAccessibleName(name);
    list->setMinimumSize(minimum);
    label->setBuddy(list);
    return label;
}

void CGroupsDlg::SetDialogRunner(IDialogRunner* runner) {
    m_dialogs = runner ? runner : &IDialogRunner::Modal();
}

QWidget* CGroupsDlg::Control(int id) const {
    switch (id) {
        case kGroupList:
            return m_groups;
        case kMembers:
            return m_members;
        case kAllContacts:
            return m_all;
        case kAddToGroup:
            return m_add;
        case kRemoveFromGroup:
            return m_remove;
        case kAddGroup:
            return m_addGroup;
        case kRenameGroup:
            return m_renameGroup;
        case kDeleteGroup:
            return m_deleteGroup;
        case kClose:
            return m_close;
        case kCancel:
            return m_cancel;
        default:
            return nullptr;
    }
}

bool CGroupsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && m_members && m_all &&
        (watched == m_members->viewport() || watched == m_all->viewport())) {
        LayoutColumns();
    }
    return QDialog::eventFilter(watched, event);
}

void CGroupsDlg::LayoutColumns() {
    // Both lists take their column widths from the members list's inner width.
    const int w = m_members->contentsRect().width();
    m_members->LayoutColumns(w);
    m_all->LayoutColumns(w);
}

// --- Initialisation and the lists -----------------------------------------------------------

void CGroupsDlg::InitDialog() {
    CADODatabase& database = m_host.Database();
    {
        const QScopedValueRollback<bool> filling(m_fillingGroups, true);
        FillGroups(database);
    }
    FillMembers();
    m_all->AddAll(database);
    SetArrowsEnabled(false);
}

void CGroupsDlg::FillGroups(CADODatabase& database) {
    CADORecordset groups(&database);
    if (OpenSorted(groups, CContactsTable::kSelectGroups)) {
        for (groups.MoveFirst(); !groups.IsEOF(); groups.MoveNext()) {
            int id = 0;
            std::string name;
            // A group's name is kept in the first-name column.
            groups.ReadInt(F::Name(F::kId), id);
            groups.ReadText(F::Name(F::kFirstName), name);
            auto* entry = new QListWidgetItem(Q(name));
            entry->setData(kIdRole, id);
            m_groups->addItem(entry);
        }
    }
    groups.Close();
    if (m_groups->count() > 0) {
        m_groups->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void CGroupsDlg::FillMembers() {
    if (m_groups->count() == 0) {
        m_members->Clear();
        m_remove->setEnabled(false);
        return;
    }
    const int row = SelectedGroup();
    if (row < 0) {
        return;
    }
    // The items the member choice was made from are gone.
    m_members->Clear();
    m_remove->setEnabled(false);
    m_members->AddMembers(m_host.Database(), GroupNumber(row));
}

void CGroupsDlg::OnGroupSelectionChanged() {
    if (!m_fillingGroups) {
        FillMembers();
    }
}

int CGroupsDlg::SelectedGroup() const {
    const QList<QListWidgetItem*> selected = m_groups->selectedItems();
    return selected.isEmpty() ? -1 : m_groups->row(selected.first());
}

int CGroupsDlg::GroupNumber(int row) const {
    const QListWidgetItem* entry = m_groups->item(row);
    return entry ? entry->data(kIdRole).toInt() : 0;
}

std::string CGroupsDlg::GroupName(int row) const {
    const QListWidgetItem* entry = m_groups->item(row);
    return entry ? Bytes(entry->text()) : std::string();
}

void CGroupsDlg::SelectGroup(int row) {
    const QScopedValueRollback<bool> filling(m_fillingGroups, true);
    m_groups->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void CGroupsDlg::SetArrowsEnabled(bool enabled) {
    m_add->setEnabled(enabled);
    m_remove->setEnabled(enabled);
}

// --- The arrows -----------------------------------------------------------------------------

void CGroupsDlg::AddToGroup() {
    SetArrowsEnabled(false);
    const int row = SelectedGroup();
    if (m_groups->count() == 0 || row < 0 || m_all->rowCount() == 0) {
        return;
    }
    if (m_members->rowCount() >= kMaxMembers) {
        m_host.Errors().Error205();
        return;
    }
    const CAddressSelection candidate = m_candidateSelection;
    if (m_members->HoldsAddress(candidate.address)) {
        m_host.Errors().Error206();
        return;
    }
    if (candidate.IsEmpty()) {
        return;
    }
    // The members list shows only what the database holds.
    if (!m_changes.Join(candidate, GroupNumber(row))) {
        Report("The address could not be added to the group.");
        return;
    }
    m_members->AddAddress(candidate);
    SetArrowsEnabled(false);
}

void CGroupsDlg::RemoveFromGroup() {
    SetArrowsEnabled(false);
    const int row = SelectedGroup();
    if (m_groups->count() == 0 || row < 0 || m_members->rowCount() == 0) {
        return;
    }
    const CAddressSelection member = m_memberSelection;
    if (member.IsEmpty() || member.index < 0 || member.index >= m_members->rowCount()) {
        return;
    }
    if (!m_changes.Leave(member, GroupNumber(row))) {
        Report("The address could not be taken out of the group.");
        return;
    }
    m_members->RemoveAddress(member.index);
    m_memberSelection.Clear();
    SetArrowsEnabled(false);
}

// --- The group buttons ----------------------------------------------------------------------

bool CGroupsDlg::AskGroupName(const std::string& current, std::string& name) {
    QString shown = Q(current);
    for (;;) {
        CGroupNameDlg dialog(this);
        dialog.SetName(shown);
        if (m_dialogs->Run(dialog) != QDialog::Accepted) {
            return false;
        }
        // A character Windows-1252 has no byte for cannot be stored either.
        if (!dialog.Name().isEmpty() && CQtText::FromQString(dialog.Name(), name)) {
            return true;
        }
        m_host.Errors().Error102();
        shown = dialog.Name();
    }
}

void CGroupsDlg::OnAddGroup() {
    if (m_groups->count() >= kMaxGroups) {
        m_host.Errors().Error204();
        return;
    }
    std::string name;
    if (!AskGroupName(std::string(), name)) {
        return;
    }
    int id = 0;
    if (!m_changes.AddGroup(name, id)) {
        Report("The group could not be added.");
        return;
    }
    ShowCounts();
    auto* entry = new QListWidgetItem(Q(name));
    entry->setData(kIdRole, id);
    m_groups->addItem(entry);
    SelectGroup(m_groups->count() - 1);
    FillMembers();
}

void CGroupsDlg::OnRenameGroup() {
    const int row = SelectedGroup();
    if (row < 0) {
        return;
    }
    std::string name;
    if (!AskGroupName(GroupName(row), name)) {
        return;
    }
    if (!m_changes.RenameGroup(GroupNumber(row), name)) {
        Report("The group could not be renamed.");
        return;
    }
    m_groups->item(row)->setText(Q(name));
    SelectGroup(row);
    FillMembers();
}

void CGroupsDlg::OnDeleteGroup() {
    const int row = SelectedGroup();
    if (row < 0) {
        return;
    }
    if (m_host.Errors().AskDeleteGroup(GroupName(row)) != IDYES) {
        return;
    }
    if (!m_changes.DeleteGroup(GroupNumber(row))) {
        Report("The group could not be deleted.");
        return;
    }
    ShowCounts();
    {
        const QScopedValueRollback<bool> filling(m_fillingGroups, true);
        delete m_groups->takeItem(row);
    }
    if (m_groups->count() > 0) {
        SelectGroup(row < m_groups->count() ? row : m_groups->count() - 1);
    }
    FillMembers();
}

// --- Counts, failures, closing --------------------------------------------------------------

void CGroupsDlg::ShowCounts() {
    std::string text;
    if (m_changes.CountsText(text)) {
        m_host.SetStatusText(1, text);
    }
}

void CGroupsDlg::Report(const char* what) {
    m_host.Errors().Problem(std::string(what) +
                            "\n\nThe database said: " + m_changes.LastFailure());
}

void CGroupsDlg::accept() {
    m_host.SelectTreeRoot();
    QDialog::accept();
}

void CGroupsDlg::reject() {
    m_host.SelectTreeRoot();
    QDialog::reject();
}

}  // namespace orvex
