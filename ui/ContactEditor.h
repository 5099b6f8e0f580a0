#pragma once

#include <QString>
#include <functional>
#include <string>

class QCheckBox;
class QPushButton;
class QWidget;

namespace orvex {

class CContactsView;
class IContactsHost;

// The editing half of the contacts view: the buttons Edit, New, Del, Save and Cancel, the
// default-address buttons, the character checks of the fields, and the writes to t_Contacts
// with the renumbering of the entry indexes that follows each of them. Its mode (browsing,
// editing the contact under the cursor, adding a new one) is its own; the controls show it:
// Save and Cancel are enabled only while a contact is edited or added, and Edit stays down
// while an existing one is.
class CContactEditor {
  public:
    // Shows a failure of the database layer to the user: parent window, caption, text.
    using FailureReport =
        std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
    static constexpr const char* kFailureCaption = "Orvex Manager";

    CContactEditor(CContactsView& view, IContactsHost& host);
    CContactEditor(const CContactEditor&) = delete;
    CContactEditor& operator=(const CContactEditor&) = delete;

    // Replaces the program's message box (CErrorReport's) for a failed write (tests record
    // instead).
    void SetFailureReport(FailureReport report);

    void OnEditClicked();
    void OnNewClicked();
    void OnDelClicked();
    void OnDefaultClicked(int id);
    void OnSaveClicked();
    void OnCancelClicked();
    // The check of one edit when it loses the focus, in any state of the view.
    void OnFieldFocusLost(int id);

    enum class EMode { kBrowsing, kEditing, kAdding };
    EMode Mode() const { return m_mode; }
    // Editing the contact under the cursor, or browsing again.
    void SetEditing(bool editing) { SetMode(editing ? EMode::kEditing : EMode::kBrowsing); }
    bool IsEditing() const { return m_mode != EMode::kBrowsing; }
    // Clears the default mark of an empty address and, with none left, marks the first
    // address that is filled in.
    void FixDefaultAddress();
    // All fields in their order; at the first failure the focus goes to that field.
    bool ValidateAllFields();
    // Writes the contact in the edits: a new row (returning its identifier) or the personal
    // recordset's current row (returning 0). -1 when the database refuses it.
    int SaveContact(bool isNew);
    // Sets iEIdx of every row to its place in the whole table by name; the row of contactId
    // (-1 for none) gives the remembered grid row. False when the database refuses it.
    bool RenumberEntries(int contactId);

    // Whether the field's text can be stored as Windows-1252 bytes and keeps to its set.
    bool IsFieldValid(int id) const;
    // The number stored as byDefault: the first checked default button, 0 for none.
    int DefaultAddress() const;
    // The reason of the last database failure, as the layer gave it.
    const std::string& LastFailure() const { return m_failure; }

  private:
    // Switches the controls to the mode: the fields writable or not, the browsing buttons, the
    // grid and the tree against Save and Cancel, and the window busy while a contact changes.
    void SetMode(EMode mode);
    QPushButton* Button(int id) const;
    std::string Bytes(int id) const;
    // Puts the caret into a field, first showing the tab page it is on.
    void FocusField(int id);
    bool Fail(const std::string& errorBlock);
    // Ends the transaction of a change: commits it after steps that all succeeded and reloads
    // the contacts; otherwise undoes it, shows what the table holds with the grid on row and
    // tells the user what failed. False after a failure.
    bool Finish(bool ok, bool began, const char* what, int row);

    CContactsView& m_view;
    IContactsHost& m_host;
    EMode m_mode = EMode::kBrowsing;
    FailureReport m_report;
    std::string m_failure;
    // Set while a failed check is reported and the focus goes back, so that the focus
    // leaving another edit on the way does not report as well.
    bool m_reporting = false;
};

}  // namespace orvex
