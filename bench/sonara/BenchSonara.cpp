// Measuring format and length for every row of a folder list must stay close to the cost of
// the bare libraries merely opening and measuring the same files, and of the floor for any
// header read (open, one 64 KiB read, close), in at most two opens per file; and
// SN_PlayStartXY must get samples to the device well within 50 ms. Prints the ratios and the
// opens and reads per file after the benchmark table, then how promptly an audition's end is
// reported at several rates.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "sonara.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int kFileCount = 2000;

// A folder of 2,000 files: copies of a few generated ones (PCM, MP3 CBR and VBR, MP2,
// MPEG-in-WAV), each under its own name so every one is opened afresh.
struct TBenchFolder {
    TTempDir Dir;
    std::vector<std::string> Files;

    TBenchFolder() {
        Fixtures::TToneSpec tone;
        tone.Seconds = 20.0;
        const std::string seeds[] = {Dir.File("seed16.wav"),  Dir.File("seed24.wav"),
                                     Dir.File("seedcbr.mp3"), Dir.File("seedvbr.mp3"),
                                     Dir.File("seed.mp2"),    Dir.File("seedmp2.wav")};
        Fixtures::WritePcmWav(seeds[0], tone, SF_FORMAT_PCM_16);
        Fixtures::WritePcmWav(seeds[1], tone, SF_FORMAT_PCM_24);
        Fixtures::WriteMp3(seeds[2], tone, false, 192);
        Fixtures::WriteMp3(seeds[3], tone, true);
        Fixtures::WriteMp2(seeds[4], tone, 256);
        Fixtures::WrapMpegInWav(seeds[4], seeds[5]);
        std::vector<std::vector<uint8_t>> contents;
        for (const auto& seed : seeds)
            contents.push_back(Fixtures::ReadBytes(seed));
        for (int i = 0; i < kFileCount; ++i) {
            const size_t k = static_cast<size_t>(i) % contents.size();
            const std::string ext = seeds[k].substr(seeds[k].rfind('.'));
            Files.push_back(Dir.File("file" + std::to_string(i) + ext));
            Fixtures::WriteBytes(Files.back(), contents[k]);
        }
    }
};

TBenchFolder& Folder() {
    static TBenchFolder folder;
    return folder;
}

void SonaraPass() {
    char a[128], b[128];
    for (const std::string& file : Folder().Files) {
        benchmark::DoNotOptimize(SN_GetWaveFileFormat(file.c_str(), a, 128, b, 128));
        benchmark::DoNotOptimize(SN_PlayGetLengthMsFile(file.c_str()));
    }
}

// The bare libraries opening and measuring the same files: libsndfile for what it reads,
// else libmpg123's own length (an estimate for files without a Xing header).
void BarePass() {
    static mpg123_handle* mh = [] {
        mpg123_init();
        mpg123_handle* h = mpg123_new(nullptr, nullptr);
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        return h;
    }();
    for (const std::string& file : Folder().Files) {
        SF_INFO info{};
        if (file.ends_with(".wav")) {
            if (SNDFILE* sf = sf_open(file.c_str(), SFM_READ, &info)) {
                benchmark::DoNotOptimize(info.frames * 1000 / info.samplerate);
                sf_close(sf);
                continue;
            }
        }
        if (mpg123_open(mh, file.c_str()) == MPG123_OK) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            benchmark::DoNotOptimize(mpg123_length(mh));
            mpg123_close(mh);
        }
    }
}

// The floor for any pass that reads a file's headers: open, one 64 KiB read, close.
void BareReadPass() {
    static std::vector<uint8_t> buffer(64 * 1024);
    for (const std::string& file : Folder().Files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), 0));
        ::close(fd);
    }
}

// The read system calls of this process so far (the kernel's count in /proc/self/io).
long ReadCalls() {
    char text[1024] = "";
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    const char* at = got > 0 ? std::strstr(text, "syscr: ") : nullptr;
    return at ? std::atol(at + 7) : -1;
}

// Opens of the folder's files during one pass, seen by inotify (closes are watched too, so
// that successive opens are not merged into one event).
long OpensDuring(const std::function<void()>& pass) {
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watcher, Folder().Dir.Path().c_str(), IN_OPEN | IN_CLOSE);
    long opens = 0;
    alignas(inotify_event) char events[65536];
    const auto drain = [&] {
        for (ssize_t got; (got = ::read(watcher, events, sizeof events)) > 0;)
            for (char* p = events; p < events + got;
                 p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
                opens += (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) ? 1 : 0;
    };
    pass(); // two events per file: well inside inotify's queue of 16384

    drain();
    ::close(watcher);
    return opens;
}

void BM_SonaraFormatAndLength(benchmark::State& state) {
    for (auto _ : state)
        SonaraPass();
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SonaraFormatAndLength)->Unit(benchmark::kMillisecond);

void BM_BareOpenPreadClose(benchmark::State& state) {
    for (auto _ : state)
        BareReadPass();
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_BareOpenPreadClose)->Unit(benchmark::kMillisecond);

