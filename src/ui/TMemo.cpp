#include "TMemo.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace {

// Characters as the limit counts them: a character outside the basic plane (two UTF-16
// units) is one character.
int CharacterCount(const QString& text) {
    int count = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++count;
    return count;
}

} // namespace

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
    const int selectedLength = CharacterCount(selected) + int(selected.count(QChar(0x2029)));
    return std::max(0, Limit - CharacterCount(Text()) + selectedLength);
}

void TMemo::keyPressEvent(QKeyEvent* event) {
    const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint();
    const bool typing =
        (newLine || printable) && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typing) {
        const int room = Room();
        if (room >= 0 && room < (newLine ? 2 : CharacterCount(event->text()))) {
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
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const int cost = c == QLatin1Char('\n') ? 2 : 1;
        if (used + cost > room)
            break;
        used += cost;
        fitting += c;
        if (pair)
            fitting += text.at(++i);
    }
    textCursor().insertText(fitting);
}
