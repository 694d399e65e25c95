#pragma once

#include "TPickerDialog.h"

class QLineEdit;
class QPushButton;

// A one-line text box for batch tagging. "Set" gives 1, "Clear" 3; Esc does
// nothing and closing the window gives 2.
class TFrmText : public TPickerDialog {
    Q_OBJECT

public:
    explicit TFrmText(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

    QLineEdit* edtText;
    QPushButton* btnSet;
    QPushButton* btnClear;
};
