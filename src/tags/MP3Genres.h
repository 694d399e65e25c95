#pragma once

#include <QString>
#include <QStringList>

#include <span>

// The genre names offered by the editor's genre combo: the 148 names in the order of the
// ID3v1 genre numbers (standard list 0-79, Winamp extension 80-147) in this system's own
// spellings, and the same names sorted alphabetically without regard to letter case by
// the locale-aware comparison. Only names are stored in files, never numbers.
class TMP3Genres {
public:
    static constexpr int EntryCount = 148;

    TMP3Genres();

    int Count() const { return EntryCount; }
    // The name at that position of the sorted list; empty text outside 0..Count() - 1.
    QString Name(int index) const;
    const QStringList& Sorted() const { return SortedNames; }

    // The table in genre-number order.
    static std::span<const char* const> Table();

private:
    QStringList SortedNames;
};
