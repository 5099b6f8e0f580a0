#include "ui/QtMessageBox.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

#include "ui/QtText.h"

namespace orvex {

CQtMessageBox::CQtMessageBox(QObject* parent) : QObject(parent) {}

int CQtMessageBox::Show(bool prompt, const QString& caption, const QString& text,
                        const QString& details) {
    QMessageBox box(prompt ? QMessageBox::NoIcon : QMessageBox::Critical, caption, text,
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

int CQtMessageBox::ShowFromAnyThread(bool prompt, const std::string& caption,
                                     const std::string& text, const std::string& details) {
    const QString qCaption = CQtText::ToQString(caption);
    const QString qText = CQtText::ToQString(text);
    const QString qDetails = QString::fromStdString(details);
    if (QThread::currentThread() == thread()) {
        return Show(prompt, qCaption, qText, qDetails);
    }
    int answer = IDNO;
    QMetaObject::invokeMethod(this, "Show", Qt::BlockingQueuedConnection, Q_RETURN_ARG(int, answer),
                              Q_ARG(bool, prompt), Q_ARG(QString, qCaption), Q_ARG(QString, qText),
                              Q_ARG(QString, qDetails));
    return answer;
}

int CQtMessageBox::Report(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(false, caption, text);
}

int CQtMessageBox::ReportWithDetails(const std::string& caption, const std::string& text,
                                     const std::string& details) {
    return ShowFromAnyThread(false, caption, text, details);
}

int CQtMessageBox::Prompt(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(true, caption, text);
}

}  // namespace orvex
