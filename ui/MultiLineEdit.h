#pragma once

#include <QPlainTextEdit>
#include <QSize>
#include <QString>

namespace orvex {

// A multi-line edit field that wraps its text and scrolls vertically, with a character limit
// like a single-line edit's: typing, pasting or composing beyond the limit is refused, while
// a text set by the program is shown whole. Tab moves the focus on, as in every other field.
class CMultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit CMultiLineEdit(QWidget* parent = nullptr);

    // The most characters the user may bring the text to; 0 for no limit.
    void SetLimit(int characters);
    int Limit() const { return m_limit; }
    // Line breaks come and go as CR LF, as the program's texts hold them.
    void SetText(const QString& text);
    QString Text() const;
    // The number of characters, a line break counting once.
    int Length() const;

    // How many lines of text the field shows without scrolling.
    void SetVisibleLines(int lines);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    // How many characters may still be inserted in place of the selection; -1 for any.
    int Room() const;
    int LinesHeight() const;

    int m_limit = 0;
    int m_lines = 2;
};

}  // namespace orvex
