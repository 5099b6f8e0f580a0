#include "ui/TextProgressCtrl.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <climits>
#include <utility>

namespace orvex {

namespace {

// What assistive technology reads of the bar: a progress bar named by its accessible name,
// whose value text is what the bar shows and whose value is the position within the range.
class CTextProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit CTextProgressAccessible(CTextProgressCtrl* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return Bar()->DisplayedText();
        }
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return Bar()->GetPos(); }
    // The user cannot move a progress bar.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return Bar()->GetRange(false); }
    QVariant minimumValue() const override { return Bar()->GetRange(true); }
    QVariant minimumStepSize() const override { return 0; }

  private:
    CTextProgressCtrl* Bar() const { return static_cast<CTextProgressCtrl*>(widget()); }
};

QAccessibleInterface* AccessibleFactory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<CTextProgressCtrl*>(object)) {
        return new CTextProgressAccessible(bar);
    }
    return nullptr;
}

// A floating-point length truncated towards zero, kept within int so that a position far
// outside the range cannot overflow the conversion.
int Truncate(double value) {
    return static_cast<int>(
        std::clamp(value, static_cast<double>(INT_MIN / 2), static_cast<double>(INT_MAX / 2)));
}

}  // namespace

QColor CTextProgressCtrl::ToQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(AccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CTextProgressCtrl::SetRange(int lower, int upper) {
    m_lower = static_cast<uint16_t>(lower);
    m_upper = static_cast<uint16_t>(upper);
}

void CTextProgressCtrl::SetRange32(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

int CTextProgressCtrl::GetRange(bool lower, Range* range) const {
    if (range) {
        range->low = m_lower;
        range->high = m_upper;
    }
    return lower ? m_lower : m_upper;
}

int CTextProgressCtrl::SetPos(int pos) {
    const int previous = m_pos;
    m_pos = pos;
    const int length = BarLength();
    if (length != m_barLength) {
        m_barLength = length;
        RedrawNow();
    }
    NotifyAccessibleValue();
    return previous;
}

int CTextProgressCtrl::SetStep(int step) {
    const int previous = m_step;
    m_step = step;
    return previous;
}

CTextProgressCtrl::ColorRef CTextProgressCtrl::Recolor(ColorRef& member, ColorRef color) {
    const ColorRef previous = std::exchange(member, color);
    Invalidate();
    return previous;
}

CTextProgressCtrl::ColorRef CTextProgressCtrl::SetBarColor(ColorRef color) {
    return Recolor(m_barColor, color);
}

CTextProgressCtrl::ColorRef CTextProgressCtrl::SetBkColor(ColorRef color) {
    return Recolor(m_bkColor, color);
}

CTextProgressCtrl::ColorRef CTextProgressCtrl::SetTextColor(ColorRef color) {
    return Recolor(m_textColor, color);
}

void CTextProgressCtrl::SetShowText(bool show) {
    if (show != m_showText) {
        m_showText = show;
        Invalidate();
    }
}

void CTextProgressCtrl::SetWindowText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    Invalidate();
    NotifyAccessibleValue();
}

QString CTextProgressCtrl::DisplayedText() const {
    if (!m_text.isEmpty()) {
        return m_text;
    }
    return QString::asprintf("%d%%", Truncate(Fraction() * 100.0));
}

void CTextProgressCtrl::SetOrientation(Qt::Orientation orientation) {
    if (orientation == m_orientation) {
        return;
    }
    m_orientation = orientation;
    setSizePolicy(orientation == Qt::Horizontal
                      ? QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed)
                      : QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding));
    m_barLength = -1;
    updateGeometry();
    Invalidate();
}

QSize CTextProgressCtrl::sizeHint() const {
    const QFontMetrics metrics(parentWidget() ? parentWidget()->font() : font());
    const int thickness = metrics.height() + 6;
    const int length = metrics.averageCharWidth() * 40;
    return m_orientation == Qt::Horizontal ? QSize(length, thickness) : QSize(thickness, length);
}

double CTextProgressCtrl::Fraction() const {
    if (m_lower >= m_upper) {
        return 0.0;
    }
    // In double, so that a range spanning most of int cannot overflow.
    return (static_cast<double>(m_pos) - m_lower) /
           (static_cast<double>(m_upper) - static_cast<double>(m_lower));
}

int CTextProgressCtrl::Extent() const {
    return m_orientation == Qt::Horizontal ? width() : height();
}

int CTextProgressCtrl::BarLength() const {
    return Truncate(Fraction() * Extent());
}

void CTextProgressCtrl::Invalidate() {
    ++m_redrawRequests;
    update();
}

void CTextProgressCtrl::RedrawNow() {
    ++m_redrawRequests;
    repaint();
}

void CTextProgressCtrl::NotifyAccessibleValue() {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, m_pos);
        QAccessible::updateAccessibility(&event);
    }
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_barLength = -1;
}

void CTextProgressCtrl::paintEvent(QPaintEvent*) {
    ++m_paints;
    // An empty range draws nothing at all, not even the background.
    if (m_lower >= m_upper) {
        return;
    }
    const QColor bar =
        m_barColor == kDefaultColor ? palette().color(QPalette::Highlight) : ToQColor(m_barColor);
    const QColor background =
        m_bkColor == kDefaultColor ? palette().color(QPalette::Base) : ToQColor(m_bkColor);

    const QRect client = rect();
    const int length = std::clamp(BarLength(), 0, Extent());
    QRect filled;
    QRect empty;
    if (m_orientation == Qt::Horizontal) {
        filled = QRect(client.left(), client.top(), length, client.height());
        empty =
            QRect(client.left() + length, client.top(), client.width() - length, client.height());
    } else {
        filled = QRect(client.left(), client.bottom() + 1 - length, client.width(), length);
        empty = QRect(client.left(), client.top(), client.width(), client.height() - length);
    }

    // The backing store already buffers the widget, so the two parts and the text reach the
    // screen together.
    QPainter painter(this);
    painter.fillRect(filled, bar);
    painter.fillRect(empty, background);

    if (!m_showText || m_orientation != Qt::Horizontal) {
        return;
    }
    painter.setFont(parentWidget() ? parentWidget()->font() : font());
    const QString text = DisplayedText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(filled);
    painter.setPen(m_textColor == kDefaultColor ? background : ToQColor(m_textColor));
    painter.drawText(client, flags, text);
    painter.setClipRect(empty);
    painter.setPen(m_textColor == kDefaultColor ? bar : ToQColor(m_textColor));
    painter.drawText(client, flags, text);
}

}  // namespace orvex
