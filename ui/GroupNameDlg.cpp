#include "ui/GroupNameDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogUnits.h"

namespace orvex {

CGroupNameDlg::CGroupNameDlg(QWidget* parent) : QDialog(parent), m_edit(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Group Name"));
    auto* label = new QLabel(QStringLiteral("Group Name:"), this);
    label->setBuddy(m_edit);
    m_edit->setObjectName(QStringLiteral("groupName"));
    m_edit->setAccessibleName(QStringLiteral("Group Name"));
    m_edit->setMaxLength(kMaxLength);
    const CDialogUnits units(font());
    m_edit->setMinimumWidth(units.X(148));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* button : {ok, cancel}) {
        button->setAccessibleName(button->text());
        button->setMinimumSize(units.X(50), units.Y(14));
    }
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CGroupNameDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.X(5), units.Y(5), units.X(5), units.Y(4));
    layout->setSpacing(units.Y(5));
    auto* field = new QVBoxLayout;
    field->setSpacing(units.Y(2));
    field->addWidget(label);
    field->addWidget(m_edit);
    layout->addLayout(field);
    // Cancel stands left of OK, both at the right edge.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(units.X(6));
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    // The keys go edit, OK, Cancel, as the controls were made.
    setTabOrder(m_edit, ok);
    setTabOrder(ok, cancel);
}

void CGroupNameDlg::SetName(const QString& name) {
    m_name = name.left(kMaxLength);
    m_edit->setText(m_name);
}

void CGroupNameDlg::accept() {
    m_name = m_edit->text().left(kMaxLength);
    QDialog::accept();
}

void CGroupNameDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->selectAll();
}

}  // namespace orvex
