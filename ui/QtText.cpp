#include "ui/QtText.h"

#include <QByteArray>

#include "db/Win1252.h"

namespace orvex {

QString CQtText::ToQString(const std::string& bytes) {
    const std::string utf8 = CWin1252::ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool CQtText::FromQString(const QString& text, std::string& bytes) {
    const QByteArray utf8 = text.toUtf8();
    return CWin1252::FromUtf8(std::string(utf8.constData(), static_cast<size_t>(utf8.size())),
                              bytes);
}

}  // namespace orvex
