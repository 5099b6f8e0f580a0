#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace orvex {

CWindowPlacement::SFit CWindowPlacement::Fit(const QRect& saved, const QList<QRect>& areas) {
    if (areas.isEmpty()) {
        return {saved, false};
    }
    // The screen that shows most of the window is the one it belongs to.
    const QRect* home = nullptr;
    qint64 most = 0;
    for (const QRect& area : areas) {
        const QRect shown = area.intersected(saved);
        const qint64 size = qint64(shown.width()) * shown.height();
        if (!shown.isEmpty() && size > most &&
            shown.width() >= std::min(kVisibleWidth, saved.width()) &&
            shown.height() >= std::min(kVisibleHeight, saved.height())) {
            home = &area;
            most = size;
        }
    }
    const bool placed = home != nullptr;
    const QRect& area = placed ? *home : areas.front();
    const QSize size = saved.size().boundedTo(area.size());
    if (!placed) {
        return {QRect(area.topLeft(), size), false};
    }
    // Wholly on that screen.
    const int x = std::clamp(saved.x(), area.x(), area.x() + area.width() - size.width());
    const int y = std::clamp(saved.y(), area.y(), area.y() + area.height() - size.height());
    return {QRect(QPoint(x, y), size), true};
}

void CWindowPlacement::Apply(QWidget& window, const QRect& saved, bool maximized) {
    QList<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        areas << primary->availableGeometry();
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            areas << screen->availableGeometry();
        }
    }
    const SFit fit = Fit(saved, areas);
    if (fit.placed) {
        window.setGeometry(fit.rect);
    } else {
        window.resize(fit.rect.size());
    }
    if (maximized) {
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
}

}  // namespace orvex
