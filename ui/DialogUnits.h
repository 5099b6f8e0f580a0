#pragma once

class QFont;

namespace orvex {

// The forms' units, so that they scale with the user's font: a quarter of the font's average
// letter width across, an eighth of its height down.
class CDialogUnits {
  public:
    explicit CDialogUnits(const QFont& font);

    int X(int units) const { return (units * m_average + 2) / 4; }
    int Y(int units) const { return (units * m_height + 4) / 8; }

  private:
    int m_average;
    int m_height;
};

}  // namespace orvex
