#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <map>

#include "contact/ContactFields.h"
#include "ui/ContactsView.h"
#include "ui/DialogUnits.h"

class QCheckBox;
class QLabel;
class QObject;
class QWidget;

namespace orvex {

// The two pages of the contact editor, Basic and Additional Info, with their 15 fields and
// the default-address buttons: it builds them into the view's map of controls by number and
// reads, writes, limits and locks the fields' texts.
class CContactPages {
  public:
    // The fields shown before the default-address buttons (the names and the addresses).
    static constexpr size_t kFieldsBeforeDefault = 5;
    using DefaultButtons = std::array<QCheckBox*, CContactFields::kAddressKinds.size()>;

    // fieldWatcher sees every field's events (the view checks a field the focus leaves).
    CContactPages(const QFont& font, std::map<int, QWidget*>& controls, DefaultButtons& defaults,
                  QObject* fieldWatcher);

    QWidget* CreateBasicPage();
    QWidget* CreateAdditionalPage();

    // The text of a field by its control number as the user sees it; "" for another number.
    QString FieldText(int id) const;
    void SetFieldText(int id, const QString& text);
    // From now on the fields refuse text past their limits.
    void SetFieldLimits();
    void SetFieldsReadOnly(bool readOnly);

  private:
    QLabel* AddLabel(int id, const char* text, QWidget* parent);
    QWidget* AddField(const CContactsView::SField& field, QWidget* parent);
    QWidget* Control(int id) const;

    CDialogUnits m_units;
    std::map<int, QWidget*>& m_controls;
    DefaultButtons& m_default;
    QObject* m_fieldWatcher;
    bool m_limitsSet = false;
};

}  // namespace orvex
