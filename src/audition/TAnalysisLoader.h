#pragma once

#include "TAudioAnalysis.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// Analyses the auditioned file on a thread of its own (never on the list's or the window's
// path), taking the result from the cache when it holds one for the file as it is now, and
// storing a new one there. A new file, or Cancel, ends a running analysis.
class TAnalysisLoader : public QObject {
    Q_OBJECT

public:
    using TCacheRead = std::function<std::optional<std::string>(const QByteArray& path)>;
    using TCacheWrite = std::function<void(const QByteArray& path, const TAudioAnalysis& analysis)>;

    explicit TAnalysisLoader(QObject* parent = nullptr);
    ~TAnalysisLoader() override;

    void SetCache(TCacheRead read, TCacheWrite write);
    // The decode operations (the bound playback library's by default).
    void SetDecodeOps(const TDecodeOps& ops) { Ops = ops; }
    static TDecodeOps BoundOps();
    void Load(const QByteArray& path);
    void Cancel();
    bool Running() const { return Worker.joinable() && !Finished; }

signals:
    // The analysis of `path` (null, with the reason, when it could not be made).
    void Loaded(const QByteArray& path, std::shared_ptr<const TAudioAnalysis> analysis,
                const QString& error);
    void Progress(int percent);

private:
    void Join();

    TDecodeOps Ops;
    TCacheRead CacheRead;
    TCacheWrite CacheWrite;
    std::thread Worker;
    std::shared_ptr<std::atomic<bool>> Stop;
    std::atomic<bool> Finished{true};
    unsigned Generation = 0;
};

Q_DECLARE_METATYPE(std::shared_ptr<const TAudioAnalysis>)
