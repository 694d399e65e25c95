#pragma once

#include <QString>

// The rows of the folder list as find and type-ahead see them, so that their rules work (and
// are tested) without the view: the list object answers from its entries.
class TListRowSource {
public:
    virtual ~TListRowSource() = default;

    virtual int RowCount() const = 0;
    // The row's display name (the Name column's text).
    virtual QString RowName(int row) const = 0;
    // True while the row's details (and so its information texts) are still to be read.
    virtual bool RowStale(int row) const = 0;
    // Read the details of the stale rows first..last (both within 0..RowCount() - 1).
    virtual void ReadRows(int first, int last) = 0;
    // The text of the information column `columnNumber` (1..37) of the row.
    virtual QString RowValue(int row, int columnNumber) const = 0;
    // False for a row a filter hides: searches pass over it.
    virtual bool RowShown(int /*row*/) const { return true; }
};
