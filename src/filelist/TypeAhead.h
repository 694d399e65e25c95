#pragma once

#include <QStringView>

class TListRowSource;

// The row that type-ahead moves to: the first row from `start` on whose name begins with
// `text` (only ASCII letters folded). After the last row the search goes on at row 0 when
// `wrap` is set; it stops on coming back to `start`. -1 when no row matches (the current row
// stays), when `text` is empty or `start` is outside the rows.
int TypeAheadRow(const TListRowSource& rows, QStringView text, int start, bool wrap);
