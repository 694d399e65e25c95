#pragma once

#include "TAudioAnalysis.h"
#include "TLoudnessColumns.h"
#include "TLoudnessWriter.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class TListStatus;
class TXListView;

// "Measure loudness" on the list's selected audio files: each file is decoded once on a
// thread of its own (with the list's progress bar; Escape stops after the file being
// measured), the figures fill the loudness columns and go into the tag cache with the peak
// overview, and they are stored in the file as the settings allow. Files that could not be
// measured or written are named in one message; their results stay in the cache.
class TLoudnessMeasure : public QObject {
    Q_OBJECT

public:
    // Stores one file's figures in the file.
    using TWriter =
        std::function<TLoudnessWriter::TResult(const QByteArray& path, const TLoudnessFigures&)>;

    TLoudnessMeasure(TXListView& list, QObject* parent = nullptr);
    ~TLoudnessMeasure() override;

    void SetProgress(TListStatus* progress) { Progress = progress; }
    void SetWriter(TWriter writer) { Writer = std::move(writer); }
    void SetDecodeOps(const TDecodeOps& ops) { Ops = ops; }

    // Measures the selected rows' audio files; returns when every one is done or Escape
    // stopped the work.
    void MeasureSelection();
    bool Running() const { return Worker.joinable(); }

signals:
    // The files whose figures were stored in them (an editor showing one reloads it).
    void OnFilesWritten(const QList<QByteArray>& paths);
    void OnStatus(const QString& text);

private:
    struct TOutcome;
    struct TFileResult;
    TXListView& List;
    QPointer<TListStatus> Progress;
    TWriter Writer;
    TDecodeOps Ops;
    std::thread Worker;
    std::shared_ptr<std::atomic<bool>> Stop;

    // One file's result on the window's thread: into the cache, the file and its row.
    void Take(const TFileResult& result, int row, TOutcome& outcome);
    // The progress bar at `percent`, from the worker.
    void Step(int percent);
    void Report(const TOutcome& outcome, int count);
};
