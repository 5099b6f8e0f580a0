#include "ui/FocusMark.h"

#include <QAbstractItemView>
#include <QString>

namespace orvex {

void CFocusMark::Apply(QAbstractItemView* view) {
    // By the view's own name: a header inside it is an item view too, and keeps its look.
    const QString self = QLatin1Char('#') + view->objectName();
    view->setStyleSheet(QStringLiteral("%1 { border: 1px solid palette(mid); }"
                                       "%1:focus { border: 1px solid palette(highlight); }"
                                       "%1:!focus { selection-background-color: palette(midlight);"
                                       " selection-color: palette(text); }")
                            .arg(self));
}

}  // namespace orvex
