#pragma once

#include <QSplitter>
#include <functional>
#include <map>

class QStackedWidget;

namespace orvex {

// The main window's client area: one row of panes side by side, in which several views can
// be registered per pane and swapped in and out. Each registered view has a small number
// (1, 2, ... never reused) and remembers its pane; at most one registered view per pane is
// shown. The rest of the program keeps view numbers, not view pointers, and asks for the
// window by number.
class CSwitchSplitterWnd : public QSplitter {
    Q_OBJECT
  public:
    // Creates a view as a child of the given pane; nullptr when it cannot be created.
    using ViewFactory = std::function<QWidget*(QWidget* pane)>;
    // The pane identifier of the shown view, as the splitter finds it; hidden views carry 0.
    static constexpr int kPaneFirst = 0xE900;
    static constexpr const char* kPaneIdProperty = "orvexPaneId";

    explicit CSwitchSplitterWnd(int columns, QWidget* parent = nullptr);
    ~CSwitchSplitterWnd() override;

    int AddView(int row, int column, const ViewFactory& create);
    void ShowView(int number);
    QWidget* GetView(int number) const;
    QWidget* GetViewInPane(int row, int column, int* number) const;
    void GetViewPane(int number, int* row, int* column) const;
    void SetPaneView(int row, int column, int number);
    int HideCurrentView(int row, int column);

    // The pane's position code: column in the high 16 bits, row in the low 16.
    static int32_t PanePosition(int row, int column);
    static int PaneId(int row, int column) { return kPaneFirst + 16 * row + column; }

  private:
    QStackedWidget* Pane(int row, int column) const;

    std::map<int, int32_t> m_viewPositions;
    std::map<int32_t, int> m_paneContents;
    std::map<int, QWidget*> m_viewWindows;
    int m_nextViewNumber = 1;
};

}  // namespace orvex
