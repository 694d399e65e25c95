#include "TBrowserExchanges.h"

#include "Find.h"
#include "Selectcolumns.h"
#include "TColumnChoice.h"
#include "TListSearch.h"
#include "TListSorter.h"
#include "TXListView.h"

bool TBrowserExchanges::Find(QWidget* owner, QWidget* toolBar, TListSearch& search) {
    const TFrmFind::TChoice choice = TFrmFind::Ask(owner, toolBar, search.ColumnCaptions());
    return search.FindFirst(search.ColumnNumberOfChoice(choice.ColumnIndex), choice.Text);
}

bool TBrowserExchanges::SelectColumns(QWidget* owner, TXListView& list, TListSorter& sorter,
                                      TProfileFile& settings) {
    const auto ticks =
        TFrmSelectColumns::Choose(owner, &list, TColumnChoice::TicksOf(list.Columns()));
    if (!ticks)
        return false;
    // Back to Name before the columns change: the sort column may be one that goes.
    sorter.ResetView();
    TColumnChoice::WriteSettings(settings, *ticks);
    list.SetColumns(TColumnChoice::Rebuilt(list.Columns(), *ticks));
    list.MarkAllStale();
    list.RefreshFolder(true);
    return true;
}
