#include "ui/ContactPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/MultiLineEdit.h"

namespace orvex {

namespace {

using V = CContactsView;
using F = CContactFields;

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// The accessible name of an edit is its label without the colon.
QString NameOf(const char* label) {
    QString name = Q(label);
    if (name.endsWith(QLatin1Char(':'))) {
        name.chop(1);
    }
    return name;
}

}  // namespace

CContactPages::CContactPages(const QFont& font, std::map<int, QWidget*>& controls,
                             DefaultButtons& defaults, QObject* fieldWatcher)
    : m_units(font), m_controls(controls), m_default(defaults), m_fieldWatcher(fieldWatcher) {}

QWidget* CContactPages::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QLabel* CContactPages::AddLabel(int id, const char* text, QWidget* parent) {
    auto* label = new QLabel(Q(text), parent);
    label->setObjectName(QString("label%1").arg(id));
    m_controls[id] = label;
    return label;
}

QWidget* CContactPages::AddField(const V::SField& field, QWidget* parent) {
    QWidget* edit = nullptr;
    if (field.multiLine) {
        auto* multi = new CMultiLineEdit(parent);
        multi->SetVisibleLines(2);
        edit = multi;
    } else {
        auto* line = new QLineEdit(parent);
        edit = line;
    }
    edit->setObjectName(Q(field.column));
    edit->setAccessibleName(NameOf(field.label));
    edit->installEventFilter(m_fieldWatcher);
    m_controls[field.id] = edit;
    auto* label = AddLabel(field.labelId, field.label, parent);
    label->setBuddy(edit);
    return edit;
}

QWidget* CContactPages::CreateBasicPage() {
    auto* page = new QWidget;
    page->setObjectName("basicPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(m_units.X(6), m_units.Y(6), m_units.X(6), m_units.Y(4));
    layout->setSpacing(m_units.Y(4));

    auto* names = new QGridLayout;
    names->setHorizontalSpacing(m_units.X(6));
    names->setVerticalSpacing(m_units.Y(2));
    for (int i = 0; i < 2; ++i) {
        const V::SField& field = V::Fields()[static_cast<size_t>(i)];
        QWidget* edit = AddField(field, page);
        names->addWidget(m_controls[field.labelId], 0, i);
        names->addWidget(edit, 1, i);
    }
    layout->addLayout(names);

    auto* addresses = new QGroupBox(Q("Contact Address"), page);
    addresses->setObjectName("contactAddressGroup");
    m_controls[V::kContactAddressGroup] = addresses;
    auto* addressLayout = new QVBoxLayout(addresses);
    addressLayout->setSpacing(m_units.Y(2));
    for (size_t i = 2; i < kFieldsBeforeDefault; ++i) {
        const V::SField& field = V::Fields()[i];
        QWidget* edit = AddField(field, addresses);
        if (i > 2) {
            addressLayout->addSpacing(m_units.Y(3));
        }
        addressLayout->addWidget(m_controls[field.labelId]);
        addressLayout->addWidget(edit);
    }
    auto* defaults = new QHBoxLayout;
    defaults->setSpacing(m_units.X(1));
    defaults->addWidget(
        AddLabel(V::kDefaultLabel, F::Field(F::kDefaultAddress).editorLabel, addresses));
    defaults->addSpacing(m_units.X(5));
    // A button for each address kind, captioned with the kind's number.
    for (size_t i = 0; i < F::kAddressKinds.size(); ++i) {
        const int number = F::kAddressKinds[i].Number();
        auto* box = new QCheckBox(QString::number(number), addresses);
        box->setObjectName(QString("default%1").arg(number));
        m_default[i] = box;
        m_controls[V::kDefault1 + static_cast<int>(i)] = box;
        defaults->addWidget(box);
    }
    defaults->addStretch(1);
    addressLayout->addSpacing(m_units.Y(3));
    addressLayout->addLayout(defaults);
    layout->addWidget(addresses);

    auto* phones = new QGroupBox(Q("Phone Number"), page);
    phones->setObjectName("phoneGroup");
    m_controls[V::kPhoneGroup] = phones;
    auto* phoneLayout = new QGridLayout(phones);
    phoneLayout->setHorizontalSpacing(m_units.X(6));
    phoneLayout->setVerticalSpacing(m_units.Y(6));
    phoneLayout->setColumnStretch(1, 1);
    for (size_t i = kFieldsBeforeDefault; i < 9; ++i) {
        const V::SField& field = V::Fields()[i];
        QWidget* edit = AddField(field, phones);
        const int row = static_cast<int>(i - kFieldsBeforeDefault);
        phoneLayout->addWidget(m_controls[field.labelId], row, 0);
        phoneLayout->addWidget(edit, row, 1);
    }
    layout->addWidget(phones);
    layout->addStretch(1);
    return page;
}

QWidget* CContactPages::CreateAdditionalPage() {
    auto* page = new QWidget;
    page->setObjectName("additionalPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(m_units.X(6), m_units.Y(6), m_units.X(6), m_units.Y(4));
    layout->setSpacing(m_units.Y(2));

    auto* address = new QGroupBox(Q("Address"), page);
    address->setObjectName("addressGroup");
    m_controls[V::kAddressGroup] = address;
    auto* addressLayout = new QVBoxLayout(address);
    addressLayout->setSpacing(m_units.Y(2));
    for (size_t i = 9; i < 14; ++i) {
        const V::SField& field = V::Fields()[i];
        QWidget* edit = AddField(field, address);
        if (i > 9) {
            addressLayout->addSpacing(m_units.Y(3));
        }
        addressLayout->addWidget(m_controls[field.labelId]);
        if (field.id == V::kZip) {
            // The zip field is half as wide as the others.
            auto* row = new QHBoxLayout;
            row->addWidget(edit, 1);
            row->addStretch(1);
            addressLayout->addLayout(row);
        } else {
            addressLayout->addWidget(edit);
        }
    }
    layout->addWidget(address);

    const V::SField& note = V::Fields()[14];
    QWidget* noteEdit = AddField(note, page);
    layout->addSpacing(m_units.Y(5));
    layout->addWidget(m_controls[note.labelId]);
    layout->addWidget(noteEdit);
    layout->addStretch(1);
    return page;
}

QString CContactPages::FieldText(int id) const {
    const V::SField* field = V::Field(id);
    if (!field) {
        return QString();
    }
    if (field->multiLine) {
        return static_cast<CMultiLineEdit*>(Control(id))->Text();
    }
    return static_cast<QLineEdit*>(Control(id))->text();
}

void CContactPages::SetFieldText(int id, const QString& text) {
    const V::SField* field = V::Field(id);
    if (!field) {
        return;
    }
    if (field->multiLine) {
        static_cast<CMultiLineEdit*>(Control(id))->SetText(text);
        return;
    }
    auto* edit = static_cast<QLineEdit*>(Control(id));
    // A stored text longer than the limit is shown whole, as the user cannot type it longer.
    const int limit = m_limitsSet ? field->limit : 32767;
    edit->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    edit->setText(text);
    edit->setCursorPosition(0);
}

void CContactPages::SetFieldLimits() {
    for (const V::SField& field : V::Fields()) {
        if (field.multiLine) {
            static_cast<CMultiLineEdit*>(Control(field.id))->SetLimit(field.limit);
        } else {
            static_cast<QLineEdit*>(Control(field.id))->setMaxLength(field.limit);
        }
    }
    m_limitsSet = true;
}

void CContactPages::SetFieldsReadOnly(bool readOnly) {
    for (const V::SField& field : V::Fields()) {
        if (field.multiLine) {
            static_cast<CMultiLineEdit*>(Control(field.id))->setReadOnly(readOnly);
        } else {
            static_cast<QLineEdit*>(Control(field.id))->setReadOnly(readOnly);
        }
    }
    for (QCheckBox* box : m_default) {
        box->setEnabled(!readOnly);
    }
}

}  // namespace orvex
