#include "TListFinder.h"

#include "TListRowSource.h"

#include <algorithm>

void TListFinder::Reset() {
    FindColumn = 0;
    FindPattern.clear();
    FindRow = 0;
}

TFindResult TListFinder::FindFirst(TListRowSource& rows, int columnNumber, const QString& text) {
    if (text.isEmpty() || rows.RowCount() == 0)
        return {};
    FindColumn = columnNumber;
    FindPattern = Locale.toLower(text);
    FindRow = 0;
    return FindNext(rows);
}

TFindResult TListFinder::FindNext(TListRowSource& rows) {
    if (FindRow < 0 || FindRow >= rows.RowCount())
        return {TFindOutcome::PastEnd, -1};
    int row = Search(rows, FindRow);
    // A search that started at the top has seen every row already.
    if (row < 0 && FindRow > 0)
        row = Search(rows, 0);
    if (row < 0) {
        FindRow = 0;
        return {TFindOutcome::NotFound, -1};
    }
    FindRow = row + 1;
    return {TFindOutcome::Found, row};
}

QString TListFinder::NotFoundText(const QString& pattern) {
    return QStringLiteral("Search text '") + pattern + QStringLiteral("' not found");
}

int TListFinder::Search(TListRowSource& rows, int first) {
    for (int row = first; row < rows.RowCount(); ++row) {
        if (RowMatches(rows, row))
            return row;
    }
    return -1;
}

bool TListFinder::RowMatches(TListRowSource& rows, int row) {
    if (!rows.RowShown(row))
        return false;
    QString text;
    if (FindColumn == 0) {
        text = rows.RowName(row);
    } else {
        if (rows.RowStale(row))
            rows.ReadRows(row, std::min(row + ReadBlock - 1, rows.RowCount() - 1));
        text = rows.RowValue(row, FindColumn);
    }
    return Locale.toLower(text).contains(FindPattern);
}
