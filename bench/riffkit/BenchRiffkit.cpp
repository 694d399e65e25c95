// Prints two ratios:
//  (a) reading all 35 keys of 2,000 generated WAV files through the C operations, against
//      TagLib reading the same INFO keys of the same files (goal: 1 or less);
//  (b) saving a changed, longer title in a 300 MB WAV against the same in a 1 MB WAV
//      (goal: below 2, since a save costs in proportion to the tags, not the audio);
//  (c) the same for a 300 MB and a 1 MB MP3 whose ID3v2 tag was grown once before (goal:
//      below 2: the new tag fits its padding and is written in place);
//  (d) as (b) for WAV files that carry a cart chunk, kept in step with the title by each
//      save (goal: below 2).
// It also times the two MPEG saves on their own: a save that fits the padding, and one that
// grows the tag of a fresh 10 MB MP3 (the audio moves once, under the journal).
#include "RiffBuilder.h"
#include "TRatioReporter.h"
#include "riffkit.h"

#include <benchmark/benchmark.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const InfoKeys[] = {
    "IART", "ISRC", "BFAD", "ISRF", "IMED", "HKST", "HKEN", "IGNR", "BSTM", "IKEY", "BETM", "BSTW",
    "BETW", "IALB", "IYER", "IGRE", "ITRK", "IENG", "ITCH", "ICOM", "IPUB", "BCPR", "ICMT", "INAM",
    "ICOP", "ISFT", "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO", "IBPM"};
constexpr int FileCount = 2000;

fs::path Root;
std::vector<std::string> Files;
std::string Big, Small, BigMp3, SmallMp3, BigCart, SmallCart;

void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// withCart: a cart chunk another system wrote sits before the audio.
void MakeAudioFile(const std::string& path, std::uint64_t audioBytes, bool withCart = false) {
    std::string cart(2048, '\0');
    cart.replace(0, 9, "0101Title");
    const std::uint64_t cartBytes = withCart ? 8 + cart.size() : 0;
    TRiffBuilder head;
    head.RiffSize(static_cast<std::uint32_t>(audioBytes + 4 + 24 + 8 + 8 + 8 + cartBytes))
        .Chunk("fmt ", TRiffBuilder::Fmt())
        .Chunk("JUNK", std::string(8, '\0'));
    if (withCart)
        head.Chunk("cart", cart);
    std::string bytes =
        head.Build() + "data" + TRiffBuilder::Le32(static_cast<std::uint32_t>(audioBytes));
    std::ofstream f(path, std::ios::binary);
    f << bytes;
    const std::string block = TRiffBuilder::Audio(1 << 20, 3);
    for (std::uint64_t left = audioBytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        f.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    f.close();
    SyncFile(path); // so the timed saves do not flush the generation
}

// An ID3v2.3 tag with a title, then silent MPEG-1 Layer III frames (417 bytes each).
void MakeMp3(const std::string& path, std::uint64_t audioBytes) {
    const std::string title = "Title";
    std::string tag = "ID3\x03";
    tag += std::string(2, '\0');
    const std::uint32_t body = 10 + 1 + static_cast<std::uint32_t>(title.size());
    for (int shift : {21, 14, 7, 0})
        tag += static_cast<char>((body >> shift) & 0x7F);
    tag += "TIT2";
    tag += std::string(3, '\0') + static_cast<char>(1 + title.size()) + std::string(3, '\0');
    tag += title;
    std::string frame(417, '\0');
    frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90', frame[3] = '\x44';
    std::string block;
    while (block.size() + frame.size() <= (1u << 20))
        block += frame;
    std::ofstream f(path, std::ios::binary);
    f << tag;
    for (std::uint64_t left = audioBytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        f.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    f.close();
    SyncFile(path);
}

void Setup() {
    Root = fs::temp_directory_path() / ("bench_riffkit_" + std::to_string(::getpid()));
    fs::create_directories(Root);
    std::vector<std::pair<std::string, std::string>> items;
    for (const char* key : InfoKeys)
        items.emplace_back(key, std::string("value of ") + key + " with some text");
    for (int i = 0; i < FileCount; ++i) {
        const std::string path = (Root / ("f" + std::to_string(i) + ".wav")).string();
        TRiffBuilder()
            .Chunk("fmt ", TRiffBuilder::Fmt())
            .Chunk("DISP", TRiffBuilder::Disp("Title " + std::to_string(i)))
            .Chunk("LIST", TRiffBuilder::Info(items))
            .Chunk("data", TRiffBuilder::Audio(16384, static_cast<std::uint32_t>(i)))
            .WriteTo(path);
        Files.push_back(path);
    }
    Big = (Root / "big.wav").string();
    Small = (Root / "small.wav").string();
    MakeAudioFile(Big, 300ull << 20);
    MakeAudioFile(Small, 1ull << 20);
    BigCart = (Root / "big-cart.wav").string();
    SmallCart = (Root / "small-cart.wav").string();
    MakeAudioFile(BigCart, 300ull << 20, true);
    MakeAudioFile(SmallCart, 1ull << 20, true);
    BigMp3 = (Root / "big.mp3").string();
    SmallMp3 = (Root / "small.mp3").string();
    MakeMp3(BigMp3, 300ull << 20);
    MakeMp3(SmallMp3, 1ull << 20);
    // The first save grows the tag (and moves the audio once); the timed ones fit.
    for (const std::string* path : {&BigMp3, &SmallMp3}) {
        OpenWavFile(path->c_str(), 0, 0);
        const std::string title = "First save";
        SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
        CloseWavFile();
        SyncFile(*path);
    }
}

void ReadOurs(benchmark::State& state) {
    char buf[256];
    for (auto _ : state) {
        for (const auto& path : Files) {
            if (OpenWavFile(path.c_str(), 0, 0) != 0)
                state.SkipWithError("open failed");
            for (const char* key : InfoKeys)
                GetTagInfo(key, buf, sizeof buf);
            GetChunkInfo("DISP", buf, sizeof buf);
            benchmark::DoNotOptimize(buf);
            CloseWavFile();
        }
    }
}

void ReadTagLib(benchmark::State& state) {
    for (auto _ : state) {
        for (const auto& path : Files) {
            TagLib::RIFF::WAV::File file(path.c_str(), false);
            auto* info = file.InfoTag();
            for (const char* key : InfoKeys) {
                auto text = info->fieldText(key);
                benchmark::DoNotOptimize(text);
            }
        }
    }
}

void Save(benchmark::State& state, const std::string& path) {
    int n = 0;
    for (auto _ : state) {
        // A different, longer title each time: the save really writes.
        const std::string title =
            "A changed and longer title " + std::string(10 + (n % 7) * 13, 'x') + std::to_string(n);
        ++n;
        OpenWavFile(path.c_str(), 0, 0);
        SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
        if (CloseWavFile() != 0)
            state.SkipWithError("save failed");
    }
}

// Each iteration grows the tag of a fresh copy: the rare save that moves the audio.
void GrowMp3(benchmark::State& state) {
    const std::string source = (Root / "grow-source.mp3").string();
    const std::string path = (Root / "grow.mp3").string();
    MakeMp3(source, 10ull << 20);
    const std::string title(3000, 'g');
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(source, path, fs::copy_options::overwrite_existing);
        SyncFile(path);
        state.ResumeTiming();
        OpenWavFile(path.c_str(), 0, 0);
        SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
        if (CloseWavFile() != 0)
            state.SkipWithError("save failed");
    }
}

} // namespace

