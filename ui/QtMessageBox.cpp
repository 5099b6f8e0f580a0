#include "ui/QtMessageBox.h"

#include <QMessageBox>
#include <QThread>

#include "ui/QtText.h"

namespace orvex {

CQtMessageBox::CQtMessageBox(QObject* parent) : QObject(parent) {}

int CQtMessageBox::Show(bool prompt, const QString& caption, const QString& text) {
    QMessageBox box(prompt ? QMessageBox::NoIcon : QMessageBox::Critical, caption, text,
                    prompt ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
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
                                     const std::string& text) {
    const QString qCaption = CQtText::ToQString(caption);
    const QString qText = CQtText::ToQString(text);
    if (QThread::currentThread() == thread()) {
        return Show(prompt, qCaption, qText);
    }
    int answer = IDNO;
    QMetaObject::invokeMethod(this, "Show", Qt::BlockingQueuedConnection, Q_RETURN_ARG(int, answer),
                              Q_ARG(bool, prompt), Q_ARG(QString, qCaption), Q_ARG(QString, qText));
    return answer;
}

int CQtMessageBox::Report(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(false, caption, text);
}

int CQtMessageBox::Prompt(const std::string& caption, const std::string& text) {
    return ShowFromAnyThread(true, caption, text);
}

}  // namespace orvex
