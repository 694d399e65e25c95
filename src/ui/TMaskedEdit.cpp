#include "TMaskedEdit.h"

TMaskedEdit::TMaskedEdit(const QString& mask, QWidget* parent) : QLineEdit(parent) {
    setInputMask(mask + QStringLiteral("; "));
}

QString TMaskedEdit::EmptyText() const {
    QString text = inputMask().section(QLatin1Char(';'), 0, 0);
    for (QChar& c : text)
        if (c.isLetterOrNumber())
            c = QLatin1Char(' ');
    return text;
}
