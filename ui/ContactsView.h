#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "contact/ContactFields.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace orvex {

class CContactEditor;
class CContactPages;
class CContactsColumns;
class CDataGrid;
class CMultiLineEdit;
class IContactsHost;

// The personal contacts: a grid of them on the left, taking the extra width, and at the right
// edge an editor panel of fixed width with the contact under the grid's cursor on two tab
// pages. The view works on the host's database connection and personal recordset and re-reads
// them whenever the table changes; it writes the counts into the host's status bar.
class CContactsView : public QWidget {
    Q_OBJECT
  public:
    // The form's control numbers, by which the editor's code and the tests name the controls.
    enum EControl {
        kGrid = 1000,
        kNew = 1010,
        kDel = 1011,
        kEdit = 1012,
        kFirstName = 1013,
        kLastName = 1014,
        kFirstNameLabel = 1015,
        kLastNameLabel = 1016,
        kWirelessLabel = 1017,
        kWireless = 1018,
        kWorkEmailLabel = 1019,
        kWorkEmail = 1020,
        kHomeEmailLabel = 1021,
        kHomeEmail = 1022,
        kDefault1 = 1023,
        kDefault2 = 1024,
        kDefault3 = 1025,
        kDefaultLabel = 1026,
        kHomePhone = 1027,
        kWorkPhone = 1028,
        kMobilePhone = 1029,
        kHomePhoneLabel = 1030,
        kWorkPhoneLabel = 1031,
        kMobilePhoneLabel = 1032,
        kFax = 1034,
        kFaxLabel = 1035,
        kPhoneGroup = 1036,
        kContactAddressGroup = 1037,
        kAddressGroup = 1038,
        kCompanyLabel = 1039,
        kCompany = 1040,
        kStreetLabel = 1041,
        kCityLabel = 1042,
        kStateLabel = 1043,
        kStreet = 1044,
        kCity = 1045,
        kState = 1046,
        kZipLabel = 1047,
        kZip = 1048,
        kNote = 1049,
        kNoteLabel = 1050,
        kTabs = 1051,
        kSave = 1052,
        kCancel = 1053,
        kStatusLine = 1069,
    };
    enum ETabPage { kPageBasic = 0, kPageAdditional = 1 };

    // One of the 15 edit fields: its control, the t_Contacts column it shows and saves, its
    // character limit, its label's control and text (the column's), and its tab page.
    struct SField {
        int id;
        const char* column;
        int limit;
        int labelId;
        const char* label;
        int page;
        bool multiLine;
    };
    // In the order the contact is shown and its fields are checked.
    static const std::array<SField, 15>& Fields();
    static const SField* Field(int id);

    static constexpr const char* kGridCaption = "Personal Contacts";
    // Pixels under the grid that the status line takes.
    static constexpr int kStatusLineHeight = 18;

    CContactsView(IContactsHost& host, QWidget* parent = nullptr);
    ~CContactsView() override;
    CContactsView(const CContactsView&) = delete;
    CContactsView& operator=(const CContactsView&) = delete;

    // The first-time set-up once the host's database and personal recordset are in place.
    void InitialUpdate();
    // Re-reads the personal contacts, rebinds the grid, refreshes the counts, selects the
    // remembered row and shows the current contact.
    void ReloadContacts();
    // Fills the status line and the editor from the personal recordset's current row.
    void ShowCurrentContact();
    // Read-only edits and disabled default buttons, or the reverse.
    void SetFieldsReadOnly(bool readOnly);
    // Shows the controls of the tab page in TabPage() and hides the other page's.
    void ShowTabPage();
    // Resize handling: the editor panel at the right edge, the grid and the status line over
    // the rest, the grid's columns in their ratios.
    void LayoutControls();
    void LayoutGridColumns();
    // The grid's columns as the user arranged them (widths, hidden and shown, order of the
    // rows), to be given back at the next start; an unreadable state changes nothing.
    QByteArray ColumnState() const;
    void RestoreColumnState(const QByteArray& state);

    // Makes the contact with this identifier current in the grid, clearing the find field if
    // it hides the contact; false when the grid has no such contact.
    bool SelectContact(int contactId);
    CContactsColumns& Columns() const { return *m_columns; }

    int TabPage() const { return m_tabPage; }
    // The grid row the next reload selects.
    int RememberedRow() const { return m_rememberedRow; }
    void SetRememberedRow(int row) { m_rememberedRow = static_cast<int16_t>(row); }

    CDataGrid* Grid() const { return m_grid; }
    // A control by its number; null for a number the form does not have.
    QWidget* Control(int id) const;
    // The text of one of the 15 edit fields as the user sees it.
    QString FieldText(int id) const;
    void SetFieldText(int id, const QString& text);
    // The default-address button of an address kind by its number; null for any other number.
    QCheckBox* DefaultButton(int number) const;
    // Checks or clears a default-address button as the program's own change: the button's
    // toggled signal, which stands for the user's click or Toggle action, stays quiet.
    void SetDefaultChecked(int number, bool checked) const;
    QString StatusLineText() const;

    // Editing (carried out by the editor): the viewing or an editing state of the controls,
    // and the steps of Save and Del.
    void SetEditing(bool editing);
    bool ValidateAllFields();
    void FixDefaultAddress();
    // The new contact's identifier, 0 for an existing one, -1 when the database refused it.
    int SaveContact(bool isNew);
    bool RenumberEntries(int contactId);
    CContactEditor& Editor() const { return *m_editor; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void SetTabOrder();
    void BindGrid();
    void ShowCounts();
    void ShowDefaultAddress(int byDefault);
    // Lays the parent frame out and shrinks it, if larger, to just fit the form; then places
    // the view's own controls.
    void FitParentFrame();
    void FitInto(QWidget* frame);
    void OnTabSelChange(int index);
    void OnGridEvent();

    IContactsHost& m_host;
    int16_t m_tabPage = kPageBasic;
    int16_t m_rememberedRow = 0;

    std::map<int, QWidget*> m_controls;
    CDataGrid* m_grid = nullptr;
    CContactsColumns* m_columns = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_panel = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_del = nullptr;
    QTabWidget* m_tabs = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
    // The default-address buttons, one for each address kind in order.
    std::array<QCheckBox*, CContactFields::kAddressKinds.size()> m_default{};
    std::unique_ptr<CContactPages> m_pages;
    std::unique_ptr<CContactEditor> m_editor;
};

}  // namespace orvex
