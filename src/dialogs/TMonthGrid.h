#pragma once

#include <QDate>
#include <QTableWidget>

// A month grid holding one date: seven columns with weeks from Sunday, a header
// of the short day names, one row per week of the shown month and empty cells
// outside it. Only cells with a day number can be selected; selecting one makes
// it the date. Starts on today's date.
class TMonthGrid : public QTableWidget {
    Q_OBJECT

public:
    explicit TMonthGrid(QWidget* parent = nullptr);

    QDate Date() const { return Current; }
    int Year() const { return Current.year(); }
    int Month() const { return Current.month(); }
    int Day() const { return Current.day(); }
    // Shows the date's month and selects its day; an invalid date is ignored.
    void SetDate(const QDate& date);

    // The cell that shows `day` of the shown month (row, column).
    QPoint CellOfDay(int day) const;

signals:
    // Every change of the date, by the program or by the user.
    void DateChanged(const QDate& date);

private:
    void Rebuild();
    void SelectCurrent();
    void OnCurrentCellChanged(int row, int column);
    int FirstColumn() const;

    QDate Current;
    bool Updating = false;
};
