#pragma once

#include "TListFinder.h"
#include "TListRowSource.h"
#include "TTypeAheadText.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

class TListSorter;
class TXListView;

// Find, Find Next and type-ahead on the folder list. Find selects the next row whose text in
// the searched column contains the pattern and scrolls it into view, leaving the focus and the
// current row alone; nothing found is told in a message. Typing while the list has the focus
// moves to the next row whose name begins with the typed letters (only ASCII letters folded;
// the search wraps to the top).
class TListSearch : public QObject, private TListRowSource {
    Q_OBJECT

public:
    TListSearch(TXListView& view, const TListSorter* sorter = nullptr);

    // column 0 searches the names, else the information column of that number. False for an
    // empty text (nothing searched, no message) or when no row matched.
    bool FindFirst(int columnNumber, const QString& text);
    bool FindNext();
    const TListFinder& Finder() const { return Search; }

    // What the find dialog offers after "File Name": the captions of the information columns
    // in list order, and the column number of its k-th entry (0 for the name).
    QStringList ColumnCaptions() const;
    int ColumnNumberOfChoice(int k) const;

    // The typed text and its timing rule (the interval: the platform's keyboard interval).
    TTypeAheadText Typing;
    void ResetTypeAhead() { Typing.Reset(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int RowCount() const override;
    QString RowName(int row) const override;
    bool RowStale(int row) const override;
    void ReadRows(int first, int last) override;
    QString RowValue(int row, int columnNumber) const override;
    bool RowShown(int row) const override;

    bool Show(const TFindResult& result);
    bool TypeAhead(const QString& text);

    TXListView& View;
    const TListSorter* Sorter;
    TListFinder Search;
    QElapsedTimer Clock; // the times of typed letters
};
