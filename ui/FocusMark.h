#pragma once

class QAbstractItemView;

namespace orvex {

// Marks a list, table or tree that holds the keyboard focus, which the desktop's style does
// not do for a whole view: a frame in the highlight colour while it has the focus, and its
// selected rows in a quiet grey while it does not, so that the eye finds where keys go.
class CFocusMark {
  public:
    // The view must have its object name.
    static void Apply(QAbstractItemView* view);
};

}  // namespace orvex
