#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace orvex {

// A progress bar that paints itself: the done part in the bar colour, the rest in the
// background colour, and a text centred across both parts, drawn in the colour of the part
// it does not lie on so that it stays readable as the bar passes under it. The text is the
// control's window text or, when that is empty, the percentage done.
//
// Redrawing is kept to a minimum: moving the position redraws the control only when the
// filled length in pixels changes, so a long transfer over a short bar costs few paints.
class CTextProgressCtrl : public QWidget {
    Q_OBJECT
  public:
    // Colours as 0x00BBGGRR values, as the rest of the program stores them; kDefaultColor
    // stands for the palette's colour of that role.
    using ColorRef = uint32_t;
    static constexpr ColorRef kDefaultColor = 0xFF000000;
    static constexpr ColorRef Rgb(int r, int g, int b) {
        return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
    }
    static QColor ToQColor(ColorRef color);

    struct Range {
        int low = 0;
        int high = 0;
    };

    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    // Both bounds as unsigned 16-bit values; nothing is redrawn.
    void SetRange(int lower, int upper);
    // Both bounds in full; nothing is redrawn.
    void SetRange32(int lower, int upper);
    // The lower bound if `lower`, else the upper; `range` receives both when given.
    int GetRange(bool lower, Range* range = nullptr) const;
    // The position is stored as given, not clamped to the range. Each returns the previous
    // position.
    int SetPos(int pos);
    int DeltaPos(int delta) { return SetPos(m_pos + delta); }
    int StepIt() { return SetPos(m_pos + m_step); }
    int GetPos() const { return m_pos; }
    // Returns the previous step.
    int SetStep(int step);
    int GetStep() const { return m_step; }

    // Each returns the previous colour and redraws.
    ColorRef SetBarColor(ColorRef color);
    ColorRef SetBkColor(ColorRef color);
    // kDefaultColor draws the text in the colour of the other part.
    ColorRef SetTextColor(ColorRef color);
    ColorRef BarColor() const { return m_barColor; }
    ColorRef BkColor() const { return m_bkColor; }
    ColorRef TextColor() const { return m_textColor; }

    void SetShowText(bool show);
    bool ShowsText() const { return m_showText; }

    // Setting the text that is already there redraws nothing.
    void SetWindowText(const QString& text);
    QString WindowText() const { return m_text; }
    // What the bar shows: the window text, or the percentage when that is empty.
    QString DisplayedText() const;

    // A vertical bar fills from the bottom up and shows no text.
    void SetOrientation(Qt::Orientation orientation);
    Qt::Orientation Orientation() const { return m_orientation; }

    // Filled length in pixels as last computed by SetPos; -1 after a resize.
    int CachedBarLength() const { return m_barLength; }
    // How often the control asked to be redrawn, and how often it painted.
    int RedrawRequests() const { return m_redrawRequests; }
    int PaintCount() const { return m_paints; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    double Fraction() const;
    int Extent() const;
    int BarLength() const;
    // Queued redraw, merged with others, and immediate redraw.
    void Invalidate();
    void RedrawNow();
    void NotifyAccessibleValue();
    // Gives one of the colours a new value and repaints; the colour it had.
    ColorRef Recolor(ColorRef& member, ColorRef color);

    ColorRef m_textColor = kDefaultColor;
    int m_pos = 0;
    int m_step = 1;
    int m_upper = 100;
    int m_lower = 0;
    QString m_text;
    bool m_showText = true;
    int m_barLength = -1;
    ColorRef m_barColor = kDefaultColor;
    ColorRef m_bkColor = kDefaultColor;
    Qt::Orientation m_orientation = Qt::Horizontal;

    int m_redrawRequests = 0;
    int m_paints = 0;
};

}  // namespace orvex
