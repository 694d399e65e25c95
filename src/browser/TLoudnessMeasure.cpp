#include "TLoudnessMeasure.h"

#include "TAudioFileRule.h"
#include "TBatchTagger.h"
#include "TBoundDecodeOps.h"
#include "TListStatus.h"
#include "TLoudnessFiguresOf.h"
#include "TMessages.h"
#include "TNoticesOff.h"
#include "TTagCache.h"
#include "TXListView.h"

#include <QEventLoop>
#include <QHash>
#include <QMetaObject>
#include <QStringList>
#include <QTimer>

namespace {

constexpr int CancelPollMs = 50;

} // namespace

// What came of the files, gathered on the window's thread.
struct TLoudnessMeasure::TOutcome {
    int Measured = 0;
    int Stored = 0;
    QStringList NotMeasured; // "name (reason)"
    QStringList NotWritten;
    QList<QByteArray> Written;
};

// What the worker found for one file.
struct TLoudnessMeasure::TFileResult {
    QByteArray Path;
    TFileStamp Stamp; // the file as it was measured
    std::optional<TLoudnessFigures> Figures;
    QByteArray Analysis; // a new analysis for the cache; empty for a cached measurement
    QString Error;
};

TLoudnessMeasure::TLoudnessMeasure(TXListView& list, QObject* parent)
    : QObject(parent), List(list), Ops(BoundDecodeOps()) {}

TLoudnessMeasure::~TLoudnessMeasure() {
    if (Stop)
        *Stop = true;
    if (Worker.joinable())
        Worker.join();
}

