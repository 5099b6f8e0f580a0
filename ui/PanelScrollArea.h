#pragma once

#include <QScrollArea>

namespace orvex {

// A fixed-width panel that scrolls up and down when the window is too low for it, instead of
// holding the window taller than the screen. It asks for the panel's whole size, but needs
// only a few lines of height; while its scroll bar shows, it widens by the bar so that the
// panel keeps its width.
class CPanelScrollArea : public QScrollArea {
    Q_OBJECT
  public:
    explicit CPanelScrollArea(QWidget* panel, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  private:
    void FitWidth();
};

}  // namespace orvex
