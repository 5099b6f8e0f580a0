#include "ui/CommProgressDlg.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "link/DeviceLink.h"
#include "link/LinkCodes.h"
#include "link/MessageTarget.h"
#include "ui/TextProgressCtrl.h"

namespace orvex {

namespace {

constexpr CTextProgressCtrl::ColorRef kWhite = CTextProgressCtrl::Rgb(255, 255, 255);
constexpr CTextProgressCtrl::ColorRef kDownloadBar = CTextProgressCtrl::Rgb(255, 0, 0);
constexpr CTextProgressCtrl::ColorRef kUploadBar = CTextProgressCtrl::Rgb(0, 0, 255);

}  // namespace

CCommProgressDlg::CCommProgressDlg(CDeviceLink& link, IMessageTarget& mainWindow, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_link(link), m_mainWindow(mainWindow) {
    setModal(true);
    // No caption is drawn; the title is what task bars and window switchers list.
    setWindowTitle(QStringLiteral("Now communicating - Orvex Manager"));
    // This is what assistive technology announces for it.
    setAccessibleName(QStringLiteral("Now communicating..."));

    // Without a caption the window draws its own border.
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    frame->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    m_label = new QLabel(QStringLiteral("Now communicating..."), frame);
    // A thin sunken edge keeps the white empty part apart from the window around it.
    auto* well = new QFrame(frame);
    well->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    well->setLineWidth(1);
    auto* wellLayout = new QVBoxLayout(well);
    wellLayout->setContentsMargins(0, 0, 0, 0);
    m_bar = new CTextProgressCtrl(well);
    wellLayout->addWidget(m_bar);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_stop = new QPushButton(QStringLiteral("Stop"), frame);
    m_stop->setDefault(true);
    connect(m_stop, &QPushButton::clicked, this, &CCommProgressDlg::OnStop);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(14, 12, 14, 12);
    column->setSpacing(8);
    column->addWidget(m_label);
    column->addWidget(well);
    column->addSpacing(4);
    column->addLayout(buttons);
    setFocusProxy(m_stop);
}

void CCommProgressDlg::Show() {
    if (isVisible()) {
        return;
    }
    Initialise();
    adjustSize();
    CentreOnOwner();
    m_stop->setFocus();
    exec();
}

void CCommProgressDlg::Step() {
    // Gives the receive thread a chance to run between records.
    QThread::yieldCurrentThread();
    const QString text = CounterText();
    if (!text.isEmpty()) {
        m_bar->SetWindowText(text);
    }
    m_bar->SetPos(m_counter);
    ++m_counter;
    QThread::yieldCurrentThread();
}

void CCommProgressDlg::Final() {
    QString text;
    if (m_link.Transfer().Is(CTransfer::EPhase::kDownload)) {
        text = QStringLiteral("Download completed.");
    } else if (m_link.Transfer().Uploading()) {
        text = QStringLiteral("Upload completed.");
    }
    m_bar->SetPos(m_total);
    if (!text.isEmpty()) {
        m_bar->SetWindowText(text);
    }
    m_counter = 0;
    m_total = 0;
}

void CCommProgressDlg::Close() {
    if (isVisible()) {
        accept();
    }
}

bool CCommProgressDlg::IsShown() const {
    return isVisible();
}

void CCommProgressDlg::reject() {
    OnStop();
}

void CCommProgressDlg::Initialise() {
    m_bar->SetShowText(true);
    if (m_link.Transfer().Is(CTransfer::EPhase::kDownload)) {
        m_bar->SetBarColor(kDownloadBar);
        m_bar->SetBkColor(kWhite);
    } else if (m_link.Transfer().Uploading()) {
        m_bar->SetBarColor(kUploadBar);
        m_bar->SetBkColor(kWhite);
    } else {
        m_bar->SetBarColor(CTextProgressCtrl::kDefaultColor);
        m_bar->SetBkColor(CTextProgressCtrl::kDefaultColor);
    }
    m_counter = 0;
    m_total = m_link.Transfer().Expected();
    // The full-width range, so that no count is cut to 16 bits.
    m_bar->SetRange32(0, m_total);
    m_bar->SetPos(0);
    m_bar->SetWindowText(CounterText());
    // The first step then shows 1.
    m_bar->SetPos(m_counter);
    ++m_counter;
}

void CCommProgressDlg::CentreOnOwner() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QScreen* screen = owner ? owner->screen() : this->screen();
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect area = owner && owner->isVisible() ? owner->frameGeometry() : available;
    QRect placed = frameGeometry();
    placed.moveCenter(area.center());
    // An owner partly off the screen must not take the window with it.
    if (available.isValid()) {
        placed.moveLeft(std::max(available.left(),
                                 std::min(placed.left(), available.right() - placed.width())));
        placed.moveTop(std::max(available.top(),
                                std::min(placed.top(), available.bottom() - placed.height())));
    }
    move(placed.topLeft());
}

void CCommProgressDlg::OnStop() {
    m_mainWindow.SendMessage(kMsgFailure, 0, kFailureStopped);
    // The failure handler closes the window of a transfer it stops. With no transfer left
    // that could ever close it, the window closes itself rather than stay modal for good.
    if (isVisible() && !m_link.Transfer().HoldsLine()) {
        Close();
    }
}

QString CCommProgressDlg::CounterText() const {
    if (m_link.Transfer().Is(CTransfer::EPhase::kDownload)) {
        return QString::asprintf("Downloading contacts... %d / %d", m_counter, m_total);
    }
    if (m_link.Transfer().Uploading()) {
        return QString::asprintf("Uploading contacts... %d / %d", m_counter, m_total);
    }
    return QString();
}

}  // namespace orvex
