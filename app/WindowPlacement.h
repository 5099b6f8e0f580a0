#pragma once

#include <QList>
#include <QRect>

class QWidget;

namespace orvex {

// Where a remembered window goes on the screens there are now. A window that would come back
// partly off its screen is pulled onto it; one whose screen is gone (a monitor unplugged) keeps
// only its size and is left to the window manager to place.
class CWindowPlacement {
  public:
    // How much of a window must lie on one screen for its place to count: enough to see it and
    // take hold of it.
    static constexpr int kVisibleWidth = 100;
    static constexpr int kVisibleHeight = 50;

    struct SFit {
        QRect rect;   // the size to give, and the place when placed is true
        bool placed;  // false: the place is the window manager's choice
    };
    // saved: the window's area as remembered; areas: the available areas of the screens now,
    // the primary screen's first. The size never exceeds the screen the window goes to.
    static SFit Fit(const QRect& saved, const QList<QRect>& areas);

    // Gives a window that is not shown yet its remembered area on the screens of the
    // application, maximised when it was.
    static void Apply(QWidget& window, const QRect& saved, bool maximized);
};

}  // namespace orvex
