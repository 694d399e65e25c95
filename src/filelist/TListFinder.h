#pragma once

#include <QLocale>
#include <QString>

class TListRowSource;

// How a search of the list ended.
enum class TFindOutcome {
    Found,           // Row is the match: select it and scroll it into view
    NotFound,        // no row holds the text: tell the user (NotFoundText)
    PastEnd,         // the last match was the last row: nothing happens, quietly
    NothingToSearch, // empty text or no rows: nothing happens, quietly
};

struct TFindResult {
    TFindOutcome Outcome = TFindOutcome::NothingToSearch;
    int Row = -1;

    bool Found() const { return Outcome == TFindOutcome::Found; }
};

// The list's Find and Find Next: which column is searched, for what, and where the next
// search goes on. A row matches when its text in the column contains the pattern, both
// lower-cased by the locale's rules. Information columns of rows not read yet are read in
// blocks of eleven rows as the search reaches them, so a search that stops early reads only
// part of a large folder.
class TListFinder {
public:
    static constexpr int ReadBlock = 11;

    int FindColumn = 0; // 0: the file name; else the information column's number
    QString FindPattern;
    int FindRow = 0; // where Find Next goes on
    QLocale Locale = QLocale::system();

    // Back to the state of a newly shown folder.
    void Reset();
    // Start a search; an empty text or an empty list changes nothing.
    TFindResult FindFirst(TListRowSource& rows, int columnNumber, const QString& text);
    // Go on below the last match, wrapping to the top once.
    TFindResult FindNext(TListRowSource& rows);

    // "Search text '<pattern>' not found".
    static QString NotFoundText(const QString& pattern);

private:
    bool RowMatches(TListRowSource& rows, int row);
    int Search(TListRowSource& rows, int first);
};
