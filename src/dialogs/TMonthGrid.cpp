#include "TMonthGrid.h"

#include <QHeaderView>
#include <QLocale>

TMonthGrid::TMonthGrid(QWidget* parent) : QTableWidget(parent) {
    setColumnCount(7);
    QStringList days;
    const QLocale locale = QLocale::system();
    days << locale.dayName(7, QLocale::ShortFormat); // Sunday first
    for (int d = 1; d <= 6; ++d)
        days << locale.dayName(d, QLocale::ShortFormat);
    setHorizontalHeaderLabels(days);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->setMinimumSectionSize(8);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { OnCurrentCellChanged(row, column); });

    Current = QDate::currentDate();
    Rebuild();
    SelectCurrent();
}

int TMonthGrid::FirstColumn() const {
    // dayOfWeek: 1 = Monday ... 7 = Sunday; the grid's column 0 is Sunday.
    return QDate(Current.year(), Current.month(), 1).dayOfWeek() % 7;
}

QPoint TMonthGrid::CellOfDay(int day) const {
    const int index = FirstColumn() + day - 1;
    return {index / 7, index % 7};
}

void TMonthGrid::Rebuild() {
    Updating = true;
    clearContents();
    const int first = FirstColumn();
    const int days = Current.daysInMonth();
    setRowCount((first + days + 6) / 7);
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < 7; ++column) {
            auto* item = new QTableWidgetItem;
            const int day = row * 7 + column - first + 1;
            if (day >= 1 && day <= days) {
                item->setText(QString::number(day));
                item->setData(Qt::UserRole, day);
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            } else {
                item->setFlags(Qt::NoItemFlags);
            }
            item->setTextAlignment(Qt::AlignCenter);
            setItem(row, column, item);
        }
    Updating = false;
}

void TMonthGrid::SelectCurrent() {
    Updating = true;
    const QPoint cell = CellOfDay(Current.day());
    setCurrentCell(cell.x(), cell.y());
    Updating = false;
}

void TMonthGrid::SetDate(const QDate& date) {
    if (!date.isValid())
        return;
    const bool sameMonth = date.year() == Current.year() && date.month() == Current.month();
    const bool changed = date != Current;
    Current = date;
    if (!sameMonth || rowCount() == 0)
        Rebuild();
    SelectCurrent();
    if (changed)
        emit DateChanged(Current);
}

void TMonthGrid::OnCurrentCellChanged(int row, int column) {
    if (Updating)
        return;
    const QTableWidgetItem* cell = item(row, column);
    const int day = cell ? cell->data(Qt::UserRole).toInt() : 0;
    if (day < 1) {
        // An empty cell never holds the date: go back to the day held.
        SelectCurrent();
        return;
    }
    if (day == Current.day())
        return;
    Current = QDate(Current.year(), Current.month(), day);
    emit DateChanged(Current);
}
