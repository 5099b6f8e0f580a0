#include "ui/PanelScrollArea.h"

#include <QScrollBar>
#include <QStyle>

namespace orvex {

CPanelScrollArea::CPanelScrollArea(QWidget* panel, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    // Tab goes through the panel's controls, never to the area around them.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);
    setWidget(panel);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &CPanelScrollArea::FitWidth);
    FitWidth();
}

void CPanelScrollArea::FitWidth() {
    int width = widget()->minimumWidth();
    if (verticalScrollBar()->maximum() > 0) {
        width += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    }
    setFixedWidth(width);
}

QSize CPanelScrollArea::sizeHint() const {
    return QSize(width(), widget()->sizeHint().height());
}

QSize CPanelScrollArea::minimumSizeHint() const {
    // The buttons above the pages and a little of the first page.
    return QSize(width(), fontMetrics().height() * 6);
}

}  // namespace orvex
