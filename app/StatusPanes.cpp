#include "app/StatusPanes.h"

#include <QLabel>
#include <QStatusBar>
#include <utility>

#include "ui/QtText.h"

namespace orvex {

void CStatusPanes::Create(QStatusBar& bar) {
    m_bar = &bar;
    bar.showMessage("Ready");
    // The blanks give each pane the width of the longest text it shows.
    const std::pair<int, int> panes[] = {{kCounts, 19}, {kConnection, 21}, {kPort, 10}};
    const char* names[] = {"", "Counts", "Connection", "Port"};
    for (const auto& [pane, blanks] : panes) {
        auto* label = new QLabel(QString(blanks, ' '), &bar);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString(blanks, ' ')) + 8);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAccessibleName(names[pane]);
        bar.addPermanentWidget(label);
        m_panes[pane] = SPane{label, names[pane]};
    }
    // The idle prompt comes back when a command's prompt goes.
    QStatusBar* shown = &bar;
    QObject::connect(shown, &QStatusBar::messageChanged, shown, [shown](const QString& message) {
        if (message.isEmpty()) {
            shown->showMessage("Ready");
        }
    });
}

void CStatusPanes::SetText(int pane, const std::string& text) {
    auto it = m_panes.find(pane);
    if (it == m_panes.end()) {
        return;
    }
    QLabel* label = it->second.label;
    const QString shown = CQtText::ToQString(text);
    label->setText(shown);
    // A screen reader hears the pane's name with its value ("Counts: P:002/G:00"), and hears it
    // change.
    const QString value = shown.trimmed();
    const QString& name = it->second.name;
    label->setAccessibleName(value.isEmpty() ? name : name + ": " + value);
    label->setAccessibleDescription(value);
    label->repaint();
}

QString CStatusPanes::Text(int pane) const {
    if (pane == 0) {
        return m_bar ? m_bar->currentMessage() : QString();
    }
    auto it = m_panes.find(pane);
    return it == m_panes.end() ? QString() : it->second.label->text();
}

}  // namespace orvex