void BM_BareOpenAndMeasure(benchmark::State& state) {
    for (auto _ : state)
        BarePass();
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_BareOpenAndMeasure)->Unit(benchmark::kMillisecond);

// Time of SN_PlayStartXY (seek, first buffer decoded, device opened and started).
void BM_StartLatency(benchmark::State& state) {
    const std::string& file = Folder().Files[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        const uint32_t handle = SN_GetHandlePlay(0, 0, file.c_str());
        const auto begin = std::chrono::steady_clock::now();
        if (SN_PlayStartXY(handle, 5000, 0) != 0)
            state.SkipWithError("playback did not start");
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        SN_PlayStop(handle);
        // The dummy driver has one device: wait for the background close, untimed.
        SN_FreeHandlePlayAll();
    }
}
BENCHMARK(BM_StartLatency)->Arg(0)->Arg(3)->Arg(4)->UseManualTime()->Unit(benchmark::kMillisecond);

// One audition of a 1.5 s file at a rate, polled like the program's 50 ms timer but every
// 5 ms: the slowest SN_Status call (it must never wait for the device to close), how late
// after the range's duration it reports done, and how far the position lags the clock.
void AuditionEndReport(int rate) {
    Fixtures::TToneSpec tone;
    tone.SampleRate = rate;
    tone.Seconds = 1.5;
    const std::string file = Folder().Dir.File("end" + std::to_string(rate) + ".wav");
    Fixtures::WritePcmWav(file, tone, SF_FORMAT_PCM_16);
    using TClock = std::chrono::steady_clock;
    const auto ms = [](TClock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    const uint32_t handle = SN_GetHandlePlay(0, 0, file.c_str());
    const auto start = TClock::now();
    if (SN_PlayStartXY(handle, 0, 0) != 0)
        return;
    double worstCall = 0, lagSum = 0;
    int lagCount = 0;
    TClock::time_point done;
    for (;;) {
        const auto before = TClock::now();
        const int16_t status = SN_Status(handle);
        const auto after = TClock::now();
        worstCall = std::max(worstCall, ms(after - before));
        if (status == SN_STATUS_DONE) {
            done = after;
            break;
        }
        const double elapsed = ms(after - start);
        if (elapsed > 200 && elapsed < 1300) {
            lagSum += elapsed - SN_PlayGetTimeMs(handle);
            ++lagCount;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SN_FreeHandlePlayAll();
    std::printf("%5d Hz: slowest SN_Status %.2f ms; done %.1f ms after the audio's end; position "
                "%.1f ms behind the clock on average\n",
                rate, worstCall, ms(done - start) - 1500.0, lagCount ? lagSum / lagCount : 0.0);
}

double BestOf(int runs, const std::function<void()>& pass) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        pass();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - begin)
                                  .count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    Folder(); // generate the files before anything is timed
    // SDL's audio start-up happens once per process (the program does it when it lists the
    // output devices); it is shown on its own, not folded into the start latency.
    const auto initBegin = std::chrono::steady_clock::now();
    SN_GetNumOutputDevices();
    const double initMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - initBegin)
            .count();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double sonara = BestOf(3, SonaraPass);
    const double bare = BestOf(3, BarePass);
    const double floor = BestOf(3, BareReadPass);
    std::printf(
        "format + length over %d files: %.1f ms (%.1f us per file); bare libraries %.1f ms; "
        "ratio %.2f; open + 64 KiB pread + close %.1f ms, ratio %.2f\n",
        kFileCount, sonara, sonara * 1000 / kFileCount, bare, sonara / bare, floor, sonara / floor);
    const long readsBefore = ReadCalls();
    SonaraPass();
    const long reads = ReadCalls() - readsBefore - 1; // less the read of the count
    const long opens = OpensDuring(SonaraPass);
    std::printf("format + length per file: %.2f opens, %.2f reads (counted by inotify and "
                "/proc/self/io)\n",
                double(opens) / kFileCount, double(reads) / kFileCount);
    std::vector<double> starts;
    for (int i = 0; i < 60; ++i) {
        const std::string& file = Folder().Files[static_cast<size_t>(i % 6)];
        const uint32_t handle = SN_GetHandlePlay(0, 0, file.c_str());
        const auto begin = std::chrono::steady_clock::now();
        SN_PlayStartXY(handle, 5000, 0);
        starts.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count());
        SN_PlayStop(handle);
        SN_FreeHandlePlayAll();
    }
    std::sort(starts.begin(), starts.end());
    const double median = starts[starts.size() / 2];
    std::printf("SDL audio start-up (once per process): %.2f ms\n", initMs);
    std::printf("SN_PlayStartXY on the dummy driver over 60 starts: median %.2f ms, worst %.2f ms; "
                "median to the 50 ms budget %.3f (a loaded machine shows in the worst case)\n",
                median, starts.back(), median / 50.0);
    for (const int rate : {8000, 22050, 44100, 48000})
        AuditionEndReport(rate);
    return 0;
}
