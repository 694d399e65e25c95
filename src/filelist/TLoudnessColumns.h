#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "TLoudnessFigures.h"
#include "TTagCache.h"

#include <optional>

// The list's own columns after the 34 of the tagging system: "Loudness", "Loudness range"
// and "True peak", filled from measurements kept in the tag cache (never by reading audio
// while the list reads its rows).
class TLoudnessColumns {
public:
    static constexpr int Loudness = 35;
    static constexpr int Range = 36;
    static constexpr int TruePeak = 37;
    static constexpr int First = Loudness;
    static constexpr int Last = TruePeak;
    static constexpr const char* CacheKind = "loudness";

    static bool Contains(int number) { return number >= First && number <= Last; }
    // The caption; empty outside First..Last.
    static QString Caption(int number);
    // "-23.0 LUFS", "7.4 LU", "-1.2 dBTP" ("-inf" for silence); empty outside First..Last.
    static QString Text(int number, const TLoudnessFigures& figures);
    // The value a column's text shows, for sorting; nothing for an empty or foreign text.
    static std::optional<double> ValueOf(QStringView text);
};

// The measurements of a shown folder's files, taken from the cache in one query when a pass
// first needs them and given to entries whose file is still as it was measured.
class TLoudnessRows {
public:
    void Load(TTagCache& cache, const QByteArray& folder);
    void Clear();
    bool Loaded() const { return IsLoaded; }
    // Sets the entry's loudness columns from the file's measurement (empty without one). A
    // row whose stamp moved since the folder was loaded (a save of the file's tags carries
    // its measurement over) is asked of the cache again.
    void Fill(TShellItem& entry, const QByteArray& name, const TFileStamp& stamp);
    // The loudness columns of an entry from figures just measured.
    static void Show(TShellItem& entry, const TLoudnessFigures& figures);

private:
    TTagCache* Cache = nullptr;
    QByteArray Folder;
    TTagCache::TFolderAnalyses Rows;
    bool IsLoaded = false;
};
