#include "app/AboutDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace orvex {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Orvex Manager");
    auto* icon = new QLabel(this);
    const QIcon windowIcon = QApplication::windowIcon().isNull()
                                 ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                 : QApplication::windowIcon();
    icon->setPixmap(windowIcon.pixmap(32, 32));
    auto* name = new QLabel("Orvex Manager v.1.0", this);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    ok->setAccessibleName("OK");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addSpacing(12);
    layout->addWidget(name, 1, Qt::AlignTop);
    layout->addWidget(ok, 0, Qt::AlignTop);
}

}  // namespace orvex
