#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QString>

class QTextBrowser;
class QToolButton;

namespace orvex {

// The help page in a window of the program's own, for when no browser of the desktop can be
// started: the page with its links, Back and Forward (Alt+Left, Alt+Right), and Close (Esc).
// Links that leave the page's folder open in the desktop's browser where there is one.
class CHelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit CHelpWindow(QWidget* owner = nullptr);

    // Shows `path`, or says that it is missing. Each call starts from the page's beginning.
    void ShowPage(const QString& path);

    QTextBrowser* Browser() const { return m_browser; }
    QString CurrentPage() const;

  private:
    QToolButton* NavigationButton(const QString& name, Qt::ArrowType arrow,
                                  QKeySequence::StandardKey key);

    QTextBrowser* m_browser;
    QToolButton* m_back;
    QToolButton* m_forward;
};

}  // namespace orvex
