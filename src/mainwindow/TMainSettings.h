#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class TProfileFile;

// The main window's values in Cuemark.ini, read at start and written at the end of a run.
// Widget-free: the window fills it from its controls and applies it to them. The end of a
// run is written as one batch, committed in one replace of the file, so a run killed at
// any moment leaves the old settings or the new ones, never half of each.
//
// The browser's values ("Folder", size, columns) belong to browser mode only: single-file
// mode neither reads nor writes them, and a value left unset (nullopt) is not written, so
// a part of the window that does not exist yet cannot erase what it would have kept.
struct TMainSettings {
    static constexpr int MaxCategories = 128;
    static constexpr int Unset = -1; // "keep the designed position or size"

    int ActivePage = 0;
    bool ToneMode = true;
    int Left = Unset;
    int Top = Unset;
    bool UseCodec = false;
    // The category box's entries in order (at most 128 are read; reading stops at the
    // first empty value).
    QStringList Categories;

    // --- browser mode
    int Height = Unset;
    int Width = Unset;
    std::optional<QString> Folder; // unset when the file has no "Folder"
    // "Columns": (column number, caption) in file order; keys that are not numbers are
    // kept as they read (the browser decides what to do with them).
    std::optional<QList<QPair<QString, QString>>> Columns;
    // "ColumnWidths": the width of each list column, fixed columns included.
    std::optional<QList<int>> ColumnWidths;

    static TMainSettings Read(const TProfileFile& file, bool browserMode);
    // False when the file could not be written.
    bool Write(TProfileFile& file, bool browserMode) const;
};
