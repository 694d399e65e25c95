// Measured loudness through the C interface: the bext chunk's version-2 fields of WAV files
// under each broadcast mode, read back by this test's own byte reader, libsndfile and
// mediainfo, with the audio untouched; ReplayGain frames in the ID3v2 tags of MPEG files,
// read back by TagLib, ffprobe and this test's own frame reader, also after a save killed
// while it moves the audio.
#include "AudioFixtures.h"
#include "MpegCommitter.h"
#include "MpegFile.h"
#include "PosixFileIo.h"
#include "PosixJournal.h"
#include "RiffBuilder.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using B = TRiffBuilder;

constexpr int32_t Keep = 0, Always = 1, Never = 2;
constexpr int32_t None = RIFFKIT_NOT_MEASURED;

using TBextInfo = SF_BROADCAST_INFO_VAR(1024);

std::string Slurp(const std::string& path) {
    auto v = Fixtures::ReadBytes(path);
    return std::string(v.begin(), v.end());
}

bool Spit(const std::string& path, const std::string& bytes) {
    return Fixtures::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string Output(const std::string& command) {
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    return out;
}

uint32_t Le32(const std::string& s, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

int16_t Le16(const std::string& s, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

std::string Put16(int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}

// This test's own reader: the live chunks' payloads with the given id, in file order (an
// RF64 data size comes from ds64).
std::vector<std::string> Chunks(const std::string& bytes, const char* id) {
    std::vector<std::string> out;
    std::size_t pos = 12;
    uint64_t ds64Data = 0;
    while (pos + 8 <= bytes.size()) {
        uint64_t size = Le32(bytes, pos + 4);
        if (bytes.compare(pos, 4, "ds64") == 0)
            ds64Data = Le32(bytes, pos + 16) | uint64_t(Le32(bytes, pos + 20)) << 32;
        if (bytes.compare(pos, 4, "data") == 0 && size == 0xFFFFFFFF)
            size = ds64Data;
        if (bytes.compare(pos, 4, id) == 0)
            out.push_back(bytes.substr(pos + 8, size));
        pos += 8 + size + (size & 1);
    }
    return out;
}

std::string Only(const std::string& bytes, const char* id) {
    const auto all = Chunks(bytes, id);
    return all.size() == 1 ? all[0] : "<" + std::to_string(all.size()) + " chunks>";
}

std::optional<TBextInfo> SndfileBext(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return std::nullopt;
    TBextInfo bext{};
    const bool ok = sf_command(f, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE;
    sf_close(f);
    return ok ? std::optional(bext) : std::nullopt;
}

std::string LastError() {
    char buf[512] = {};
    GetTagLastError(buf, sizeof buf);
    return buf;
}

std::string Broadcast(const char* field) {
    char buf[256] = {};
    GetBroadcastInfo(field, buf, sizeof buf);
    return buf;
}

struct TFigures {
    int32_t Integrated, Range, TruePeak, Momentary, ShortTerm;
    bool operator==(const TFigures&) const = default;
};

std::optional<TFigures> Held() {
    TFigures f{};
    if (GetLoudness(&f.Integrated, &f.Range, &f.TruePeak, &f.Momentary, &f.ShortTerm) != 0)
        return std::nullopt;
    return f;
}

// The figures every WAV test stores; the short-term loudness is not measured.
constexpr TFigures Measured = {-2345, 512, -105, -1500, None};
// As the bext holds them: 0x7FFF for "not measured".
const std::string MeasuredBytes =
    Put16(-2345) + Put16(512) + Put16(-105) + Put16(-1500) + Put16(0x7FFF);

int16_t Store(const TFigures& f) {
    return SetLoudness(f.Integrated, f.Range, f.TruePeak, f.Momentary, f.ShortTerm);
}

// A bext body of the given version and size: texts, a UMID, bytes a later revision may
// define in Reserved, and the coding history after the fixed part.
std::string BextBody(int16_t version, std::size_t size, const std::string& history = {}) {
    std::string body(602, '\0');
    body.replace(0, 11, "Description");
    body.replace(256, 6, "Origin");
    body.replace(320, 10, "2026-02-03");
    body.replace(346, 2, Put16(version));
    for (std::size_t i = 348; i < 412; ++i)
        body[i] = static_cast<char>(i * 7);
    body.replace(412, 10, Put16(-2300) + Put16(700) + std::string(6, 'z'));
    body.replace(500, 6, "RESRVD");
    body.resize(size);
    return body + history;
}

const std::string Audio = B::Audio(8000, 3);

std::string WavWith(const std::optional<std::string>& bext) {
    B b;
    if (bext)
        b.Chunk("bext", *bext);
    return b.Chunk("fmt ", B::Fmt())
        .Chunk("LIST", B::Info({{"IART", "Artist"}}))
        .Chunk("data", Audio)
        .Build();
}

class Loudness : public ::testing::Test {
protected:
    void TearDown() override {
        CloseWavFile();
        SetBroadcastOptions(Keep, 0);
    }
    TTempDir Dir;
};

TEST_F(Loudness, BextFieldsUnderEachBroadcastMode) {
    const std::string history = "A=PCM,F=44100,W=16,M=stereo\r\n";
    struct TCase {
        const char* Name;
        std::optional<std::string> Bext;
    };
    const TCase cases[] = {
        {"none", std::nullopt},
        {"version 0", BextBody(0, 602)},
        {"version 1 with coding history", BextBody(1, 602, history)},
        {"version 2 holding older figures", BextBody(2, 602, history)},
        {"version 3 is not lowered", BextBody(3, 602)},
        {"short, 348 bytes", BextBody(1, 348)},
    };
    for (const auto& c : cases) {
        for (const int32_t mode : {Keep, Always, Never}) {
            SCOPED_TRACE(std::string(c.Name) + ", mode " + std::to_string(mode));
            const std::string path = Dir.File("bext.wav");
            const std::string before = WavWith(c.Bext);
            ASSERT_TRUE(Spit(path, before));
            ASSERT_EQ(SetBroadcastOptions(mode, 0), 0);
            ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
            const bool stored = mode == Always || (mode == Keep && c.Bext);
            const int16_t rc = Store(Measured);
            const std::string reason = LastError();
            ASSERT_EQ(CloseWavFile(), 0);
            const std::string after = Slurp(path);
            if (!stored) {
                EXPECT_EQ(rc, 1);
                EXPECT_NE(reason, "");
                EXPECT_EQ(after, before);
                continue;
            }
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(Only(after, "data"), Audio);
            EXPECT_EQ(Only(after, "fmt "), B::Fmt());
            EXPECT_EQ(Only(after, "LIST"), B::Info({{"IART", "Artist"}}));
            // Every byte as it was, but the version and the loudness fields; a short body is
            // grown with zeros.
            std::string expected = c.Bext.value_or(std::string(602, '\0'));
            if (expected.size() < 602)
                expected.resize(602, '\0');
            expected.replace(346, 2, Put16(std::max<int16_t>(2, Le16(expected, 346))));
            expected.replace(412, 10, MeasuredBytes);
            const std::string bext = Only(after, "bext");
            EXPECT_EQ(bext, expected);

            // libsndfile reads the same.
            const auto sf = SndfileBext(path);
            ASSERT_TRUE(sf);
            EXPECT_EQ(sf->version, std::max<int16_t>(2, Le16(expected, 346)));
            EXPECT_EQ(sf->loudness_value, -2345);
            EXPECT_EQ(sf->loudness_range, 512);
            EXPECT_EQ(sf->max_true_peak_level, -105);
            EXPECT_EQ(sf->max_momentary_loudness, -1500);
            EXPECT_EQ(sf->max_shortterm_loudness, 0x7FFF);

            // Read back through the library.
            ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
            EXPECT_EQ(Broadcast("bext.LoudnessValue"), "-23.45");
            EXPECT_EQ(Broadcast("bext.LoudnessRange"), "5.12");
            EXPECT_EQ(Broadcast("bext.MaxTruePeakLevel"), "-1.05");
            EXPECT_EQ(Broadcast("bext.MaxMomentaryLoudness"), "-15.00");
            EXPECT_EQ(GetBroadcastInfo("bext.MaxShortTermLoudness", nullptr, 0), -1);
            EXPECT_EQ(Held(), Measured);
            ASSERT_EQ(CloseWavFile(), 0);
        }
    }
}

TEST_F(Loudness, MediainfoAndLibsndfileReadTheStoredFiguresAndAudio) {
    const std::string path = Dir.File("tone.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {44100, 2, 0.5, 997.0, 0.4}, SF_FORMAT_PCM_24));
    const auto samples = Fixtures::ReadSamples16(path);
    ASSERT_FALSE(samples.empty());
    ASSERT_EQ(SetBroadcastOptions(Always, 0), 0);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    const std::string title = "Tone";
    SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
    ASSERT_EQ(Store(Measured), 0);
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Fixtures::ReadSamples16(path), samples);

    const std::string info = Output("mediainfo -f '" + path + "'");
    if (info.empty())
        GTEST_SKIP() << "mediainfo not available";
    for (const char* line : {"bext_Version                             : 2",
                             "LoudnessValue                            : -23.45",
                             "LoudnessRange                            : 5.12",
                             "MaxTruePeakLevel                         : -1.05",
                             "MaxMomentaryLoudness                     : -15.00"})
        EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
    EXPECT_EQ(info.find("MaxShortTermLoudness"), std::string::npos) << info;
}

TEST_F(Loudness, LaterSavesKeepTheBextAndItsFigures) {
    const std::string path = Dir.File("again.wav");
    ASSERT_TRUE(Spit(path, WavWith(BextBody(1, 602, "A=PCM\r\n"))));
    for (const TFigures& f : {Measured, TFigures{-1800, None, 50, None, -1700}}) {
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        ASSERT_EQ(Store(f), 0);
        EXPECT_EQ(Held(), f); // before the close too
        ASSERT_EQ(CloseWavFile(), 0);
    }
    // A save of other values leaves the bext as it is.
    const std::string saved = Only(Slurp(path), "bext");
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    const std::string artist(400, 'A'); // too long for the old block: a new one
    SetTagInfo("IART", artist.data(), static_cast<uint16_t>(artist.size()));
    ASSERT_EQ(CloseWavFile(), 0);
    const std::string after = Slurp(path);
    EXPECT_EQ(Only(after, "bext"), saved);
    EXPECT_EQ(Only(after, "data"), Audio);
    EXPECT_EQ(saved.substr(602), "A=PCM\r\n");
    EXPECT_EQ(saved.substr(412, 10),
              Put16(-1800) + Put16(0x7FFF) + Put16(50) + Put16(0x7FFF) + Put16(-1700));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Held(), (TFigures{-1800, None, 50, None, -1700}));
}

TEST_F(Loudness, Rf64FileGetsABext) {
    const std::string path = Dir.File("rf64.wav");
    const auto build = [&](uint64_t riffSize) {
        return B("RF64")
            .RiffSize(0xFFFFFFFF)
            .Chunk("ds64", B::Le64(riffSize) + B::Le64(Audio.size()) + B::Le64(2000) + B::Le32(0))
            .Chunk("fmt ", B::Fmt())
            .ChunkWithSize("data", 0xFFFFFFFF, Audio)
            .Build();
    };
    ASSERT_TRUE(Spit(path, build(build(0).size() - 8)));
    ASSERT_EQ(SetBroadcastOptions(Always, 0), 0);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    ASSERT_EQ(Store(Measured), 0);
    ASSERT_EQ(CloseWavFile(), 0);
    const std::string after = Slurp(path);
    EXPECT_EQ(after.substr(0, 4), "RF64");
    EXPECT_EQ(after.substr(20, 8), B::Le64(after.size() - 8)); // ds64 RIFF size
    EXPECT_EQ(Only(after, "data"), Audio);
    const std::string bext = Only(after, "bext");
    ASSERT_EQ(bext.size(), 602u);
    EXPECT_EQ(Le16(bext, 346), 2);
    EXPECT_EQ(bext.substr(412, 10), MeasuredBytes);
    EXPECT_EQ(bext.substr(0, 346).find_first_not_of('\0'), std::string::npos);
    EXPECT_EQ(bext.substr(422).find_first_not_of('\0'), std::string::npos);
}

TEST_F(Loudness, ArgumentsOutOfRangeAndNoFile) {
    EXPECT_EQ(Store(Measured), -1); // no open file
    int32_t v = 0;
    EXPECT_EQ(GetLoudness(&v, nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(v, None);
    const std::string path = Dir.File("args.wav");
    ASSERT_TRUE(Spit(path, WavWith(BextBody(1, 602))));
    const std::string before = Slurp(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetLoudness(nullptr, nullptr, nullptr, nullptr, nullptr), 1); // version 1
    for (const TFigures& bad :
         {TFigures{32767, None, None, None, None}, TFigures{-2300, -32768, None, None, None},
          TFigures{-2300, None, 100000, None, None}, TFigures{None, None, None, None, None}})
        EXPECT_EQ(Store(bad), -1) << bad.Integrated << " " << bad.Range;
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Slurp(path), before);
}

// ---- MPEG ----

// This test's own ID3v2 writer and reader (versions 2.3 and 2.4, no unsynchronisation).
std::string SizeBytes(uint32_t n, bool syncsafe) {
    if (syncsafe)
        return {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F),
                char(n & 0x7F)};
    return {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
}

uint32_t ReadSize(const std::string& s, std::size_t at, bool syncsafe) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return syncsafe ? (p[0] << 21 | p[1] << 14 | p[2] << 7 | p[3])
                    : (uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

struct TFrame {
    std::string Id;
    std::string Body;
};

std::string Tag(int version, const std::vector<TFrame>& frames, std::size_t padding) {
    std::string body;
    for (const auto& f : frames)
        body += f.Id + SizeBytes(static_cast<uint32_t>(f.Body.size()), version == 4) +
                std::string(2, '\0') + f.Body;
    body += std::string(padding, '\0');
    return std::string("ID3") + char(version) + '\0' + '\0' +
           SizeBytes(static_cast<uint32_t>(body.size()), true) + body;
}

// The frames of the tag at the start of bytes, whole (header and body), and the tag's size.
std::vector<std::string> FramesOf(const std::string& bytes, std::size_t* tagSize = nullptr) {
    std::vector<std::string> out;
    if (bytes.compare(0, 3, "ID3") != 0)
        return out;
    const bool syncsafe = bytes[3] == 4;
    const std::size_t end = 10 + ReadSize(bytes, 6, true);
    if (tagSize)
        *tagSize = end;
    std::size_t pos = 10;
    while (pos + 10 <= end && bytes[pos] != '\0') {
        const std::size_t size = ReadSize(bytes, pos + 4, syncsafe);
        out.push_back(bytes.substr(pos, 10 + size));
        pos += 10 + size;
    }
    return out;
}

TFrame UserText(const std::string& description, const std::string& value) {
    return {"TXXX", std::string(1, '\0') + description + std::string(1, '\0') + value};
}

bool IsReplayGainFrame(const std::string& frame) {
    if (frame.compare(0, 4, "TXXX") != 0)
        return false;
    std::string description = frame.substr(11, frame.find('\0', 11) - 11);
    std::transform(description.begin(), description.end(), description.begin(), ::toupper);
    return description == "REPLAYGAIN_TRACK_GAIN" || description == "REPLAYGAIN_TRACK_PEAK";
}

// TagLib's reading of the user text frames of that description, in any case.
std::vector<std::string> TagLibUserTexts(const std::string& path, const std::string& description) {
    std::vector<std::string> out;
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.ID3v2Tag())
        return out;
    for (auto* frame : file.ID3v2Tag()->frameList("TXXX")) {
        auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (user && user->description().upper() == TagLib::String(description).upper())
            out.push_back(user->fieldList().back().to8Bit(true));
    }
    return out;
}

TEST_F(Loudness, ReplayGainFramesInEachTagVersion) {
    const std::string mp3 = Dir.File("tone.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, {44100, 2, 0.5, 997.0, 0.4}, false));
    const std::string audio = Slurp(mp3);
    ASSERT_NE(audio.substr(0, 3), "ID3");
    const std::vector<TFrame> others = {
        {"TIT2", std::string(1, '\0') + "Title"},
        {"TPE1", std::string(1, '\1') + "\xFF\xFE" + std::string("A\0r\0t\0", 6)},
        {"PRIV", "owner" + std::string(1, '\0') + "\x01\x02\x03"},
    };
    struct TCase {
        const char* Name;
        int Version;
        std::vector<TFrame> Frames;
        std::size_t Padding;
    };
    const TCase cases[] = {
        {"v2.3 without ReplayGain", 3, others, 1024},
        {"v2.4 without ReplayGain", 4, others, 1024},
        {"v2.3 with lower-case frames and no padding",
         3,
         {others[0], UserText("replaygain_track_gain", "+1.00 dB"), others[1],
          UserText("replaygain_track_peak", "0.5"), UserText("REPLAYGAIN_TRACK_GAIN", "x"),
          others[2]},
         0},
        {"v2.4 with frames of the same descriptions",
         4,
         {UserText("REPLAYGAIN_TRACK_GAIN", "-3.00 dB"), others[0], others[1], others[2],
          UserText("Replaygain_Track_Peak", "1.2")},
         64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Dir.File("rg.mp3");
        const std::string before = Tag(c.Version, c.Frames, c.Padding) + audio;
        ASSERT_TRUE(Spit(path, before));
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        // -12.88 LUFS: a gain of -5.12 dB; a true peak of -1.05 dBTP is 0.886135.
        ASSERT_EQ(SetLoudness(-1288, 512, -105, None, None), 0);
        ASSERT_EQ(CloseWavFile(), 0);
        const std::string after = Slurp(path);

        std::size_t tagSize = 0;
        const auto frames = FramesOf(after, &tagSize);
        EXPECT_EQ(after[3], char(c.Version));
        EXPECT_EQ(after.substr(tagSize), audio); // every audio byte
        // Every other frame byte for byte, in its order.
        std::vector<std::string> kept, wanted;
        for (const auto& f : frames)
            if (!IsReplayGainFrame(f))
                kept.push_back(f);
        for (const auto& f : FramesOf(before))
            if (!IsReplayGainFrame(f))
                wanted.push_back(f);
        EXPECT_EQ(kept, wanted);
        // One frame each, Latin-1 text (encoding 0), the descriptions as written.
        std::vector<std::string> gains;
        for (const auto& f : frames)
            if (IsReplayGainFrame(f))
                gains.push_back(f.substr(10));
        std::sort(gains.begin(), gains.end());
        EXPECT_EQ(gains,
                  (std::vector<std::string>{std::string("\0REPLAYGAIN_TRACK_GAIN\0-5.12 dB", 31),
                                            std::string("\0REPLAYGAIN_TRACK_PEAK\0"
                                                        "0.886135",
                                                        31)}));
        EXPECT_EQ(TagLibUserTexts(path, "REPLAYGAIN_TRACK_GAIN"),
                  std::vector<std::string>{"-5.12 dB"});
        EXPECT_EQ(TagLibUserTexts(path, "REPLAYGAIN_TRACK_PEAK"),
                  std::vector<std::string>{"0.886135"});

        const std::string probe = Output("ffprobe -v error -show_format '" + path + "'");
        if (!probe.empty()) {
            EXPECT_NE(probe.find("TAG:REPLAYGAIN_TRACK_GAIN=-5.12 dB"), std::string::npos) << probe;
            EXPECT_NE(probe.find("TAG:REPLAYGAIN_TRACK_PEAK=0.886135"), std::string::npos) << probe;
        }

        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        EXPECT_EQ(Held(), (TFigures{-1288, None, -105, None, None}));
        ASSERT_EQ(CloseWavFile(), 0);
    }
}

TEST_F(Loudness, ReplayGainReadFromOtherTaggersAndRefusedWithoutId3v2) {
    const std::string mp3 = Dir.File("plain.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, {44100, 2, 0.3, 440.0, 0.3}, false));
    const std::string audio = Slurp(mp3);

    // Another tagger's lower-case frames, a positive gain with its sign.
    const std::string path = Dir.File("other.mp3");
    ASSERT_TRUE(Spit(path, Tag(3,
                               {UserText("replaygain_track_gain", "+2.50 dB"),
                                UserText("replaygain_track_peak", "0.501187")},
                               100) +
                               audio));
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Held(), (TFigures{-2050, None, -600, None, None}));
    ASSERT_EQ(CloseWavFile(), 0);

    // No ID3v2 tag: refused with a reason, the file unchanged.
    ASSERT_EQ(OpenWavFile(mp3.c_str(), 0, 0), 0);
    EXPECT_EQ(SetLoudness(-1288, None, -105, None, None), 1);
    EXPECT_NE(LastError().find("ID3v2"), std::string::npos) << LastError();
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(Slurp(mp3), audio);

    // ReplayGain needs the integrated loudness and the true peak.
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(SetLoudness(-1288, 500, None, None, None), 1);
    EXPECT_NE(LastError(), "");
    ASSERT_EQ(CloseWavFile(), 0);
}

// The file I/O of a save process that dies during its N-th write, half of it written.
class TDyingIo : public riffkit::TFileIo {
public:
    TDyingIo(riffkit::TFileIo& inner, int dieAt) : Inner(inner), DieAt(dieAt) {}
    bool Read(std::uint64_t o, void* b, std::size_t n) override { return Inner.Read(o, b, n); }
    bool Write(std::uint64_t o, const void* b, std::size_t n) override {
        if (++Writes == DieAt) {
            Inner.Write(o, b, n / 2);
            ::_exit(0);
        }
        return Inner.Write(o, b, n);
    }
    bool Sync() override { return Inner.Sync(); }
    std::uint64_t Size() override { return Inner.Size(); }
    bool Truncate(std::uint64_t s) override { return Inner.Truncate(s); }
    bool Reserve(std::uint64_t s) override { return Inner.Reserve(s); }

private:
    riffkit::TFileIo& Inner;
    int DieAt;
    int Writes = 0;
};

TEST_F(Loudness, ReplayGainSaveKilledWhileMovingTheAudioIsCompletedOnOpen) {
    Dir.BecomeHome(); // where the save journal goes
    const std::string mp3 = Dir.File("tone.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, {44100, 2, 1.0, 997.0, 0.4}, false));
    const std::string audio = Slurp(mp3);
    const std::vector<TFrame> title = {{"TIT2", std::string(1, '\0') + "Title"}};
    for (const int dieAt : {1, 2, 3, 5}) {
        SCOPED_TRACE(dieAt);
        const std::string path = Dir.File("killed.mp3");
        const std::string before = Tag(3, title, 0) + audio; // no padding: the tag grows
        ASSERT_TRUE(Spit(path, before));
        // The save SetLoudness(-1288, ..., -105, ...) makes, killed at a write.
        const pid_t pid = ::fork();
        if (pid == 0) {
            riffkit::TPosixFileIo io;
            riffkit::TPosixFileIo::TFacts facts;
            if (!io.Open(path, true) || !io.Facts(facts))
                ::_exit(4);
            riffkit::TPosixJournal journal(path, facts);
            std::string reason;
            auto file = riffkit::TMpegFile::Read(io, reason);
            auto edit = file ? file->PlanSave({{"REPLAYGAIN_TRACK_GAIN", "-5.12 dB"},
                                               {"REPLAYGAIN_TRACK_PEAK", "0.886135"}},
                                              reason)
                             : std::nullopt;
            if (!edit || edit->Delta == 0)
                ::_exit(5);
            TDyingIo dying(io, dieAt);
            riffkit::TMpegCommitter::Commit(dying, journal, *edit, {facts.FileSystem, facts.Inode},
                                            4096);
            ::_exit(6); // not killed
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0) << "the save was not killed where planned";

        // Opening completes the save from its journal: the new frames, the audio intact.
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0) << LastError();
        EXPECT_EQ(Held(), (TFigures{-1288, None, -105, None, None}));
        ASSERT_EQ(CloseWavFile(), 0);
        std::size_t tagSize = 0;
        const std::string after = Slurp(path);
        const auto frames = FramesOf(after, &tagSize);
        EXPECT_EQ(after.substr(tagSize), audio);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0], FramesOf(before)[0]);
        EXPECT_EQ(TagLibUserTexts(path, "REPLAYGAIN_TRACK_GAIN"),
                  std::vector<std::string>{"-5.12 dB"});
    }
}

} // namespace
