#include "SortRules.h"

#include "CompareText.h"

TSortKind SortKindOfColumn(int columnIndex) {
    switch (columnIndex) {
    case 0:
        return TSortKind::Name;
    case 1:
        return TSortKind::Size;
    case 2:
        return TSortKind::Modified;
    default:
        return TSortKind::Value;
    }
}

int CompareGroup(bool aFirst, bool bFirst) {
    if (aFirst == bFirst)
        return 0;
    return aFirst ? -1 : 1;
}

namespace {

template <typename T> int CompareOrdered(const T& a, const T& b) {
    if (a < b)
        return -1;
    return b < a ? 1 : 0;
}

int CompareAscending(TSortKind kind, const TSortFields& a, const TSortFields& b) {
    if (kind == TSortKind::Name) {
        if (const int r = CompareGroup(a.NotFileSystem, b.NotFileSystem))
            return r;
    }
    if (const int r = CompareGroup(a.IsFolder, b.IsFolder))
        return r;
    switch (kind) {
    case TSortKind::Name:
        return CompareText(a.DisplayName, b.DisplayName);
    case TSortKind::Size:
        // Folders have no size of their own: they keep the order of their paths.
        if (a.IsFolder)
            return CompareText(a.ParsingName, b.ParsingName);
        return CompareOrdered(a.Size, b.Size);
    case TSortKind::Modified:
        // A time not read yet (invalid) comes before every real one.
        if (const int r = CompareOrdered(a.ModifiedTime.isValid(), b.ModifiedTime.isValid()))
            return r;
        return CompareOrdered(a.ModifiedTime, b.ModifiedTime);
    case TSortKind::Value:
        return CompareText(a.Value, b.Value);
    }
    return 0;
}

} // namespace

int CompareSortFields(TSortKind kind, const TSortFields& a, const TSortFields& b, bool ascending) {
    const int r = CompareAscending(kind, a, b);
    return ascending ? r : -r;
}
