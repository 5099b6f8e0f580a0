#pragma once

#include <QDialog>
#include <QString>

#include "contact/ContactFields.h"

class QLineEdit;

namespace orvex {

// "Group Name": asks for the name of a new group or the new name of one. The caller sets the
// name before showing it and reads it back after OK; the edit takes at most 15 characters.
// Whether the name may be stored (not empty, Windows-1252 only) is the caller's check.
class CGroupNameDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMaxLength = CContactFields::kGroupNameLength;

    explicit CGroupNameDlg(QWidget* parent = nullptr);

    void SetName(const QString& name);
    const QString& Name() const { return m_name; }
    QLineEdit* NameEdit() const { return m_edit; }

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString m_name;
    QLineEdit* m_edit;
};

}  // namespace orvex
