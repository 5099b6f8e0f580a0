#include "ui/ContactEditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>
#include <string>

#include "contact/ContactFields.h"
#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "ui/ContactsHost.h"
#include "ui/ContactsView.h"
#include "ui/DataGrid.h"
#include "ui/FieldCheck.h"
#include "ui/QtText.h"

namespace orvex {

namespace {

using V = CContactsView;
using F = CContactFields;

// Each address edit with its default-address button, the button of its kind.
struct SAddress {
    int field;
    int button;
};
constexpr SAddress kAddresses[] = {
    {V::kWireless, static_cast<int>(EAddressKind::kWireless)},
    {V::kWorkEmail, static_cast<int>(EAddressKind::kWorkEmail)},
    {V::kHomeEmail, static_cast<int>(EAddressKind::kHomeEmail)},
};

const SAddress* AddressOf(int field) {
    for (const SAddress& address : kAddresses) {
        if (address.field == field) {
            return &address;
        }
    }
    return nullptr;
}

// The program's message box, as for every failure outside the numbered reports.
void ShowFailure(QWidget*, const QString& caption, const QString& text) {
    std::string captionBytes;
    std::string textBytes;
    // Both came from bytes (CQtText::ToQString), so they go back whole.
    CQtText::FromQString(caption, captionBytes);
    CQtText::FromQString(text, textBytes);
    CErrorReport::MessageBox().Report(captionBytes, textBytes);
}

}  // namespace

CContactEditor::CContactEditor(CContactsView& view, IContactsHost& host)
    : m_view(view), m_host(host), m_report(ShowFailure) {}

void CContactEditor::SetFailureReport(FailureReport report) {
    m_report = report ? std::move(report) : FailureReport(ShowFailure);
}

QPushButton* CContactEditor::Button(int id) const {
    return static_cast<QPushButton*>(m_view.Control(id));
}

std::string CContactEditor::Bytes(int id) const {
    // Only called on texts that passed their check, or to name a contact in a prompt, where a
    // stand-in for an unknown character does no harm.
    std::string bytes;
    CQtText::FromQString(m_view.FieldText(id), bytes);
    return bytes;
}

bool CContactEditor::IsFieldValid(int id) const {
    const V::SField* field = V::Field(id);
    if (!field) {
        return true;
    }
    std::string bytes;
    // A character Windows-1252 has no byte for cannot be stored, so it fails like any other
    // character outside the field's set rather than being replaced.
    if (!CQtText::FromQString(m_view.FieldText(id), bytes)) {
        return false;
    }
    return CFieldCheck::IsValid(CFieldCheck::CheckOf(field->column), bytes);
}

int CContactEditor::DefaultAddress() const {
    for (const F::SAddressKind& kind : F::kAddressKinds) {
        if (m_view.DefaultButton(kind.Number())->isChecked()) {
            return kind.Number();
        }
    }
    return 0;
}

void CContactEditor::FocusField(int id) {
    const V::SField* field = V::Field(id);
    auto* tabs = static_cast<QTabWidget*>(m_view.Control(V::kTabs));
    if (field && tabs->currentIndex() != field->page) {
        tabs->setCurrentIndex(field->page);
    }
    m_view.Control(id)->setFocus(Qt::OtherFocusReason);
}

bool CContactEditor::Fail(const std::string& errorBlock) {
    m_failure = CADODatabase::ReasonOf(errorBlock);
    return false;
}

// --- Buttons --------------------------------------------------------------------------------

void CContactEditor::OnEditClicked() {
    QPushButton* edit = Button(V::kEdit);
    if (edit->isChecked()) {
        // Only the contact under the grid's cursor is edited; the find field may show none.
        if (m_host.PersonalRecordset().RowCount() > 0 && m_view.Grid()->Row() >= 0) {
            m_view.SetRememberedRow(std::max(0, m_view.Grid()->Row()));
            SetEditing(true);
        } else {
            // Nothing to edit.
            const QSignalBlocker quiet(edit);
            edit->setChecked(false);
        }
        return;
    }
    m_view.ShowCurrentContact();
    SetEditing(false);
}

void CContactEditor::OnNewClicked() {
    SetMode(EMode::kAdding);
    for (const V::SField& field : V::Fields()) {
        m_view.SetFieldText(field.id, QString());
    }
    for (const F::SAddressKind& kind : F::kAddressKinds) {
        m_view.SetDefaultChecked(kind.Number(), false);
    }
}

void CContactEditor::OnDefaultClicked(int id) {
    // The clicked button always ends up checked, even when the click unchecked it.
    for (const F::SAddressKind& kind : F::kAddressKinds) {
        m_view.SetDefaultChecked(kind.Number(), V::kDefault1 + kind.Number() - 1 == id);
    }
}

void CContactEditor::OnCancelClicked() {
    if (m_mode == EMode::kEditing) {
        Button(V::kEdit)->setChecked(false);  // which ends the editing through OnEditClicked
        return;
    }
    m_view.ShowCurrentContact();
    SetEditing(false);
}

void CContactEditor::OnSaveClicked() {
    if (m_view.FieldText(V::kFirstName).isEmpty()) {
        m_host.Errors().Error101();
        FocusField(V::kFirstName);
        return;
    }
    FixDefaultAddress();
    if (!ValidateAllFields()) {
        m_host.Errors().Error102();
        return;
    }
    const bool existing = m_mode == EMode::kEditing;
    const int row = std::max(0, m_view.Grid()->Row());
    int contactId = 0;
    if (existing) {
        m_host.PersonalRecordset().ReadInt(F::Name(F::kId), contactId);
    }
    CADODatabase& database = m_host.Database();
    m_failure.clear();
    // One transaction for the row and the renumbering: fast over a large table, and a failure
    // half-way leaves the table as it was.
    const bool began = database.BeginTrans() || Fail(database.GetLastErrorString());
    bool ok = began;
    int id = 0;
    if (ok) {
        id = SaveContact(!existing);
        ok = id >= 0;
    }
    ok = ok && RenumberEntries(existing ? -1 : id);
    // In the grid's own order the cursor stays on its row. Narrowed or sorted otherwise, that
    // row means nothing to the user: the saved contact stays under the cursor instead.
    CDataGrid* grid = m_view.Grid();
    const bool rearranged = !grid->FindText().isEmpty() || grid->SortColumn() >= 0;
    if (Finish(ok, began, "The contact could not be saved.", row) && rearranged) {
        m_view.SelectContact(existing ? contactId : id);
    }
    if (existing) {
        Button(V::kEdit)->setChecked(false);  // which ends the editing through OnEditClicked
    } else {
        SetEditing(false);
    }
}

void CContactEditor::OnDelClicked() {
    CADORecordset& personal = m_host.PersonalRecordset();
    if (!personal.IsOpen() || personal.RowCount() == 0 || m_view.Grid()->Row() < 0) {
        return;
    }
    if (m_host.Errors().AskDeleteContact(Bytes(V::kFirstName), Bytes(V::kLastName)) != IDYES) {
        return;
    }
    const int row = std::max(0, m_view.Grid()->Row());
    m_view.SetRememberedRow(row > 0 ? row - 1 : 0);
    CADODatabase& database = m_host.Database();
    m_failure.clear();
    const bool began = database.BeginTrans() || Fail(database.GetLastErrorString());
    bool ok = began && (personal.Delete() || Fail(personal.GetLastErrorString()));
    ok = ok && RenumberEntries(-1);
    Finish(ok, began, "The contact could not be deleted.", row);
}

bool CContactEditor::Finish(bool ok, bool began, const char* what, int row) {
    if (m_host.Database().EndTrans(ok, began, m_failure)) {
        m_view.ReloadContacts();
        return true;
    }
    // Show the table as it is now, not as the edits or the recordset in memory had it.
    m_view.SetRememberedRow(row);
    m_view.ReloadContacts();
    if (!m_host.PersonalRecordset().IsOpen()) {
        m_view.ShowCurrentContact();
    }
    const QString text = QString::fromLatin1(what) +
                         QString::fromLatin1("\n\nThe database said: ") +
                         CQtText::ToQString(m_failure);
    m_report(&m_view, QString::fromLatin1(kFailureCaption), text);
    return false;
}

// --- Field checks ---------------------------------------------------------------------------

void CContactEditor::OnFieldFocusLost(int id) {
    if (m_reporting) {
        return;
    }
    if (const SAddress* address = AddressOf(id); address && m_view.FieldText(id).isEmpty()) {
        m_view.SetDefaultChecked(address->button, false);
    }
    // Save checks every field itself and reports only the first failure; Cancel throws the
    // text away. Checking on the way to either would only add a report.
    QWidget* next = QApplication::focusWidget();
    if (next == m_view.Control(V::kSave) || next == m_view.Control(V::kCancel)) {
        return;
    }
    if (IsFieldValid(id)) {
        return;
    }
    m_reporting = true;
    m_host.Errors().Error102();
    // The text stays as it is; the user takes the offending characters out.
    QWidget* edit = m_view.Control(id);
    if (edit->isVisible()) {
        edit->setFocus(Qt::OtherFocusReason);
    }
    m_reporting = false;
}

bool CContactEditor::ValidateAllFields() {
    for (const V::SField& field : V::Fields()) {
        if (!IsFieldValid(field.id)) {
            FocusField(field.id);
            return false;
        }
    }
    return true;
}

void CContactEditor::FixDefaultAddress() {
    for (const SAddress& address : kAddresses) {
        if (m_view.FieldText(address.field).isEmpty()) {
            m_view.SetDefaultChecked(address.button, false);
        }
    }
    if (DefaultAddress() != 0) {
        return;
    }
    for (const SAddress& address : kAddresses) {
        if (!m_view.FieldText(address.field).isEmpty()) {
            m_view.SetDefaultChecked(address.button, true);
            return;
        }
    }
}

// --- Writes ---------------------------------------------------------------------------------

int CContactEditor::SaveContact(bool isNew) {
    CADODatabase& database = m_host.Database();
    CADORecordset temp(&database);
    CADORecordset* target = &m_host.PersonalRecordset();
    int id = 0;
    if (isNew) {
        id = CContactsTable::NextContactId(database);
        if (id <= 0) {
            // A number made up from a maximum that could not be read could repeat one in use.
            m_failure = "the highest contact number in the table cannot be read";
            return -1;
        }
        target = &temp;
        if (!temp.Open(CContactsTable::kTable, CADORecordset::openTable) || !temp.AddNew() ||
            !temp.WriteInt("iCID", id) || !temp.WriteInt("iEIdx", id) ||
            !temp.WriteInt("iGroup", 0)) {
            Fail(temp.GetLastErrorString());
            return -1;
        }
    } else {
        target->Edit();
    }
    const auto& fields = V::Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i == 5 && !target->WriteInt("byDefault", DefaultAddress())) {
            break;
        }
        if (!target->WriteText(fields[i].column, Bytes(fields[i].id))) {
            break;
        }
        if (i + 1 == fields.size() && target->Update()) {
            return isNew ? id : 0;
        }
    }
    Fail(target->GetLastErrorString());
    target->CancelUpdate();
    return -1;
}

