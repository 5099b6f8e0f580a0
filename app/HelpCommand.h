#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "ui/HelpWindow.h"

class QWidget;

namespace orvex {

// Help > Contents (F1): the help page in the desktop's browser, through the desktop's opener
// (xdg-open). Where that cannot start, or ends saying it failed (no browser configured, no
// desktop session), the page opens in the program's own help window instead, so F1 always
// shows something.
class CHelpCommand : public QObject {
    Q_OBJECT
  public:
    explicit CHelpCommand(QWidget* owner);
    // The program and arguments that open a file in the desktop's browser; the page's path is
    // added as the last argument. xdg-open unless changed (the tests change it).
    void SetOpener(const QStringList& command) { m_opener = command; }

    void Open(const QString& page);

    // The program's own window, once it has been needed; null before.
    CHelpWindow* Window() const { return m_window; }

  private:
    void ShowOwnWindow(const QString& page, const QString& why);

    QWidget* m_owner;
    QStringList m_opener{QStringLiteral("xdg-open")};
    QPointer<CHelpWindow> m_window;  // a child of the owner, which deletes it
};

}  // namespace orvex
