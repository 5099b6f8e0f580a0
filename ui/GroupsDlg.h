#pragma once

#include <QDialog>
#include <QSize>
#include <QString>
#include <string>

#include "contact/ContactFields.h"
#include "ui/AddressList.h"
#include "ui/AddressSelection.h"
#include "ui/DialogRunner.h"
#include "ui/GroupChanges.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace orvex {

class CADODatabase;
class IContactsHost;

// "Setting Groups": the groups of the contacts table and the addresses in each. A group is a
// row with iGroup 1 (its number is the iCID, its name the strFName); membership lives in the
// three group lists of each personal contact, one per address. Every change goes to the
// database at once, so closing has nothing to confirm: Close, Cancel, Esc and the title bar's
// close box all hand the tree's selection back to its root item and end the dialog.
class CGroupsDlg : public QDialog {
    Q_OBJECT
  public:
    // The form's control numbers.
    enum EControl {
        kGroupList = 1054,
        kMembers = 1055,
        kAllContacts = 1056,
        kAddToGroup = 1057,
        kRemoveFromGroup = 1058,
        kAddGroup = 1059,
        kRenameGroup = 1060,
        kDeleteGroup = 1061,
        kClose = 1,
        kCancel = 2,
    };
    // The columns of the two address lists, kColFirst to kColAddress.
    using enum CAddressList::EColumn;
    static constexpr int kMaxGroups = CContactFields::kMaxGroups;
    static constexpr int kMaxMembers = CContactFields::kMaxGroupMembers;

    explicit CGroupsDlg(IContactsHost& host, QWidget* parent = nullptr);
    // What shows the group name dialog; nullptr: the user's modal one.
    void SetDialogRunner(IDialogRunner* runner);

    // Rebuilds the members list for the selected group.
    void FillMembers();
    // "<-": the chosen address of the list of all contacts joins the selected group.
    void AddToGroup();
    // "->": the chosen address of the members list leaves the selected group.
    void RemoveFromGroup();
    void OnAddGroup();
    void OnRenameGroup();
    void OnDeleteGroup();
    QWidget* Control(int id) const;
    QListWidget* GroupList() const { return m_groups; }
    QTableWidget* Members() const { return m_members; }
    QTableWidget* AllContacts() const { return m_all; }
    const CAddressSelection& MemberSelection() const { return m_memberSelection; }
    const CAddressSelection& CandidateSelection() const { return m_candidateSelection; }

    void accept() override;
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    // An address list and its label ("name:"); returns the label.
    QLabel* LabelledAddressList(CAddressList*& list, const char* objectName, const QString& name,
                                QSize minimum);
    void InitDialog();
    // The group list, in ascending order of the names.
    void FillGroups(CADODatabase& database);
    void LayoutColumns();
    void OnGroupSelectionChanged();
    // The selected group's row in the group list, -1 for none, and its number.
    int SelectedGroup() const;
    int GroupNumber(int row) const;
    std::string GroupName(int row) const;
    void SelectGroup(int row);
    void SetArrowsEnabled(bool enabled);
    // Asks until the user gives a name that can be stored, or cancels.
    bool AskGroupName(const std::string& current, std::string& name);
    void ShowCounts();
    // Tells the user which change failed and why; the lists stay as the table is.
    void Report(const char* what);

    IContactsHost& m_host;
    IDialogRunner* m_dialogs = &IDialogRunner::Modal();
    CGroupChanges m_changes;
    QListWidget* m_groups = nullptr;
    CAddressList* m_members = nullptr;
    CAddressList* m_all = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_addGroup = nullptr;
    QPushButton* m_renameGroup = nullptr;
    QPushButton* m_deleteGroup = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_cancel = nullptr;
    CAddressSelection m_memberSelection;
    CAddressSelection m_candidateSelection;
    // Set while the dialog itself fills the group list or selects in it: that selection is not
    // the user's, so the members list is not refilled for it.
    bool m_fillingGroups = false;
};

}  // namespace orvex