bool CContactEditor::RenumberEntries(int contactId) {
    int personalRow = -1;
    std::string error;
    if (!CContactsTable::RenumberEntries(m_host.Database(), contactId, personalRow, error)) {
        return Fail(error);
    }
    if (personalRow >= 0) {
        m_view.SetRememberedRow(personalRow);
    }
    return true;
}

// --- States ---------------------------------------------------------------------------------

void CContactEditor::SetMode(EMode mode) {
    m_mode = mode;
    const bool editing = mode != EMode::kBrowsing;
    QWidget* focus = QApplication::focusWidget();
    QWidget* grid = m_view.Grid();
    QWidget* tree = m_host.NavigationTree();
    QPushButton* viewing[] = {Button(V::kEdit), Button(V::kNew), Button(V::kDel)};
    QPushButton* changing[] = {Button(V::kSave), Button(V::kCancel)};
    const auto holdsFocus = [focus](const auto& buttons) {
        return focus &&
               std::find(std::begin(buttons), std::end(buttons), focus) != std::end(buttons);
    };
    const auto enableChanging = [&changing](bool enabled) {
        for (QPushButton* button : changing) {
            button->setEnabled(enabled);
        }
    };
    // Moving about the contacts: the viewing buttons, the grid and the tree. While they are
    // off the window is busy.
    const auto enableBrowsing = [&](bool enabled) {
        for (QPushButton* button : viewing) {
            button->setEnabled(enabled);
        }
        grid->setEnabled(enabled);
        if (tree) {
            tree->setEnabled(enabled);
        }
        m_host.SetBusy(!enabled);
    };
    m_view.SetFieldsReadOnly(!editing);
    // What becomes enabled goes first, so that the focus can move there before the control
    // holding it is disabled and Qt hands it to whatever comes next.
    if (editing) {
        enableChanging(true);
        if (focus && (grid->isAncestorOf(focus) || holdsFocus(viewing))) {
            FocusField(m_view.TabPage() == V::kPageAdditional ? V::kCompany : V::kFirstName);
        }
        enableBrowsing(false);
    } else {
        enableBrowsing(true);
        if (holdsFocus(changing)) {
            Button(V::kEdit)->setFocus(Qt::OtherFocusReason);
        }
        enableChanging(false);
    }
}

}  // namespace orvex
