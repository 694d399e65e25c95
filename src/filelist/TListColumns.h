#pragma once

#include <QString>

#include <vector>

class TProfileFile;

// One column of the folder list: its number (0 for Name, Size and Modified, 1..37 for an
// information column), header caption and width in pixels (-1: keep the default).
struct TListColumn {
    int Number = 0;
    QString Caption;
    int Width = -1;
};

// The list's column set and its place in the settings file: the "Columns" section names the
// information columns shown behind the three fixed ones, "ColumnWidths" keeps every
// column's width.
class TListColumns {
public:
    static constexpr int NameWidth = 150;
    static constexpr int SizeWidth = 75;
    static constexpr int ModifiedWidth = 120;
    static constexpr int ExtendedWidth = 100;
    // Information columns: 1..34 of the tagging system, then the list's own loudness columns.
    static constexpr int LastNumber = 37;

    // The caption of information column `number`; empty outside 1..LastNumber.
    static QString CaptionOf(int number);

    // Name, Size and Modified with their designed widths.
    static std::vector<TListColumn> Fixed();

    // The fixed columns followed by one column per "Columns" key in file order, captioned
    // with the key's value (the catalogue caption when the value is empty). A key that is
    // not a decimal number 1..LastNumber, or names a column already added, is passed over. Then the
    // widths of "ColumnWidths": "Width<i>" for i below "Count" sets column i unless it is -1
    // or below zero; widths for columns that do not exist are ignored.
    static std::vector<TListColumn> FromSettings(const TProfileFile& settings);

    // "ColumnWidths": "Count" = number of columns and "Width<i>" for each, in one write.
    static bool WriteWidths(TProfileFile& settings, const std::vector<TListColumn>& columns);

    // Section and key names.
    static QString ColumnsSection() { return QStringLiteral("Columns"); }
    static QString WidthsSection() { return QStringLiteral("ColumnWidths"); }
};
