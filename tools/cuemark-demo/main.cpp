// cuemark-demo [--date yyyy-mm-dd] DIR: writes the demo folder into DIR (created when
// missing, files replaced when present): about forty short files telling a station's day,
// with air dates relative to that day (today unless --date gives another).

#include "DemoAudio.h"
#include "DemoRiff.h"
#include "DemoStory.h"

#include "TagCatalogue.h"

#include <riffkit.h>

#include <QDate>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const UsageText =
    "usage: cuemark-demo [--date yyyy-mm-dd] DIR\n"
    "Writes the demo folder into DIR (created when missing; files of the same names are\n"
    "replaced): about forty short files of a radio station's day, with air dates relative to\n"
    "today (or to the day --date gives): spots, jingles, sweepers, news, beds and songs as WAV,\n"
    "MPEG-in-WAV, MP3 (ID3v2.4, ID3v2.3, ID3v1 only) and MP2, and WAVs with cart and bext\n"
    "chunks as a playout system delivers them.\n";

constexpr uint32_t Mp2FrameSamples = 1152;
constexpr int MpegWavBitrateKbps = 192;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out ? std::string() : std::string("cannot write the file");
}

// An ID3v2.4 tag holding the title, with room for the keys the tagging library adds.
std::string Id3v24Tag(const std::string& title) {
    const auto syncSafe = [](uint32_t v) {
        std::string out;
        for (int shift : {21, 14, 7, 0})
            out += static_cast<char>((v >> shift) & 0x7F);
        return out;
    };
    const std::string text = std::string(1, '\x03') + title; // UTF-8
    std::string body =
        "TIT2" + syncSafe(static_cast<uint32_t>(text.size())) + std::string(2, '\0') + text;
    body.resize(body.size() + 2048, '\0'); // padding
    return std::string("ID3\x04\x00\x00", 6) + syncSafe(static_cast<uint32_t>(body.size())) + body;
}

std::string ValueOf(const TDemoFile& demo, const char* key) {
    for (const auto& [k, v] : demo.Tags)
        if (k == key)
            return v;
    return {};
}

// The playout file's cart with its post timers, in sample frames of `total`.
DemoRiff::TCart CartWithTimers(const TDemoFile& demo, uint32_t total) {
    DemoRiff::TCart cart = demo.Cart;
    const auto rate = static_cast<uint64_t>(demo.Melody.SampleRate);
    const auto at = [&](int ms) { return static_cast<uint32_t>(rate * uint64_t(ms) / 1000); };
    cart.Timers = {{"AUDs", 0}, {"AUDe", total}};
    if (demo.IntroMs > 0)
        cart.Timers.insert(cart.Timers.end(), {{"INTs", 0}, {"INTe", at(demo.IntroMs)}});
    if (demo.SegueMs > 0)
        cart.Timers.insert(cart.Timers.end(),
                           {{"SEGs", total - at(demo.SegueMs)}, {"SEGe", total}});
    return cart;
}

// MPEG Layer II frames in a WAV; with cart and bext for a playout file.
std::string WriteMpegWav(const fs::path& path, const TDemoFile& demo, bool playout) {
    std::string error;
    const std::string frames = TDemoAudio::EncodeMp2(demo.Melody, MpegWavBitrateKbps, error);
    if (!error.empty())
        return error;
    const std::string format = DemoRiff::MpegLayer2Format(
        demo.Melody.Channels, demo.Melody.SampleRate, MpegWavBitrateKbps);
    const uint32_t frameSize = 144u * MpegWavBitrateKbps * 1000u / uint32_t(demo.Melody.SampleRate);
    const uint32_t total = static_cast<uint32_t>(frames.size() / frameSize) * Mp2FrameSamples;
    std::vector<std::string> chunks{DemoRiff::Chunk("fmt ", format),
                                    DemoRiff::Chunk("fact", DemoRiff::Le32(total))};
    if (playout) {
        chunks.push_back(
            DemoRiff::Chunk("cart", DemoRiff::CartPayload(CartWithTimers(demo, total))));
        chunks.push_back(DemoRiff::Chunk("bext", DemoRiff::BextPayload(demo.Bext)));
    }
    chunks.push_back(DemoRiff::Chunk("data", frames));
    return WriteFile(path, DemoRiff::Wave(chunks));
}