int main(int argc, char** argv) {
    Setup();
    benchmark::RegisterBenchmark("read/ours", ReadOurs)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("read/taglib", ReadTagLib)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("save/300MB", [](benchmark::State& s) { Save(s, Big); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("save/1MB", [](benchmark::State& s) { Save(s, Small); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("save-cart/300MB", [](benchmark::State& s) { Save(s, BigCart); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("save-cart/1MB", [](benchmark::State& s) { Save(s, SmallCart); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("save-mp3/300MB", [](benchmark::State& s) { Save(s, BigMp3); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("save-mp3/1MB", [](benchmark::State& s) { Save(s, SmallMp3); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::RegisterBenchmark("grow-mp3/10MB", GrowMp3)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto time = [&](const std::string& name) { return reporter.Time(name); };
    if (time("read/ours") > 0 && time("read/taglib") > 0)
        std::printf("ratio (a) read 35 keys of %d files, ours / TagLib: %.3f (goal <= 1)\n",
                    FileCount, time("read/ours") / time("read/taglib"));
    if (time("save/300MB") > 0 && time("save/1MB") > 0)
        std::printf("ratio (b) save longer title, 300 MB / 1 MB: %.3f (goal < 2)\n",
                    time("save/300MB") / time("save/1MB"));
    if (time("save-mp3/300MB") > 0 && time("save-mp3/1MB") > 0)
        std::printf("ratio (c) MP3 save longer title, 300 MB / 1 MB: %.3f (goal < 2)\n",
                    time("save-mp3/300MB") / time("save-mp3/1MB"));
    if (time("save-cart/300MB") > 0 && time("save-cart/1MB") > 0)
        std::printf("ratio (d) save longer title with cart, 300 MB / 1 MB: %.3f (goal < 2)\n",
                    time("save-cart/300MB") / time("save-cart/1MB"));
    std::error_code ec;
    fs::remove_all(Root, ec);
    return 0;
}
