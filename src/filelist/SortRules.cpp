#include "SortRules.h"

#include "CompareText.h"
#include "TLoudnessColumns.h"
#include "TShellItem.h"
#include "TagCatalogue.h"
#include "TextForms.h"

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

TSortKind SortKindOfValueColumn(int number) {
    if (number == TTagCatalogue::TimeColumn)
        return TSortKind::Milliseconds;
    if (TLoudnessColumns::Contains(number))
        return TSortKind::Figure;
    const TTagKeyInfo* key = TTagCatalogue::KeyOfColumn(number);
    if (key != nullptr &&
        (key->Form == TValueForm::MarkerFromStart || key->Form == TValueForm::MarkerBeforeEnd))
        return TSortKind::Milliseconds;
    return TSortKind::Value;
}

qint64 SortMilliseconds(int number, QStringView text) {
    const QString value = text.trimmed().toString();
    if (number == TTagCatalogue::TimeColumn) {
        // "Zero" (no length could be read) and other words hold no time.
        if (value.isEmpty() || !value.contains(u':'))
            return -1;
        return qint64(TextToMs(value));
    }
    if (!IsDigitsOnly(value))
        return -1;
    bool ok = false;
    const qint64 ms = value.toLongLong(&ok);
    return ok ? ms : -1;
}

int CompareNameOrder(const TNameOrderFields& a, const TNameOrderFields& b) {
    if (const int r = CompareGroup(a.NotFileSystem, b.NotFileSystem))
        return r;
    if (const int r = CompareGroup(a.IsFolder, b.IsFolder))
        return r;
    return CompareText(a.DisplayName, b.DisplayName);
}

namespace {

template <typename T> int CompareOrdered(const T& a, const T& b) {
    if (a < b)
        return -1;
    return b < a ? 1 : 0;
}

int CompareAscending(TSortKind kind, const TSortFields& a, const TSortFields& b) {
    if (kind == TSortKind::Name)
        return CompareNameOrder({a.NotFileSystem, a.IsFolder, a.DisplayName},
                                {b.NotFileSystem, b.IsFolder, b.DisplayName});
    if (kind == TSortKind::Value)
        return CompareTextOrder({a.IsFolder, a.Value}, {b.IsFolder, b.Value});
    if (const int r = CompareGroup(a.IsFolder, b.IsFolder))
        return r;
    switch (kind) {
    case TSortKind::Name: // ordered above
        break;
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
    case TSortKind::Value: // ordered above
        break;
    case TSortKind::Milliseconds:
        // Texts without a value (empty, "Zero") first, among themselves by their text.
        if (const int r = CompareOrdered(a.Milliseconds >= 0, b.Milliseconds >= 0))
            return r;
        if (a.Milliseconds < 0)
            return CompareText(a.Value, b.Value);
        return CompareOrdered(a.Milliseconds, b.Milliseconds);
    case TSortKind::Figure:
        // Rows not measured first, as empty texts come first elsewhere.
        if (const int r = CompareOrdered(a.Figure.has_value(), b.Figure.has_value()))
            return r;
        if (!a.Figure)
            return CompareText(a.Value, b.Value);
        return CompareOrdered(*a.Figure, *b.Figure);
    }
    return 0;
}

} // namespace

int CompareSortFields(TSortKind kind, const TSortFields& a, const TSortFields& b, bool ascending) {
    const int r = CompareAscending(kind, a, b);
    return ascending ? r : -r;
}

void SortFieldsOf(const TShellItem& entry, TSortKind kind, int number, TSortFields& fields) {
    fields.NotFileSystem = entry.NotFileSystem;
    fields.IsFolder = entry.IsFolder;
    fields.DisplayName = entry.DisplayName;
    fields.ParsingName = entry.ParsingName;
    fields.Size = entry.Size;
    fields.ModifiedTime = entry.ModifiedTime;
    if (kind == TSortKind::Value || kind == TSortKind::Milliseconds || kind == TSortKind::Figure) {
        // A view into the entry's own text: a sort copies no text.
        fields.Value = entry.ValueView(number);
        if (kind == TSortKind::Milliseconds)
            fields.Milliseconds = SortMilliseconds(number, fields.Value);
        else if (kind == TSortKind::Figure)
            fields.Figure = TLoudnessColumns::ValueOf(fields.Value);
    }
}
