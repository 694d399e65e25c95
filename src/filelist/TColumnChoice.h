#pragma once

#include "TListColumns.h"

#include <QString>

#include <array>
#include <vector>

class TProfileFile;

// The rules of choosing the information columns, apart from the dialog that shows them: which
// catalogue entries start ticked, what the count label says, the column set a confirmed choice
// gives and how it is written to the settings file.
class TColumnChoice {
public:
    static constexpr int Count = TListColumns::LastNumber;
    using TTicks = std::array<bool, Count>; // index n - 1 for column number n

    // "None Selected" for no tick, else the number, then " Selected".
    static QString CountText(int ticked);
    static int CountTicked(const TTicks& ticks);

    // The ticks for the list's columns: every column after the three fixed ones ticks its
    // number; numbers outside 1..Count (a hand-edited settings file) tick nothing.
    static TTicks TicksOf(const std::vector<TListColumn>& columns);

    // The column set after a confirmed choice: the list's first three columns as they are,
    // then one column per tick in catalogue order with the catalogue caption. A column that
    // stays ticked keeps the width the user gave it; a new one, or one the user had shrunk to
    // width 0, is ExtendedWidth wide.
    static std::vector<TListColumn> Rebuilt(const std::vector<TListColumn>& columns,
                                            const TTicks& ticks);

    // Replaces the "Columns" section by one entry per tick in ascending order (key: the
    // number in decimal, value: the caption); with no tick the section stays, empty.
    static bool WriteSettings(TProfileFile& settings, const TTicks& ticks);
};
