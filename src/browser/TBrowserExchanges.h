#pragma once

class QWidget;
class TListSearch;
class TListSorter;
class TProfileFile;
class TXListView;

// The browser's Find and Select Columns exchanges: each shows its dialog, which only answers
// the user's choice, and applies that choice to the list.
class TBrowserExchanges {
public:
    // Find: the dialog over the toolbar with the list's information columns, then the search
    // however the dialog closed. True when a row was found (Find Next is enabled exactly then).
    static bool Find(QWidget* owner, QWidget* toolBar, TListSearch& search);

    // Select Columns: ticks from the list's columns, the dialog over the list, and on OK the
    // sort back to Name with no selection, the choice written to "Columns", the information
    // columns rebuilt in catalogue order, every row read again and the folder re-read with
    // sorting. False (nothing changed) on Cancel.
    static bool SelectColumns(QWidget* owner, TXListView& list, TListSorter& sorter,
                              TProfileFile& settings);
};
