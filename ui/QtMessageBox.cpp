#include "ui/QtMessageBox.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

#include "ui/QtText.h"

namespace orvex {

CQtMessageBox::CQtMessageBox(QObject* parent) : QObject(parent) {}

int CQtMessageBox::Show(int style, const QString& caption, const QString& text,
                        const QString& details, const QString& more) {
    const bool prompt = style == kYesNo;
    const QMessageBox::Icon icon = prompt                ? QMessageBox::NoIcon
                                   : style == kWarningOk ? QMessageBox::Warning
                                                         : QMessageBox::Critical;
    QMessageBox box(icon, caption, text,
                    prompt ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if (!details.isEmpty()) {
        box.setInformativeText(details);
        // Texts from the system (device names, program names) are never taken for markup.
        for (QLabel* label : box.findChildren<QLabel*>()) {
            if (label->text() == details) {
                label->setTextFormat(Qt::PlainText);
                label->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                               Qt::TextSelectableByKeyboard);
                label->setAccessibleName("Details");
                // Wide enough for the lines as written (a command stays on its line), within
                // reason; longer lines wrap.
                const QFontMetrics metrics(label->font());
                int widest = 0;
                for (const QString& line : details.split('\n')) {
                    widest = std::max(widest, metrics.horizontalAdvance(line));
                }
                label->setMinimumWidth(std::min(widest, metrics.averageCharWidth() * 70));
            }
        }
    }
    if (!more.isEmpty()) {
        box.setDetailedText(more);
    }
    if (prompt) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int answer = box.exec();
    if (!prompt) {
        return IDOK;
    }
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

int CQtMessageBox::ShowFromAnyThread(EStyle style, const QString& caption, const QString& text,
                                     const QString& details, const QString& more) {
    if (QThread::currentThread() == thread()) {
        return Show(style, caption, text, details, more);
    }
    int answer = IDNO;
    QMetaObject::invokeMethod(this, "Show", Qt::BlockingQueuedConnection, Q_RETURN_ARG(int, answer),
                              Q_ARG(int, style), Q_ARG(QString, caption), Q_ARG(QString, text),
                              Q_ARG(QString, details), Q_ARG(QString, more));
    return answer;
}

int CQtMessageBox::Report(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(kCriticalOk, CQtText::ToQString(caption), CQtText::ToQString(text));
}

int CQtMessageBox::ReportWithDetails(const std::string& caption, const std::string& text,
                                     const std::string& details) {
    return ShowFromAnyThread(kCriticalOk, CQtText::ToQString(caption), CQtText::ToQString(text),
                             QString::fromStdString(details));
}

int CQtMessageBox::Prompt(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(kYesNo, CQtText::ToQString(caption), CQtText::ToQString(text));
}

int CQtMessageBox::Notice(ENotice kind, const std::string& caption, const std::string& text,
                          const std::string& more) {
    return ShowFromAnyThread(kind == ENotice::kWarning ? kWarningOk : kCriticalOk,
                             QString::fromStdString(caption), QString::fromStdString(text), {},
                             QString::fromStdString(more));
}

}  // namespace orvex
