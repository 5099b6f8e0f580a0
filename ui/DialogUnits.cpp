#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace orvex {

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_average = (letters / 26 + 1) / 2;
    m_height = metrics.height();
}

}  // namespace orvex
