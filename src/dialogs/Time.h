#pragma once

#include "TPickerDialog.h"

#include <QTime>

class QPushButton;
class QRadioButton;
class QTimeEdit;

// The time picker the time fields open: hours and minutes, shown on a 24-hour or a
// 12-hour clock (display only; the value is the time of day either way).
// "Set" gives 1; "Clear" and Esc give 2.
class TFrmTime : public TPickerDialog {
    Q_OBJECT

public:
    explicit TFrmTime(QWidget* parent = nullptr);

    // Without a call the picker shows 00:00.
    void SetTime(const QTime& time);
    QTime Time() const;

    QRadioButton* rbtn24hour;
    QRadioButton* rbtn12hour;
    QTimeEdit* dtTime;
    QPushButton* btnSet;
    QPushButton* btnClear;

protected:
    // For the tool-window variant: its frame, size and the result of "Clear".
    TFrmTime(QWidget* parent, Qt::WindowFlags flags, QSize size, int clearResult, int escResult);

private:
    void rbtn24hour_OnClick();
    void rbtn12hour_OnClick();
};
