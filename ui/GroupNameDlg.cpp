#include "ui/GroupNameDlg.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

// Dialog units of the dialog's font: a quarter of the average letter width across, an eighth
// of the line height down.
int DluX(const QWidget* w, int units) {
    const QFontMetrics metrics(w->font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (units * ((letters / 26 + 1) / 2) + 2) / 4;
}

int DluY(const QWidget* w, int units) {
    return (units * QFontMetrics(w->font()).height() + 4) / 8;
}

}  // namespace

CGroupNameDlg::CGroupNameDlg(QWidget* parent) : QDialog(parent), m_edit(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Group Name"));
    auto* label = new QLabel(QStringLiteral("Group Name:"), this);
    label->setBuddy(m_edit);
    m_edit->setObjectName(QStringLiteral("groupName"));
    m_edit->setAccessibleName(QStringLiteral("Group Name"));
    m_edit->setMaxLength(kMaxLength);
    m_edit->setMinimumWidth(DluX(this, 148));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* button : {ok, cancel}) {
        button->setAccessibleName(button->text());
        button->setMinimumSize(DluX(this, 50), DluY(this, 14));
    }
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CGroupNameDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DluX(this, 5), DluY(this, 5), DluX(this, 5), DluY(this, 4));
    layout->setSpacing(DluY(this, 5));
    auto* field = new QVBoxLayout;
    field->setSpacing(DluY(this, 2));
    field->addWidget(label);
    field->addWidget(m_edit);
    layout->addLayout(field);
    // Cancel stands left of OK, both at the right edge.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(DluX(this, 6));
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
