#include "TAnalysisLoader.h"

#include "TBoundDecodeOps.h"

#include <QMetaObject>

TAnalysisLoader::TAnalysisLoader(QObject* parent) : QObject(parent), Ops(BoundOps()) {}

TAnalysisLoader::~TAnalysisLoader() {
    Cancel();
}

TDecodeOps TAnalysisLoader::BoundOps() {
    return BoundDecodeOps();
}

void TAnalysisLoader::SetCache(TCacheRead read, TCacheWrite write) {
    CacheRead = std::move(read);
    CacheWrite = std::move(write);
}

void TAnalysisLoader::Join() {
    if (Worker.joinable())
        Worker.join();
}

void TAnalysisLoader::Cancel() {
    ++Generation; // a result already on its way is dropped
    if (Stop)
        *Stop = true;
    Join();
}

void TAnalysisLoader::Load(const QByteArray& path) {
    Cancel();
    Stop = std::make_shared<std::atomic<bool>>(false);
    Finished = false;
    const unsigned generation = Generation;
    Worker = std::thread([this, path, generation, stop = Stop, ops = Ops, read = CacheRead,
                          write = CacheWrite] {
        std::shared_ptr<const TAudioAnalysis> result;
        QString error;
        if (read)
            if (const auto bytes = read(path))
                if (auto cached = TAudioAnalysis::Decode(*bytes))
                    result = std::make_shared<const TAudioAnalysis>(std::move(*cached));
        if (!result) {
            std::string why;
            auto made = TAudioAnalysis::Run(
                path.toStdString(), ops,
                [this, stop](int percent) {
                    QMetaObject::invokeMethod(
                        this, [this, percent] { emit Progress(percent); }, Qt::QueuedConnection);
                    return !*stop;
                },
                why);
            if (made) {
                if (write)
                    write(path, *made);
                result = std::make_shared<const TAudioAnalysis>(std::move(*made));
            } else {
                error = QString::fromStdString(why);
            }
        }
        Finished = true;
        if (*stop)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, path, result, error, generation] {
                if (generation == Generation)
                    emit Loaded(path, result, error);
            },
            Qt::QueuedConnection);
    });
}
