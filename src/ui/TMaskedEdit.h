#pragma once

#include <QLineEdit>

// A one-line field with an input mask whose empty positions show as blanks, like the
// date ("  /  /    ") and time ("  :  ") fields of the editor. Text() is the text as
// shown, blanks included, so callers can tell an empty field by its first character.
class TMaskedEdit : public QLineEdit {
    Q_OBJECT

public:
    // mask in Qt's notation without the blank character, e.g. "90/90/0000" or "00:00".
    explicit TMaskedEdit(const QString& mask, QWidget* parent = nullptr);

    QString Text() const { return displayText(); }
    // Sets the text (empty text shows the blank mask).
    void SetText(const QString& text) { setText(text); }
    // The shown text when nothing is typed.
    QString EmptyText() const;
};
