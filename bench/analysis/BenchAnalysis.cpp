// Prints the analysis figures on a 3-minute 44.1 kHz stereo WAV (pink noise made with sox),
// side by side in one run:
//  (a) the whole analysis (peaks, EBU R128 loudness, range, true peak) against
//      `ffmpeg -af ebur128=peak=true` on the same file (goal: ratio at most 1, aim 0.5);
//  (b) the peaks alone (goal: under 100 ms).
#include "TAudioAnalysis.h"
#include "TLinkedDecodeOps.h"
#include "TRatioReporter.h"

#include <benchmark/benchmark.h>

#include <sonara.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path Root;
std::string File;

void Analysis(benchmark::State& state) {
    const bool loudness = state.range(0) != 0;
    for (auto _ : state) {
        std::string error;
        const auto result = TAudioAnalysis::Run(File, LinkedDecodeOps(), nullptr, error, loudness);
        if (!result)
            state.SkipWithError(error.c_str());
    }
}

void Ffmpeg(benchmark::State& state) {
    const std::string command = "ffmpeg -nostdin -nostats -hide_banner -i '" + File +
                                "' -af ebur128=peak=true -f null - >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("ffmpeg failed");
}

} // namespace

int main(int argc, char** argv) {
    Root = fs::temp_directory_path() / ("bench_analysis_" + std::to_string(::getpid()));
    fs::create_directories(Root);
    File = (Root / "three-minutes.wav").string();
    if (std::system(("sox -n -r 44100 -c 2 -b 16 '" + File +
                     "' synth 180 pinknoise vol -18dB >/dev/null 2>&1")
                        .c_str()) != 0) {
        std::fprintf(stderr, "sox could not make the test file\n");
        return 1;
    }
    benchmark::RegisterBenchmark("analysis/whole", Analysis)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("analysis/peaks-only", Analysis)
        ->Arg(0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("ffmpeg/ebur128-peak-true", Ffmpeg)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto time = [&](const std::string& name) { return reporter.Time(name); };
    if (time("analysis/whole") > 0 && time("ffmpeg/") > 0)
        std::printf("ratio (a) analysis / ffmpeg ebur128=peak=true, 3 min: %.2f (goal <= 1, "
                    "aim 0.5)\n",
                    time("analysis/whole") / time("ffmpeg/"));
    if (time("analysis/peaks-only") > 0)
        std::printf("(b) peaks alone, 3 min: %.1f ms (goal < 100)\n",
                    time("analysis/peaks-only") * 1000);
    std::error_code ec;
    fs::remove_all(Root, ec);
    return 0;
}
