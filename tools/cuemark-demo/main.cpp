// cuemark-demo DIR: writes a handful of short tagged audio files into DIR (created when
// missing, files replaced when present), one of each kind the program handles: a jingle
// and a commercial spot as WAV, a song as MP3 with an ID3v2 tag, an oldie as MP3 with only
// an ID3v1 tag (the editor then offers "Add ID3v2"), a news bed as MP2.

#include "DemoAudio.h"

#include "TagCatalogue.h"
#include "TextForms.h"

#include <riffkit.h>

#include <QDate>
#include <QTime>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class TKind { Wav, Mp3, Mp2 };

struct TDemoFile {
    const char* Name;
    TKind Kind;
    TDemoAudio::TMelody Melody;
    std::vector<std::pair<const char*, std::string>> Tags;
    bool Id3v1Only = false; // an MPEG file left with the ID3v1 tag alone
};

const char* const UsageText =
    "usage: cuemark-demo DIR\n"
    "Writes short tagged demo audio files into DIR (created when missing; files of the same\n"
    "names are replaced): WAV, MP3 with ID3v2, MP3 with ID3v1 only, and MP2.\n";

std::string Date(int year, int month, int day) {
    return StoredDateText(QDate(year, month, day)).toStdString();
}

std::string Time(int hour, int minute) {
    return StoredTimeText(QTime(hour, minute)).toStdString();
}

std::vector<TDemoFile> DemoFiles() {
    const std::string noFade = TTagCatalogue::FlagStoredText(true).toStdString();
    const std::string fade = TTagCatalogue::FlagStoredText(false).toStdString();
    return {
        {"Morning Show Jingle.wav",
         TKind::Wav,
         {44100, 2, 150.0, {72, 76, 79, 84, 0, 79, 84, 0, 0, 0}, 48},
         {{"DISP", "Morning Show Jingle"},
          {"IART", "Station Imaging"},
          {"ISRC", "JINGLE"},
          {"BFAD", noFade},
          {"ISRF", "1600"},
          {"IMED", "1200"},
          {"ICMT", "Sung logo, rises into the morning show theme."}}},
        {"Corner Bakery Spot.wav",
         TKind::Wav,
         {48000, 1, 100.0, {67, 69, 71, 72, 71, 69, 67, 0, 67, 72, 0, 0}, 0},
         {{"DISP", "Corner Bakery - Fresh Bread Every Morning"},
          {"IART", "Corner Bakery"},
          {"ISRC", "SPOT"},
          {"BFAD", noFade},
          {"IGNR", Date(2026, 1, 5)},
          {"BSTM", Time(6, 0)},
          {"IKEY", Date(2026, 3, 31)},
          {"BETM", Time(23, 59)},
          {"BSTW", Time(6, 0)},
          {"BETW", Time(10, 0)},
          {"INAM", "...fresh every morning at Corner Bakery."},
          {"ICOP", "Main Street Media"},
          {"ISFT", "Pat Jones"},
          {"ISBJ", "Warm bread, fresh from the oven.\r\nCorner Bakery, 12 Main Street.\r\n"
                   "Open from six every morning."},
          {"IURL", "https://corner-bakery.example"},
          {"ITCH", "Voice: Sam Rivers"},
          {"IENG", "Production Studio B"}}},
        {"Summer Song.mp3",
         TKind::Mp3,
         {44100, 2, 120.0, {64, 67, 71, 67, 64, 66, 67, 71, 74, 71, 67, 66, 64, 0, 64, 0}, 40},
         {{"DISP", "Summer Song"},
          {"IART", "The Tidewater Band"},
          {"ISRC", "MUSIC"},
          {"BFAD", fade},
          {"ISRF", "2000"},
          {"IMED", "1500"},
          {"HKST", "3000"},
          {"HKEN", "6000"},
          {"IALB", "Long Days"},
          {"IYER", "2024"},
          {"IGRE", "Pop"},
          {"ITRK", "3"},
          {"ICOM", "R. Tide"},
          {"IPUB", "Tidewater Songs"},
          {"BCPR", "Harbour Records"},
          {"BKEY", "E"},
          {"BEND", "Fade"},
          {"BERG", "7"},
          {"BTXR", "Mainstream"},
          {"BTPO", "Medium Fast"},
          {"IBPM", "120"}}},
        {"Harbour Lights (ID3v1).mp3",
         TKind::Mp3,
         {44100, 2, 100.0, {69, 72, 76, 72, 69, 0, 67, 71, 74, 71, 67, 0}, 45},
         {{"DISP", "Harbour Lights"},
          {"IART", "The Quayside Four"},
          {"IALB", "Radio Days"},
          {"IYER", "1968"},
          {"ITRK", "7"},
          {"IGRE", "Oldies"},
          {"ICMT", "Try Add ID3v2 in the editor"}},
         true},
        {"News Bed.mp2",
         TKind::Mp2,
         {44100, 2, 90.0, {60, 0, 63, 0, 67, 0, 63, 0}, 36},
         {{"DISP", "News Bed"},
          {"IART", "Station Imaging"},
          {"ISRC", "BED"},
          {"BFAD", fade},
          {"HKST", "0"},
          {"BEND", "Cold"},
          {"BTPO", "Slow"}}},
    };
}

std::string WriteAudio(const fs::path& path, const TDemoFile& demo) {
    switch (demo.Kind) {
    case TKind::Wav:
        return TDemoAudio::WriteWav16(path.string(), demo.Melody);
    case TKind::Mp3:
        return TDemoAudio::WriteMp3(path.string(), demo.Melody);
    case TKind::Mp2:
        return TDemoAudio::WriteMp2(path.string(), demo.Melody);
    }
    return "unknown kind";
}

// Tags a file through the tagging library; an MPEG file first gets an ID3v2 tag, without
// which it only keeps the ID3v1 fields.
std::string Tag(const fs::path& path, const TDemoFile& demo) {
    const std::string file = path.string();
    if (OpenWavFile(file.c_str(), 0, 0) != 0)
        return "cannot be opened for tagging";
    const bool hasId3v2 = HasId3v2() != 0;
    CloseWavFile();
    if (demo.Kind != TKind::Wav && !demo.Id3v1Only && !hasId3v2 && AddId3v2(file.c_str()) == -1)
        return "no ID3v2 tag could be added";

    if (OpenWavFile(file.c_str(), 0, 0) != 0)
        return "cannot be opened for tagging";
    for (const auto& [key, value] : demo.Tags) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(key);
        const auto length = static_cast<uint16_t>(value.size());
        if (info != nullptr && info->IsChunk)
            SetChunkInfo(key, value.c_str(), length);
        else
            SetTagInfo(key, value.c_str(), length);
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
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    // Any other option is a mistake, not a folder to create.
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(UsageText, stderr);
        return 2;
    }
    const fs::path dir = argv[1];
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "cuemark-demo: %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    int failures = 0;
    for (const TDemoFile& demo : DemoFiles()) {
        const fs::path path = dir / demo.Name;
        std::string error = WriteAudio(path, demo);
        if (error.empty())
            error = Tag(path, demo);
        if (!error.empty()) {
            std::fprintf(stderr, "cuemark-demo: %s: %s\n", path.c_str(), error.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
