#include "TListSearch.h"

#include "TListSorter.h"
#include "TMessages.h"
#include "TShellItem.h"
#include "TXListView.h"
#include "TypeAhead.h"

#include <QApplication>
#include <QKeyEvent>

TListSearch::TListSearch(TXListView& view, const TListSorter* sorter)
    : QObject(&view), Typing(QApplication::keyboardInputInterval()), View(view), Sorter(sorter) {
    Clock.start();
    View.installEventFilter(this);
    connect(&View, &TXListView::OnFolderChange, this, [this] {
        Search.Reset();
        Typing.Reset();
    });
}

bool TListSearch::FindFirst(int columnNumber, const QString& text) {
    return Show(Search.FindFirst(*this, columnNumber, text));
}

bool TListSearch::FindNext() {
    return Show(Search.FindNext(*this));
}

QStringList TListSearch::ColumnCaptions() const {
    QStringList captions;
    const TFolderListModel& model = View.ListModel();
    for (int c = 3; c < model.columnCount(); ++c) {
        if (Sorter != nullptr && c == Sorter->SortColumn())
            captions << Sorter->SortCaption();
        else
            captions << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    return captions;
}

int TListSearch::ColumnNumberOfChoice(int k) const {
    const auto& columns = View.ListModel().Columns();
    if (k <= 0 || k + 2 >= static_cast<int>(columns.size()))
        return 0;
    return columns[size_t(k + 2)].Number;
}

bool TListSearch::Show(const TFindResult& result) {
    if (result.Outcome == TFindOutcome::NotFound)
        Messages().Information(TListFinder::NotFoundText(Search.FindPattern), &View);
    if (!result.Found())
        return false;
    // Select and show the row; the focus and the current row stay where they are.
    const QModelIndex index = View.ListModel().index(result.Row, 0);
    View.selectionModel()->select(index,
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    View.scrollTo(index, QAbstractItemView::EnsureVisible);
    return true;
}

bool TListSearch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &View && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const QString text = key->text();
        // Keys of a name being edited go to the editor, not to the list.
        if (mods == Qt::NoModifier && !text.isEmpty() && text.at(0).isPrint())
            return TypeAhead(text);
    }
    return QObject::eventFilter(watched, event);
}

bool TListSearch::TypeAhead(const QString& text) {
    const bool extend = Typing.Type(text, Clock.elapsed());
    const int count = View.ListModel().Count();
    if (count == 0)
        return true;
    // A new search starts below the current row, a longer text tries the current row first.
    const int current = View.currentIndex().isValid() ? View.currentIndex().row() : -1;
    int start = extend ? current : current + 1;
    if (start < 0 || start >= count)
        start = 0;
    const int row = TypeAheadRow(*this, Typing.Text(), start, true);
    if (row >= 0) {
        View.SelectRow(row);
        View.scrollTo(View.ListModel().index(row, 0), QAbstractItemView::EnsureVisible);
    }
    return true;
}

int TListSearch::RowCount() const {
    return View.ListModel().Count();
}

QString TListSearch::RowName(int row) const {
    return View.ListModel().Entry(row).DisplayName;
}

bool TListSearch::RowStale(int row) const {
    return View.ListModel().Entry(row).Stale;
}

void TListSearch::ReadRows(int first, int last) {
    View.ReadEntryDetails(first, last);
}

QString TListSearch::RowValue(int row, int columnNumber) const {
    return View.ListModel().Entry(row).Value(columnNumber);
}

bool TListSearch::RowShown(int row) const {
    return !View.isRowHidden(row, QModelIndex());
}
