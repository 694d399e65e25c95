// Prints how long the audition panel's waveform of a 1-hour file takes from its cached
// analysis to drawn on the screen (goal: within 1 s): the loader finds the analysis in the
// tag cache for the file as it is, decodes it, and the view paints the whole hour. The file
// (44.1 kHz stereo pink noise made with sox) is analysed once beforehand, as the first
// audition or a "Measure loudness" does; that time is printed for reference.
#include "TAnalysisLoader.h"
#include "TAudioAnalysis.h"
#include "TLinkedDecodeOps.h"
#include "TRatioReporter.h"
#include "TTagCache.h"
#include "TWaveformView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path Root;
QByteArray File;
std::shared_ptr<TTagCache> Cache;

void FromCacheToDrawn(benchmark::State& state) {
    TMarkerModel markers;
    TWaveformView view(markers);
    view.resize(1000, 80);
    view.show();
    for (auto _ : state) {
        TAnalysisLoader loader;
        loader.SetCache(
            [](const QByteArray& path) -> std::optional<std::string> {
                const auto bytes = Cache->AnalysisOfPath(path, TAudioAnalysis::CacheKind);
                return bytes ? std::optional<std::string>(bytes->toStdString()) : std::nullopt;
            },
            nullptr);
        QEventLoop loop;
        bool drawn = false;
        QObject::connect(&loader, &TAnalysisLoader::Loaded,
                         [&](const QByteArray&, std::shared_ptr<const TAudioAnalysis> analysis,
                             const QString& error) {
                             if (analysis) {
                                 view.SetAnalysis(*analysis);
                                 // grab() paints the whole view now, as the screen would.
                                 drawn = !view.grab().isNull();
                             } else {
                                 std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
                             }
                             loop.quit();
                         });
        loader.Load(File);
        loop.exec();
        if (!drawn)
            state.SkipWithError("not drawn");
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Root = fs::temp_directory_path() / ("bench_waveform_" + std::to_string(::getpid()));
    fs::create_directories(Root);
    const std::string file = (Root / "one-hour.wav").string();
    File = QByteArray::fromStdString(file);
    if (std::system(("sox -n -r 44100 -c 2 -b 16 '" + file +
                     "' synth 3600 pinknoise vol -18dB >/dev/null 2>&1")
                        .c_str()) != 0) {
        std::fprintf(stderr, "sox could not make the test file\n");
        return 1;
    }
    Cache = TTagCache::Open(QString::fromStdString((Root / "cache.sqlite").string()));
    if (!Cache) {
        std::fprintf(stderr, "no cache\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const auto analysis = TAudioAnalysis::Run(file, LinkedDecodeOps(), nullptr, error);
    if (!analysis) {
        std::fprintf(stderr, "analysis failed: %s\n", error.c_str());
        return 1;
    }
    const double analysedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string bytes = analysis->Encode();
    Cache->PutAnalysisOfPath(File, TAudioAnalysis::CacheKind, QByteArray::fromStdString(bytes));

    benchmark::RegisterBenchmark("waveform/one-hour-cached-to-drawn", FromCacheToDrawn)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("analysis of the 1-hour file beforehand: %.1f s; its cached form %.1f MB, %zu "
                "overview pixels\n",
                analysedSeconds, bytes.size() / 1e6, analysis->Peaks.Pixels());
    if (const double drawn = reporter.Time("waveform/"); drawn > 0)
        std::printf("(c) waveform of a 1-hour file, cached analysis to drawn: %.0f ms (goal < "
                    "1000)\n",
                    drawn * 1000);
    Cache.reset();
    std::error_code ec;
    fs::remove_all(Root, ec);
    return 0;
}