void TLoudnessMeasure::MeasureSelection() {
    if (Running())
        return;
    TFolderListModel& model = List.ListModel();
    QList<QByteArray> paths;
    QHash<QByteArray, int> rowOf;
    for (int row : List.SelectedRows()) {
        const TShellItem& entry = model.Entry(row);
        if (!entry.IsFileSystem || entry.IsFolder ||
            !TAudioFileRule::IsAudioPath(entry.ParsingName))
            continue;
        paths.append(model.PathOfRow(row));
        rowOf.insert(paths.back(), row);
    }
    if (paths.isEmpty()) {
        emit OnStatus(QStringLiteral("No audio file is selected"));
        return;
    }

    // The rows stay where they are meanwhile: the list takes no input but Escape, and the
    // monitor is quiet while the files are written.
    const TNoticesOff quiet(List);
    TOutcome outcome;
    QEventLoop loop;
    Stop = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<TTagCache> cache = model.TagCache();
    if (Progress)
        Progress->BeginProgress();
    QTimer cancelPoll;
    connect(&cancelPoll, &QTimer::timeout, this, [this] {
        if (Progress && Progress->CancelWanted())
            *Stop = true;
    });
    cancelPoll.start(CancelPollMs);

    Worker = std::thread([this, paths, rowOf, cache, stop = Stop, ops = Ops, &loop, &outcome] {
        const qsizetype count = paths.size();
        for (qsizetype i = 0; i < count && !*stop; ++i) {
            auto result = std::make_shared<TFileResult>();
            result->Path = paths[i];
            result->Stamp = TTagCache::StampOf(paths[i]);
            // A measurement of the file as it is now needs no decode.
            if (cache)
                if (const auto bytes = cache->AnalysisOfPath(paths[i], TLoudnessColumns::CacheKind))
                    result->Figures = TLoudnessFigures::Decode(*bytes);
            if (!result->Figures) {
                std::string why;
                const auto made = TAudioAnalysis::Run(
                    paths[i].toStdString(), ops,
                    [this, stop, i, count](int percent) {
                        Step(int((i * 100 + percent) / count));
                        return !*stop;
                    },
                    why);
                if (made) {
                    result->Figures = LoudnessFiguresOf(made->Loudness);
                    result->Analysis = QByteArray::fromStdString(made->Encode());
                } else if (*stop) {
                    break; // cancelled in the middle of this file
                } else {
                    result->Error = QString::fromStdString(why);
                }
            }
            QMetaObject::invokeMethod(
                this,
                [this, result, row = rowOf.value(paths[i], -1), &outcome] {
                    Take(*result, row, outcome);
                },
                Qt::QueuedConnection);
            Step(int((i + 1) * 100 / count));
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    Worker.join();
    cancelPoll.stop();
    if (Progress)
        Progress->EndProgress();
    Report(outcome, static_cast<int>(paths.size()));
    if (!outcome.Written.isEmpty())
        emit OnFilesWritten(outcome.Written);
}

void TLoudnessMeasure::Step(int percent) {
    QMetaObject::invokeMethod(
        this,
        [this, percent] {
            if (Progress)
                Progress->StepProgress(percent);
        },
        Qt::QueuedConnection);
}

void TLoudnessMeasure::Take(const TFileResult& result, int row, TOutcome& outcome) {
    const QString name = TBatchTagger::DisplayName(result.Path);
    if (!result.Figures) {
        outcome.NotMeasured.append(name + QStringLiteral(" (") + result.Error + QLatin1Char(')'));
        return;
    }
    ++outcome.Measured;
    TFolderListModel& model = List.ListModel();
    const std::shared_ptr<TTagCache> cache = model.TagCache();
    // Kept only when the file did not change while it was measured.
    if (cache && !result.Analysis.isEmpty() && TTagCache::StampOf(result.Path) == result.Stamp) {
        cache->PutAnalysisOfPath(result.Path, TAudioAnalysis::CacheKind, result.Stamp,
                                 result.Analysis);
        cache->PutAnalysisOfPath(result.Path, TLoudnessColumns::CacheKind, result.Stamp,
                                 result.Figures->Encode());
    }
    const TLoudnessWriter::TResult stored =
        Writer ? Writer(result.Path, *result.Figures) : TLoudnessWriter::TResult{};
    if (stored.Outcome == TLoudnessWriter::TOutcome::Stored)
        ++outcome.Stored;
    else if (stored.Outcome == TLoudnessWriter::TOutcome::Failed)
        outcome.NotWritten.append(name + QStringLiteral(" (") + stored.Reason + QLatin1Char(')'));
    const TFileStamp after = TTagCache::StampOf(result.Path);
    const bool changed = after != result.Stamp;
    if (changed) {
        // A save of tags leaves the audio as it was measured.
        if (cache)
            cache->RestampAnalyses(result.Path, result.Stamp, after);
        outcome.Written.append(result.Path);
    }
    model.SetEntryLoudness(row, *result.Figures);
    if (changed)
        model.MarkStale(row); // size and time, read again when drawn
}

void TLoudnessMeasure::Report(const TOutcome& outcome, int count) {
    const int tried = outcome.Measured + static_cast<int>(outcome.NotMeasured.size());
    QString status = tried < count ? QStringLiteral("Cancelled: %1 of %2 files measured")
                                   : QStringLiteral("%1 of %2 files measured");
    status = status.arg(outcome.Measured).arg(count);
    if (outcome.Stored > 0)
        status += QStringLiteral(", stored in %1 of them").arg(outcome.Stored);
    emit OnStatus(status);
    QStringList parts;
    if (!outcome.NotMeasured.isEmpty())
        parts.append(TBatchTagger::FileListing(QStringLiteral("1 file could not be measured:"),
                                               QStringLiteral("%1 files could not be measured:"),
                                               outcome.NotMeasured));
    if (!outcome.NotWritten.isEmpty())
        parts.append(TBatchTagger::FileListing(
            QStringLiteral("The loudness of 1 file could not be stored in it:"),
            QStringLiteral("The loudness of %1 files could not be stored in them:"),
            outcome.NotWritten));
    if (!parts.isEmpty())
        Messages().Error(parts.join(QStringLiteral("\n\n")), &List);
}
