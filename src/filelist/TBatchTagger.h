#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "TTagCache.h"

#include <functional>
#include <optional>

// Setting one information field on many files at once from an extended column's header: the
// widget-free part. The list asks the column's picker, hands the modal result and the values
// to Prepare, and runs the prepared writes over the selected paths through the tagging
// library (AudioLibs()). Unlike a silent walk, every file whose changes were not stored is
// reported, with the library's reason, so the user knows which rows still hold old values.
class TBatchTagger {
public:
    // Which picker serves a column.
    enum class TPicker {
        None,      // 0, 1 ("Format"), 2 ("Time") and unknown numbers: the click does nothing
        Text,      // TFrmText: 3 to 9, 14 to 34
        DateTime,  // TFrmDateTime: 10, 11
        TimeWindow // TFrmTimeTool: 12, 13
    };
    static TPicker PickerFor(int column);

    // One call into the library for every file.
    struct TWrite {
        QByteArray Key;
        std::optional<QByteArray> Text; // nothing: RemoveTag
        bool Chunk = false;             // "DISP": SetChunkInfo, also for an empty text
    };
    struct TRequest {
        int Column = 0;
        QList<TWrite> Writes;
        std::optional<QString> Value; // the column's new cached text; nothing: unchanged
    };

    // The picker's outcome turned into writes: modal result 1 ("Set") keeps the values, 3
    // ("Clear") empties them, anything else cancels. Nothing to do (cancel, a time without a
    // date, a column without a picker, values that write nothing) gives nothing. `text` is the
    // text picker's value, `dateText` and `timeText` the date-time picker's fields, and for
    // the time windows `timeText` is the picked time as "hh:nn".
    static std::optional<TRequest> Prepare(int column, int modalResult, const QString& text,
                                           const QString& dateText, const QString& timeText);

    struct TFileResult {
        enum class TOutcome {
            PassedOver, // not an audio file by its extension, or a folder
            Written,    // every change stored; the row's cached text is Value
            Failed      // not opened or not stored; the row must be read again
        };
        QByteArray Path;
        TOutcome Outcome = TOutcome::PassedOver;
        QString Reason;           // the library's reason for a failure, when it gives one
        TFileStamp Before, After; // the file around a write (analyses move to After)
    };
    // Called after each file with (k + 1) * 100 / count.
    using TProgress = std::function<void(int percent)>;

    // Writes the request into each path in order (".wav", ".mp2", ".mp3").
    static QList<TFileResult> Run(const TRequest& request, const QList<QByteArray>& paths,
                                  const TProgress& progress = {});

    // The one message after a walk with failures: "N files could not be written:" and the
    // first names (with reasons), "" when every file was written or passed over.
    static QString FailureMessage(const QList<TFileResult>& results);
    static constexpr int ListedFailures = 20;

    // A message naming files: the heading (`one` for a single line, else `many` with the
    // count for %1), then the first ListedFailures lines and "... and N more".
    static QString FileListing(const QString& one, const QString& many, const QStringList& lines);
    // The name part of a path as the user sees it.
    static QString DisplayName(const QByteArray& path);
};
