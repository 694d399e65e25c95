#pragma once

#include "TPickerDialog.h"

#include <QDate>

class QLabel;
class QPushButton;
class QToolButton;
class TMonthGrid;

// The month calendar the date fields open: a grid with arrow buttons that step a
// month at a time. "Set" gives 1; "Clear" and Esc give 2, which callers take as a
// request to empty the field.
class TFrmCalendar : public TPickerDialog {
    Q_OBJECT

public:
    explicit TFrmCalendar(QWidget* parent = nullptr);

    // The grid's date; an invalid date leaves it unchanged.
    void SetDate(int month, int day, int year);
    void SetDate(const QDate& date);
    QDate Date() const;
    int Year() const;
    int Month() const;
    int Day() const;

    QToolButton* btnBack;
    QToolButton* btnForward;
    QLabel* lblDate;
    TMonthGrid* Calendar;
    QPushButton* btnSet;
    QPushButton* btnClear;

private:
    void btnNewMonth_OnClick();
    void Calendar_OnChange();
};
