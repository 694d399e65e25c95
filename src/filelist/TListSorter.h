#pragma once

#include "SortRules.h"

#include <QObject>
#include <QString>

class TShellItem;
class TXListView;

// The order of the folder list's rows: sorting by a column (again by the same column reverses
// it), folders grouped apart from files in every column. Every change of folder returns to
// Name, ascending. One sorter per list; it keeps the sort state and announces it, and whoever
// shows the list (the header's triangle, the column's tint) follows SortChanged.
class TListSorter : public QObject {
    Q_OBJECT

public:
    explicit TListSorter(TXListView& view);

    int SortColumn() const { return Column; }
    bool SortAscending() const { return Ascending; }
    // The sort column's caption (its header shows this one, drawn with the triangle).
    const QString& SortCaption() const { return Caption; }

    // The order of two entries by the current sort column and direction.
    int CompareEntries(const TShellItem& a, const TShellItem& b) const;
    // Sorts by list column `column` (0 = Name): ascending for a new column, reversed for the
    // sort column. Any column but Name reads every unread row first. The selection stays on its
    // entries and the first selected row is scrolled into view.
    void SortByColumn(int column);
    // Clears the selection and returns to Name, ascending, leaving the rows where they are
    // (a re-sorting refresh follows).
    void ResetView();

signals:
    // The sort column, direction or caption changed (also when a folder change reset them).
    void SortChanged();

private:
    // The rule of the sort column, and its information column's number (0 for the fixed ones).
    TSortKind SortKind() const;
    int ValueNumber() const;
    void ResetSort();
    void ShowSortState();
    QString CaptionOf(int column) const;

    TXListView& View;
    int Column = 0;
    bool Ascending = true;
    QString Caption;
};
