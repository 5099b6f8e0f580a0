#include "app/SwitchSplitterWnd.h"

#include <QStackedWidget>

namespace orvex {

CSwitchSplitterWnd::CSwitchSplitterWnd(int columns, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent) {
    setChildrenCollapsible(false);
    for (int c = 0; c < columns; ++c) {
        auto* pane = new QStackedWidget(this);
        pane->setObjectName(QString("pane-0-%1").arg(c));
        addWidget(pane);
    }
}

CSwitchSplitterWnd::~CSwitchSplitterWnd() {
    m_viewPositions.clear();
    m_paneContents.clear();
    m_viewWindows.clear();
}

int32_t CSwitchSplitterWnd::PanePosition(int row, int column) {
    return static_cast<int32_t>(static_cast<uint32_t>(column) << 16 |
                                (static_cast<uint32_t>(row) & 0xFFFF));
}

QStackedWidget* CSwitchSplitterWnd::Pane(int row, int column) const {
    if (row != 0 || column < 0 || column >= count()) {
        return nullptr;
    }
    return qobject_cast<QStackedWidget*>(widget(column));
}

int CSwitchSplitterWnd::AddView(int row, int column, const ViewFactory& create) {
    const int previous = HideCurrentView(row, column);
    QStackedWidget* pane = Pane(row, column);
    QWidget* view = pane && create ? create(pane) : nullptr;
    if (!view) {
        if (previous != -1) {
            SetPaneView(row, column, previous);
        }
        return -1;  // the number is not used up
    }
    pane->addWidget(view);
    const int number = m_nextViewNumber;
    m_viewPositions[number] = PanePosition(row, column);
    m_viewWindows[number] = view;
    SetPaneView(row, column, number);
    update();
    ++m_nextViewNumber;
    return number;
}

void CSwitchSplitterWnd::ShowView(int number) {
    if (!GetView(number)) {
        return;
    }
    int row = 0;
    int column = 0;
    GetViewPane(number, &row, &column);
    HideCurrentView(row, column);
    SetPaneView(row, column, number);
    refresh();
}

QWidget* CSwitchSplitterWnd::GetView(int number) const {
    auto it = m_viewWindows.find(number);
    return it == m_viewWindows.end() ? nullptr : it->second;
}

QWidget* CSwitchSplitterWnd::GetViewInPane(int row, int column, int* number) const {
    auto it = m_paneContents.find(PanePosition(row, column));
    if (it == m_paneContents.end()) {
        return nullptr;
    }
    if (number) {
        *number = it->second;
    }
    return GetView(it->second);
}

void CSwitchSplitterWnd::GetViewPane(int number, int* row, int* column) const {
    auto it = m_viewPositions.find(number);
    if (it == m_viewPositions.end()) {
        return;
    }
    *row = static_cast<int16_t>(it->second & 0xFFFF);
    *column = it->second >> 16;
}

void CSwitchSplitterWnd::SetPaneView(int row, int column, int number) {
    m_paneContents[PanePosition(row, column)] = number;
    QWidget* view = GetView(number);
    if (!view) {
        return;
    }
    view->setProperty(kPaneIdProperty, PaneId(row, column));
    if (QStackedWidget* pane = Pane(row, column)) {
        pane->setCurrentWidget(view);
    }
    view->show();
}

int CSwitchSplitterWnd::HideCurrentView(int row, int column) {
    int number = -1;
    QWidget* view = GetViewInPane(row, column, &number);
    if (!view) {
        return -1;
    }
    view->setProperty(kPaneIdProperty, 0);
    view->hide();
    return number;
}

}  // namespace orvex
