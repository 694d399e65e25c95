#include "TMemo.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
}

QString TMemo::Text() const {
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void TMemo::SetText(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(plain);
}

int TMemo::Room() const {
    if (Limit <= 0)
        return -1;
    QString selected = textCursor().selectedText();
    // QTextCursor reports line breaks in a selection as U+2029; each counts as CR LF.
    const int selectedLength = int(selected.size() + selected.count(QChar(0x2029)));
    return std::max(0, Limit - int(Text().size()) + selectedLength);
}

void TMemo::keyPressEvent(QKeyEvent* event) {
    const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint();
    const bool typing =
        (newLine || printable) && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typing) {
        const int room = Room();
        if (room >= 0 && room < (newLine ? 2 : int(event->text().size()))) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TMemo::insertFromMimeData(const QMimeData* source) {
    const int room = Room();
    if (room < 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString fitting;
    int used = 0;
    for (const QChar c : text) {
        const int cost = c == QLatin1Char('\n') ? 2 : 1;
        if (used + cost > room)
            break;
        used += cost;
        fitting += c;
    }
    textCursor().insertText(fitting);
}
