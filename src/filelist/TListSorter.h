#pragma once

#include <QObject>
#include <QString>

class TListDelegate;
class TShellItem;
class TSortHeaderView;
class TXListView;

// The order of the folder list's rows and how it shows: a click on a column header sorts by
// that column (a second click reverses it), folders grouped apart from files in every column;
// the sort column is tinted and its header shows the caption with the direction's triangle.
// Every change of folder returns to Name, ascending. One sorter per list; it gives the list its
// header and row delegate.
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

    TListDelegate* Delegate() const { return RowDelegate; }
    TSortHeaderView* Header() const { return SortHeader; }

protected:
    // Paints the sort column's tint below the last row before the rows are drawn.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ResetSort();
    void ShowSortState();
    QString CaptionOf(int column) const;

    TXListView& View;
    // Kept from construction: the filter must not ask a view being destroyed for its viewport.
    QWidget* Viewport = nullptr;
    TListDelegate* RowDelegate;
    TSortHeaderView* SortHeader;
    int Column = 0;
    bool Ascending = true;
    QString Caption;
};
