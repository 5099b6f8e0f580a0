#include "ui/MultiLineEdit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace orvex {

CMultiLineEdit::CMultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CMultiLineEdit::SetLimit(int characters) {
    m_limit = std::max(0, characters);
}

void CMultiLineEdit::SetText(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(plain);
}

QString CMultiLineEdit::Text() const {
    QString text = toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

int CMultiLineEdit::Length() const {
    return static_cast<int>(toPlainText().size());
}

int CMultiLineEdit::Room() const {
    if (m_limit <= 0) {
        return -1;
    }
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return std::max(0, m_limit - (Length() - selected));
}

void CMultiLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (!isReadOnly() && (lineBreak || printable)) {
        const int room = Room();
        if (room >= 0 && room < (lineBreak ? 1 : static_cast<int>(text.size()))) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CMultiLineEdit::inputMethodEvent(QInputMethodEvent* event) {
    const int room = Room();
    if (!isReadOnly() && room >= 0 && event->commitString().size() > room) {
        QInputMethodEvent cut(event->preeditString(), event->attributes());
        cut.setCommitString(event->commitString().left(room), event->replacementStart(),
                            event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&cut);
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void CMultiLineEdit::insertFromMimeData(const QMimeData* source) {
    const int room = Room();
    if (room < 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (room > 0) {
        textCursor().insertText(text.left(room));
        ensureCursorVisible();
    } else {
        QApplication::beep();
    }
}

void CMultiLineEdit::SetVisibleLines(int lines) {
    m_lines = std::max(1, lines);
    updateGeometry();
}

int CMultiLineEdit::LinesHeight() const {
    const int margin = static_cast<int>(std::ceil(document()->documentMargin()));
    return m_lines * fontMetrics().lineSpacing() + 2 * margin + 2 * frameWidth();
}

QSize CMultiLineEdit::sizeHint() const {
    return QSize(QPlainTextEdit::sizeHint().width(), LinesHeight());
}

QSize CMultiLineEdit::minimumSizeHint() const {
    return QSize(QPlainTextEdit::minimumSizeHint().width(), LinesHeight());
}

}  // namespace orvex