// 16-bit PCM with cart and bext, as a playout system writes it.
std::string WritePlayoutWav(const fs::path& path, const TDemoFile& demo) {
    const std::string pcm = TDemoAudio::RenderPcm16(demo.Melody);
    const auto total = static_cast<uint32_t>(pcm.size() / (2u * uint32_t(demo.Melody.Channels)));
    const DemoRiff::TCart cart = CartWithTimers(demo, total);
    return WriteFile(
        path, DemoRiff::Wave({DemoRiff::Chunk("fmt ", DemoRiff::PcmFormat(demo.Melody.Channels,
                                                                          demo.Melody.SampleRate)),
                              DemoRiff::Chunk("cart", DemoRiff::CartPayload(cart)),
                              DemoRiff::Chunk("bext", DemoRiff::BextPayload(demo.Bext)),
                              DemoRiff::Chunk("data", pcm)}));
}

std::string WriteAudio(const fs::path& path, const TDemoFile& demo) {
    switch (demo.Kind) {
    case TDemoKind::Wav:
        return TDemoAudio::WriteWav16(path.string(), demo.Melody);
    case TDemoKind::MpegWav:
        return WriteMpegWav(path, demo, false);
    case TDemoKind::Mp3Id3v24: {
        std::string error = TDemoAudio::WriteMp3(path.string(), demo.Melody);
        return error.empty() ? WriteFile(path, Id3v24Tag(ValueOf(demo, "DISP")) + ReadFile(path))
                             : error;
    }
    case TDemoKind::Mp3Id3v23:
    case TDemoKind::Mp3Id3v1:
        return TDemoAudio::WriteMp3(path.string(), demo.Melody);
    case TDemoKind::Mp2:
        return TDemoAudio::WriteMp2(path.string(), demo.Melody);
    case TDemoKind::PlayoutWav:
        return WritePlayoutWav(path, demo);
    case TDemoKind::PlayoutMpegWav:
        return WriteMpegWav(path, demo, true);
    }
    return "unknown kind";
}

// Our keys through the tagging library; an MPEG file that should carry more than the ID3v1
// fields first gets an ID3v2 tag.
std::string Tag(const fs::path& path, const TDemoFile& demo) {
    if (demo.Tags.empty())
        return {};
    const std::string file = path.string();
    if (demo.Kind == TDemoKind::Mp3Id3v23 || demo.Kind == TDemoKind::Mp2) {
        if (AddId3v2(file.c_str()) == -1)
            return "no ID3v2 tag could be added";
    }
    if (OpenWavFile(file.c_str(), 0, 0) != 0)
        return "cannot be opened for tagging";
    for (const auto& [key, value] : demo.Tags) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(key);
        const auto length = static_cast<uint16_t>(value.size());
        if (info != nullptr && info->IsChunk)
            SetChunkInfo(key.c_str(), value.c_str(), length);
        else
            SetTagInfo(key.c_str(), value.c_str(), length);
    }
    if (CloseWavFile() != 0) {
        char reason[512] = {};
        const bool given = GetTagLastError(reason, sizeof reason) > 0;
        return std::string("the tags could not be saved") + (given ? ": " : "") + reason;
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    QDate day = QDate::currentDate();
    if (args.size() == 3 && args[0] == "--date") {
        day = QDate::fromString(QString::fromStdString(args[1]), QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid()) {
            std::fprintf(stderr, "cuemark-demo: --date %s is not a date of the form yyyy-mm-dd\n",
                         args[1].c_str());
            return 2;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    // Any other option is a mistake, not a folder to create.
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::fputs(UsageText, stderr);
        return 2;
    }
    const fs::path dir = args[0];
    int failures = 0;
    for (const TDemoFile& demo : DemoStory(day)) {
        const fs::path path = dir / demo.Name;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        std::string error = ec ? ec.message() : WriteAudio(path, demo);
        if (error.empty())
            error = Tag(path, demo);
        if (!error.empty()) {
            std::fprintf(stderr, "cuemark-demo: %s: %s\n", path.c_str(), error.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
