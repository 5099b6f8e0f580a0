#pragma once

#include <QObject>

class QAbstractItemView;
class QWidget;

namespace orvex {

// Marks a list, table or tree that holds the keyboard focus, which the desktop's style does
// not do for a whole view: a frame in the highlight colour while it has the focus, and its
// selected rows in a quiet grey while it does not, so that the eye finds where keys go.
class CFocusMark : public QObject {
    Q_OBJECT
  public:
    // The view must have its object name; the mark lives as long as the view.
    static void Apply(QAbstractItemView* view);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit CFocusMark(QAbstractItemView* view);
    void Show(bool focused);

    // As a widget: its events go on while it is destroyed, when it is no item view any more.
    QWidget* m_view;
};

}  // namespace orvex
