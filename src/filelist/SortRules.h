#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QStringView>
#include <QtGlobal>

#include "CompareText.h"

#include <optional>

// The rules by which the folder list orders its rows. They take the values they compare, so
// the list's comparator only has to point at an entry's fields.

// The rule of a list column, by its position: Name, Size and Modified have their own, every
// later (information) column compares its texts.
enum class TSortKind { Name, Size, Modified, Value, Milliseconds, Figure };

TSortKind SortKindOfColumn(int columnIndex);
// An information column's rule by its number: Length and the marker columns compare their
// values in milliseconds (a text order would put "01:00:00.0" before "02:00.0"), the loudness
// columns their figures ("-9.5 LUFS" above "-23.0 LUFS"), the rest their texts.
TSortKind SortKindOfValueColumn(int number);
// The milliseconds of such a column's text ("02:00.0", "1500"); -1 when it holds none.
qint64 SortMilliseconds(int number, QStringView text);

// What one entry offers the comparison. Views, not copies: building one per comparison is
// free as long as the entry outlives it.
struct TSortFields {
    bool NotFileSystem = false;
    bool IsFolder = false;
    QStringView DisplayName;
    QByteArrayView ParsingName;   // path bytes
    qint64 Size = 0;              // the whole size in bytes
    QDateTime ModifiedTime;       // invalid (earliest) until read
    QStringView Value;            // the sort column's text (information columns only)
    qint64 Milliseconds = -1;     // its value in ms (Milliseconds kind; -1 for none)
    std::optional<double> Figure; // its figure (Figure kind)
};

// -1, 0 or 1: -1 when only `aFirst` holds, 1 when only `bFirst` holds. Grouping folders
// apart from files (and non-file-system items before the rest) in every column.
inline int CompareGroup(bool aFirst, bool bFirst) {
    if (aFirst == bFirst)
        return 0;
    return aFirst ? -1 : 1;
}

// What the Name column's order looks at.
struct TNameOrderFields {
    bool NotFileSystem = false;
    bool IsFolder = false;
    QStringView DisplayName;
};
// The Name column's ascending order (CompareSortFields with TSortKind::Name), from only what
// it looks at: a folder's rows are put in it as they are listed.
int CompareNameOrder(const TNameOrderFields& a, const TNameOrderFields& b);

// What a text column's order looks at.
struct TTextOrderFields {
    bool IsFolder = false;
    QStringView Value;
};
// A text column's ascending order (CompareSortFields with TSortKind::Value), from only what it
// looks at: a sort by such a column compares small keys.
inline int CompareTextOrder(const TTextOrderFields& a, const TTextOrderFields& b) {
    if (const int r = CompareGroup(a.IsFolder, b.IsFolder))
        return r;
    return CompareText(a.Value, b.Value);
}

// Negative when `a` comes first in ascending order; the result is negated for descending
// order, which reverses the grouping too (files before folders).
int CompareSortFields(TSortKind kind, const TSortFields& a, const TSortFields& b, bool ascending);

class TShellItem;
// What an entry offers a comparison by a rule (number: the information column's, for the rules
// of its texts): views into the entry, no copies.
void SortFieldsOf(const TShellItem& entry, TSortKind kind, int number, TSortFields& fields);
