#include "ui/HelpWindow.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace orvex {

// Back or Forward: Alt and its first letter, and the system's key for it (Alt+Left or
// Alt+Right) as well.
QToolButton* CHelpWindow::NavigationButton(const QString& name, Qt::ArrowType arrow,
                                           QKeySequence::StandardKey key) {
    auto* button = new QToolButton(this);
    button->setText("&" + name);
    button->setArrowType(arrow);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAccessibleName(name);
    const QKeySequence sequence(key);
    button->setToolTip(name + " (" + sequence.toString(QKeySequence::NativeText) + ")");
    auto* shortcut = new QShortcut(sequence, this);
    connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
    return button;
}

CHelpWindow::CHelpWindow(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Orvex Manager Help"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_back = NavigationButton(QStringLiteral("Back"), Qt::LeftArrow, QKeySequence::Back);
    m_forward = NavigationButton(QStringLiteral("Forward"), Qt::RightArrow, QKeySequence::Forward);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAutoDefault(false);

    m_browser = new QTextBrowser(this);
    m_browser->setAccessibleName(QStringLiteral("Help page"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setOpenLinks(true);

    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addStretch(1);
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_browser, 1);

    // Wide enough for the page's command examples (about a hundred characters), within the
    // screen's free area.
    const QFontMetrics metrics(m_browser->font());
    QSize size(metrics.averageCharWidth() * 110, metrics.lineSpacing() * 45);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 9 / 10;
        size = size.boundedTo(room);
    }
    resize(size);
}

void CHelpWindow::ShowPage(const QString& path) {
    if (QFileInfo(path).isFile()) {
        m_browser->setSearchPaths({QFileInfo(path).absolutePath()});
        m_browser->setSource(QUrl::fromLocalFile(path));
        m_browser->clearHistory();
    } else {
        m_browser->setHtml(QStringLiteral("<p>The help page %1 is missing. Starting the program "
                                          "again puts it back from the installed files.</p>")
                               .arg(path.toHtmlEscaped()));
    }
    m_browser->moveCursor(QTextCursor::Start);
}

QString CHelpWindow::CurrentPage() const {
    return m_browser->source().toLocalFile();
}

}  // namespace orvex
