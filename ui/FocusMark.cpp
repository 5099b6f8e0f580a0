#include "ui/FocusMark.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QString>

namespace orvex {

void CFocusMark::Apply(QAbstractItemView* view) {
    new CFocusMark(view);
}

CFocusMark::CFocusMark(QAbstractItemView* view) : QObject(view), m_view(view) {
    // By the view's own name: a header inside it is an item view too, and keeps its look.
    const QString self = QLatin1Char('#') + view->objectName();
    view->setStyleSheet(QStringLiteral("%1 { border: 1px solid palette(mid); }"
                                       "%1:focus { border: 1px solid palette(highlight); }")
                            .arg(self));
    view->installEventFilter(this);
    Show(view->hasFocus());
}

void CFocusMark::Show(bool focused) {
    const QPalette standard = QApplication::palette(m_view);
    QPalette palette = m_view->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight,
                         standard.color(group, focused ? QPalette::Highlight : QPalette::Midlight));
        palette.setColor(
            group, QPalette::HighlightedText,
            standard.color(group, focused ? QPalette::HighlightedText : QPalette::Text));
    }
    m_view->setPalette(palette);
}

bool CFocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view) {
        if (event->type() == QEvent::FocusIn) {
            Show(true);
        } else if (event->type() == QEvent::FocusOut) {
            Show(false);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orvex
