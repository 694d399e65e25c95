#pragma once

#include "TListColumns.h"
#include "TTagCache.h"

#include <QDateTime>

#include <cstdint>
#include <vector>

class TOpenAudioFile;
class TShellItem;

// What one pass over the list's rows reads of each audio file, decided once from the
// columns shown: nothing of the audio files while only Name, Size and Modified are shown;
// format and length only when their columns are; every tag column from one open.
struct TDetailPlan {
    bool Audio = false;          // more than the three fixed columns are shown
    bool Format = false;         // column 1
    bool Time = false;           // column 2
    std::vector<int> TagColumns; // numbers 3..34 in list order
    bool Loudness = false;       // a loudness column (from measurements, not the file)
};

// Reads an entry's details: size, date and mode from the file system, and for audio files
// the information columns through the two service libraries.
class TDetailReader {
public:
    static TDetailPlan Plan(const std::vector<TListColumn>& columns);
    // Adds the columns of the air dates (start, end and the daily window) to a plan, so a
    // row's validity is known whatever columns are shown; they come from the same open.
    static void AddAirColumns(TDetailPlan& plan);

    // The columns a plan reads (bit n for information column n).
    static uint64_t ColumnsOf(const TDetailPlan& plan);

    // Size, mode and last write time of the entry's path (following a link; a dangling link
    // reports itself). A path that cannot be examined gives size 0, mode 0 and no modified
    // time. Returns the stamp of what was examined (unknown when nothing was).
    // useListed takes the listing's examination of the entry, when it has one, instead of
    // examining the path again; either way that examination is then used up.
    static TFileStamp ReadFileData(TShellItem& entry, bool useListed = false);
    // The same from an examination already made (of the file opened for its details).
    static TFileStamp TakeFileData(TShellItem& entry, const struct stat& st);
    // The local time of an instant (nanoseconds since the epoch) as a fixed offset from UTC;
    // invalid when it cannot be had.
    static QDateTime LocalTime(int64_t ns);
    // Reads the zone's rules again (once a pass), so LocalTime follows a change of zone.
    static void ZoneMayHaveChanged();

    // The information columns of an audio file (a file-system file whose extension is
    // ".wav", ".mp2" or ".mp3" in any case); other entries are left alone. ReadFailed
    // tells whether this read failed, so a file repaired since its last read is no longer
    // marked. Values of columns that could not be read keep their previous texts.
    // opened, when given, is the entry's file already open: the libraries read it there
    // instead of opening it again, where they offer that.
    static void ReadAudio(TShellItem& entry, const TDetailPlan& plan,
                          const TOpenAudioFile* opened = nullptr);
    // Whether ReadAudio makes use of an open file for this plan with the bound libraries.
    static bool ReadsOpenFiles(const TDetailPlan& plan);

private:
    // Takes an examination's facts into the entry (mode 0: nothing could be examined).
    static TFileStamp Take(TShellItem& entry, const TFileStamp& stamp, uint32_t mode);
};
