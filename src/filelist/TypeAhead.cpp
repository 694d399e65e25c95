#include "TypeAhead.h"

#include "CompareText.h"
#include "TListRowSource.h"

int TypeAheadRow(const TListRowSource& rows, QStringView text, int start, bool wrap) {
    const int count = rows.RowCount();
    if (text.isEmpty() || start < 0 || start >= count)
        return -1;
    int row = start;
    do {
        if (rows.RowShown(row) && StartsWithText(rows.RowName(row), text))
            return row;
        if (++row == count) {
            if (!wrap)
                return -1;
            row = 0;
        }
    } while (row != start);
    return -1;
}
