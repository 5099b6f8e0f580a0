#include "app/HelpCommand.h"

#include <QFileInfo>
#include <QProcess>
#include <cstdio>

namespace orvex {

CHelpCommand::CHelpCommand(QWidget* owner) : QObject(owner), m_owner(owner) {}

void CHelpCommand::Open(const QString& page) {
    if (!QFileInfo(page).isFile() || m_opener.isEmpty()) {
        ShowOwnWindow(page, QStringLiteral("the page is missing"));
        return;
    }
    // The opener may hand the page to a running browser and end at once, or run a browser
    // until it is closed; either way only a failure to start or a failing end brings up the
    // program's own window. The process is parented to this object so that it outlives the
    // call and goes with the program.
    auto* opener = new QProcess(this);
    opener->setProgram(m_opener.front());
    opener->setArguments(m_opener.mid(1) << page);
    opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    opener->setStandardOutputFile(QProcess::nullDevice());
    connect(opener, &QProcess::errorOccurred, this, [this, opener, page](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            ShowOwnWindow(page, opener->program() + QStringLiteral(" could not be started: ") +
                                    opener->errorString());
            opener->deleteLater();
        }
    });
    connect(opener, &QProcess::finished, this,
            [this, opener, page](int code, QProcess::ExitStatus status) {
                if (status != QProcess::NormalExit || code != 0) {
                    ShowOwnWindow(
                        page, opener->program() +
                                  QStringLiteral(" could not open it (exit status %1)").arg(code));
                }
                opener->deleteLater();
            });
    opener->start();
}

void CHelpCommand::ShowOwnWindow(const QString& page, const QString& why) {
    std::fprintf(stderr, "orvex-manager: the help page is shown in the program's own window: %s\n",
                 qPrintable(why));
    if (!m_window) {
        m_window = new CHelpWindow(m_owner);
    }
    m_window->ShowPage(page);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

}  // namespace orvex
