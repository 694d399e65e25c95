#include "TListSorter.h"

#include "SortRules.h"
#include "TShellItem.h"
#include "TXListView.h"

TListSorter::TListSorter(TXListView& view) : QObject(&view), View(view) {
    connect(&View, &TXListView::OnFolderChange, this, [this] { ResetSort(); });
    ResetSort();
}

TSortKind TListSorter::SortKind() const {
    const TSortKind kind = SortKindOfColumn(Column);
    return kind == TSortKind::Value ? SortKindOfValueColumn(ValueNumber()) : kind;
}

int TListSorter::ValueNumber() const {
    const auto& columns = View.ListModel().Columns();
    return Column < static_cast<int>(columns.size()) ? columns[size_t(Column)].Number : 0;
}

int TListSorter::CompareEntries(const TShellItem& a, const TShellItem& b) const {
    const TSortKind kind = SortKind();
    const int number = ValueNumber();
    TSortFields fa, fb;
    SortFieldsOf(a, kind, number, fa);
    SortFieldsOf(b, kind, number, fb);
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
    // Each entry's fields once, not at every comparison: the order CompareEntries gives.
    const TSortKind kind = SortKind();
    const int number = ValueNumber();
    model.SortEntries(
        [kind, number](const TShellItem& entry, TSortFields& fields) {
            SortFieldsOf(entry, kind, number, fields);
        },
        kind, Ascending);
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
