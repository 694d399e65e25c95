#include "TPickerDialog.h"

#include <QKeyEvent>

TPickerDialog::TPickerDialog(QWidget* parent, Qt::WindowFlags flags, int escResult)
    : QDialog(parent, flags), EscResult(escResult) {}

void TPickerDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (EscResult != 0)
            done(EscResult);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPickerDialog::reject() {
    done(mrCancel);
}
