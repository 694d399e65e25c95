#pragma once

#include "TPickerDialog.h"

class QPushButton;
class TMaskedEdit;

// A masked date field and a masked time field, each with a button that opens the
// calendar or the time picker below it; used by batch tagging. "Set" gives 1,
// "Clear" 3; Esc does nothing and closing the window gives 2.
class TFrmDateTime : public TPickerDialog {
    Q_OBJECT

public:
    explicit TFrmDateTime(QWidget* parent = nullptr);

    // The fields' texts as shown: "  /  /    " and "  :  " when empty.
    QString DateText() const;
    QString TimeText() const;

    TMaskedEdit* edtDate;
    QPushButton* btntDate;
    TMaskedEdit* edtTime;
    QPushButton* btnTime;
    QPushButton* btnSet;
    QPushButton* btnClear;

private:
    void btntDate_OnClick();
    void btnTime_OnClick();
};
