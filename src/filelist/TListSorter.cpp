#include "TListSorter.h"

#include "SortRules.h"
#include "TLoudnessColumns.h"
#include "TShellItem.h"
#include "TXListView.h"

TListSorter::TListSorter(TXListView& view) : QObject(&view), View(view) {
    connect(&View, &TXListView::OnFolderChange, this, [this] { ResetSort(); });
    ResetSort();
}

int TListSorter::CompareEntries(const TShellItem& a, const TShellItem& b) const {
    TSortKind kind = SortKindOfColumn(Column);
    TSortFields fa, fb;
    fa.NotFileSystem = a.NotFileSystem;
    fb.NotFileSystem = b.NotFileSystem;
    fa.IsFolder = a.IsFolder;
    fb.IsFolder = b.IsFolder;
    fa.DisplayName = a.DisplayName;
    fb.DisplayName = b.DisplayName;
    fa.ParsingName = a.ParsingName;
    fb.ParsingName = b.ParsingName;
    fa.Size = a.Size;
    fb.Size = b.Size;
    fa.ModifiedTime = a.ModifiedTime;
    fb.ModifiedTime = b.ModifiedTime;
    if (kind == TSortKind::Value) {
        const auto& columns = View.ListModel().Columns();
        const int number =
            Column < static_cast<int>(columns.size()) ? columns[size_t(Column)].Number : 0;
        // Views into the entries' own texts: a sort copies no text.
        fa.Value = a.ValueView(number);
        fb.Value = b.ValueView(number);
        kind = SortKindOfValueColumn(number);
        if (kind == TSortKind::Milliseconds) {
            fa.Milliseconds = SortMilliseconds(number, fa.Value);
            fb.Milliseconds = SortMilliseconds(number, fb.Value);
        } else if (kind == TSortKind::Figure) {
            fa.Figure = TLoudnessColumns::ValueOf(fa.Value);
            fb.Figure = TLoudnessColumns::ValueOf(fb.Value);
        }
    }
    return CompareSortFields(kind, fa, fb, Ascending);
}

void TListSorter::SortByColumn(int column) {
    TFolderListModel& model = View.ListModel();
    if (column < 0 || column >= model.columnCount())
        return;
    if (column > 0 && model.Count() > 0) {
        View.ReadEntryDetails(0, model.Count() - 1);
        if (model.LastPassCancelled())
            return; // an unfinished sort is not applied
    }
    Ascending = column != Column || !Ascending;
    Column = column;
    // Rows move with their entries: the selection stays on them.
    model.SetSortLess(
        [this](const TShellItem& a, const TShellItem& b) { return CompareEntries(a, b) < 0; });
    model.SortEntries(model.SortOrder());
    Caption = CaptionOf(column);
    ShowSortState();
    const QList<int> selected = View.SelectedRows();
    if (!selected.isEmpty())
        View.scrollTo(model.index(selected.first(), 0), QAbstractItemView::EnsureVisible);
}

void TListSorter::ResetView() {
    View.selectionModel()->clearSelection();
    ResetSort();
}

void TListSorter::ResetSort() {
    Column = 0;
    Ascending = true;
    Caption = CaptionOf(0);
    View.ListModel().SetSortLess(
        [this](const TShellItem& a, const TShellItem& b) { return CompareEntries(a, b) < 0; });
    ShowSortState();
}

void TListSorter::ShowSortState() {
    emit SortChanged();
    View.viewport()->update();
}

QString TListSorter::CaptionOf(int column) const {
    return View.ListModel().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}
