// Files the way the world makes them (float levels, damaged MPEG, false Xing counts, joined
// files, trailing tags, GSM, unset data sizes, many channels): what reaches SDL's disk driver
// is compared with ffmpeg's decode of the same file.
#include "AudioFixtures.h"
#include "RiffBuilder.h"
#include "SonaraTestUtil.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

using namespace SonaraTest;

namespace {

using TBytes = std::vector<uint8_t>;

// Garbage without 0xFF, so it holds no false frame sync.
TBytes Garbage(size_t size, uint32_t seed) {
    TBytes bytes(size);
    for (uint8_t& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>((seed >> 24) % 0xFF);
    }
    return bytes;
}

// The offset of the Xing/Info frame count in the first frame, or 0 when there is none.
size_t XingCountOffset(const TBytes& bytes) {
    for (size_t i = 0; i + 12 <= bytes.size() && i < 400; ++i) {
        if (std::memcmp(&bytes[i], "Xing", 4) == 0 || std::memcmp(&bytes[i], "Info", 4) == 0)
            return (bytes[i + 7] & 1) ? i + 8 : 0;
    }
    return 0;
}

void PutBe32(TBytes& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

TBytes Syncsafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F),
            uint8_t(v & 0x7F)};
}

// An ID3v2.4 tag with a title frame and a "3DI" footer, as appended at the end of a file.
TBytes Id3v24WithFooter() {
    const std::string title = "Appended title";
    TBytes frame = {'T', 'I', 'T', '2'};
    const TBytes frameSize = Syncsafe(static_cast<uint32_t>(title.size() + 1));
    frame.insert(frame.end(), frameSize.begin(), frameSize.end());
    frame.insert(frame.end(), {0, 0, 3});
    frame.insert(frame.end(), title.begin(), title.end());
    const TBytes size = Syncsafe(static_cast<uint32_t>(frame.size()));
    TBytes tag = {'I', 'D', '3', 4, 0, 0x10};
    tag.insert(tag.end(), size.begin(), size.end());
    tag.insert(tag.end(), frame.begin(), frame.end());
    tag.insert(tag.end(), {'3', 'D', 'I', 4, 0, 0x10});
    tag.insert(tag.end(), size.begin(), size.end());
    return tag;
}

TBytes Id3v1() {
    TBytes tag(128, 0);
    std::memcpy(tag.data(), "TAGTrailing title", 17);
    return tag;
}

TBytes Cat(TBytes a, const TBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Fixtures::TToneSpec Sweep(double seconds, int rate = 44100, int channels = 2) {
    Fixtures::TToneSpec tone;
    tone.Seconds = seconds;
    tone.SampleRate = rate;
    tone.Channels = channels;
    tone.FrequencyHz = 150.0;
    tone.SweepToHz = 2500.0;
    return tone;
}

// Fixture makers: each writes one file into dir and names it in path.
using TMaker = bool (*)(const TTempDir& dir, std::string& path);

bool FloatQuiet(const TTempDir& dir, std::string& path) {
    Fixtures::TToneSpec tone = Sweep(1.0, 44100, 1);
    tone.Amplitude = 0.05; // -26 dBFS
    path = dir.File("quiet.wav");
    return Fixtures::WritePcmWav(path, tone, SF_FORMAT_FLOAT);
}

bool WithGarbageInTheMiddle(const std::string& source, const std::string& out) {
    TBytes bytes = Fixtures::ReadBytes(source);
    const TBytes junk = Garbage(3000, 7);
    bytes.insert(bytes.begin() + static_cast<long>(bytes.size() / 2), junk.begin(), junk.end());
    return Fixtures::WriteBytes(out, bytes);
}

bool Mp3Damaged(const TTempDir& dir, std::string& path) {
    path = dir.File("damaged.mp3");
    return Fixtures::WriteMp3(dir.File("clean.mp3"), Sweep(3.0), false, 128) &&
           WithGarbageInTheMiddle(dir.File("clean.mp3"), path);
}

bool Mp2Damaged(const TTempDir& dir, std::string& path) {
    path = dir.File("damaged.mp2");
    return Fixtures::WriteMp2(dir.File("clean.mp2"), Sweep(3.0), 192) &&
           WithGarbageInTheMiddle(dir.File("clean.mp2"), path);
}

bool XingCount(const TTempDir& dir, std::string& path, uint32_t count) {
    if (!Fixtures::WriteMp3(dir.File("vbr.mp3"), Sweep(3.0), true))
        return false;
    TBytes bytes = Fixtures::ReadBytes(dir.File("vbr.mp3"));
    const size_t at = XingCountOffset(bytes);
    if (at == 0)
        return false;
    PutBe32(bytes, at, count);
    path = dir.File("xing" + std::to_string(count) + ".mp3");
    return Fixtures::WriteBytes(path, bytes);
}

bool XingZero(const TTempDir& dir, std::string& path) {
    return XingCount(dir, path, 0);
}

bool XingThree(const TTempDir& dir, std::string& path) {
    return XingCount(dir, path, 3);
}

bool Joined(const TTempDir& dir, std::string& path) {
    Fixtures::TToneSpec second = Sweep(1.5);
    second.FrequencyHz = 3000.0;
    second.SweepToHz = 400.0;
    path = dir.File("joined.mp3");
    return Fixtures::WriteMp3(dir.File("a.mp3"), Sweep(1.5), true) &&
           Fixtures::WriteMp3(dir.File("b.mp3"), second, true) &&
           Fixtures::WriteBytes(path, Cat(Fixtures::ReadBytes(dir.File("a.mp3")),
                                          Fixtures::ReadBytes(dir.File("b.mp3"))));
}

// The Xing/Info tag of an MP3's first frame blanked (the frame stays a valid frame).
TBytes WithoutXing(TBytes bytes) {
    for (size_t i = 0; i + 4 <= bytes.size() && i < 400; ++i)
        if (std::memcmp(&bytes[i], "Xing", 4) == 0 || std::memcmp(&bytes[i], "Info", 4) == 0)
            std::fill_n(bytes.begin() + static_cast<long>(i), 4, 0);
    return bytes;
}

// Two CBR MP3s without Xing tags put end to end: the second part at another bit rate or
// sample rate starts well after the first 64 frames.
bool JoinedCbr(const TTempDir& dir, std::string& path, const Fixtures::TToneSpec& a, int kbpsA,
               const Fixtures::TToneSpec& b, int kbpsB) {
    path = dir.File("joined" + std::to_string(kbpsA) + "_" + std::to_string(b.SampleRate) + ".mp3");
    return Fixtures::WriteMp3(dir.File("a.mp3"), a, false, kbpsA) &&
           Fixtures::WriteMp3(dir.File("b.mp3"), b, false, kbpsB) &&
           Fixtures::WriteBytes(path, Cat(WithoutXing(Fixtures::ReadBytes(dir.File("a.mp3"))),
                                          WithoutXing(Fixtures::ReadBytes(dir.File("b.mp3")))));
}

bool Joined128And64(const TTempDir& dir, std::string& path) {
    Fixtures::TToneSpec second = Sweep(2.0);
    second.FrequencyHz = 3000.0;
    second.SweepToHz = 400.0;
    return JoinedCbr(dir, path, Sweep(2.1), 128, second, 64);
}

bool Joined44And22(const TTempDir& dir, std::string& path) {
    Fixtures::TToneSpec second = Sweep(2.0, 22050);
    second.FrequencyHz = 3000.0;
    second.SweepToHz = 400.0;
    return JoinedCbr(dir, path, Sweep(0.5), 64, second, 64);
}

// MP2 has no Info frame, so its length comes from its bytes and tags must not count.
bool TrailingId3v24(const TTempDir& dir, std::string& path, bool v1Last) {
    if (!Fixtures::WriteMp2(dir.File("plain.mp2"), Sweep(2.0), 256))
        return false;
    const TBytes audio = Fixtures::ReadBytes(dir.File("plain.mp2"));
    path = dir.File(v1Last ? "v24v1.mp2" : "v1v24.mp2");
    return Fixtures::WriteBytes(path, v1Last ? Cat(Cat(audio, Id3v24WithFooter()), Id3v1())
                                             : Cat(Cat(audio, Id3v1()), Id3v24WithFooter()));
}

bool Id3v24ThenV1(const TTempDir& dir, std::string& path) {
    return TrailingId3v24(dir, path, true);
}

bool V1ThenId3v24(const TTempDir& dir, std::string& path) {
    return TrailingId3v24(dir, path, false);
}

bool Mp2InWav(const TTempDir& dir, std::string& path) {
    path = dir.File("mp2in.wav");
    return Fixtures::WriteMp2(dir.File("in.mp2"), Sweep(2.0), 256) &&
           Fixtures::WrapMpegInWav(dir.File("in.mp2"), path);
}

// A VBR MP3 whose Xing tag is blanked: libsndfile guesses its length from the first frame.
bool HeaderlessVbr(const TTempDir& dir, std::string& path) {
    if (!Fixtures::WriteMp3(dir.File("vbr.mp3"), Sweep(3.0), true))
        return false;
    TBytes bytes = Fixtures::ReadBytes(dir.File("vbr.mp3"));
    for (size_t i = 0; i + 4 <= bytes.size() && i < 400; ++i)
        if (std::memcmp(&bytes[i], "Xing", 4) == 0)
            std::fill_n(bytes.begin() + static_cast<long>(i), 4, 0);
    path = dir.File("bare.mp3");
    return Fixtures::WriteBytes(path, bytes);
}

bool Gsm(const TTempDir& dir, std::string& path) {
    path = dir.File("gsm.wav");
    return Fixtures::WritePcmWav(path, Sweep(3.0, 8000, 1), SF_FORMAT_GSM610);
}

bool DataSize(const TTempDir& dir, std::string& path, uint32_t size) {
    if (!Fixtures::WritePcmWav(dir.File("whole.wav"), Sweep(2.0), SF_FORMAT_PCM_16))
        return false;
    TBytes bytes = Fixtures::ReadBytes(dir.File("whole.wav"));
    for (size_t i = 12; i + 8 <= bytes.size(); ++i) {
        if (std::memcmp(&bytes[i], "data", 4) == 0) {
            for (int k = 0; k < 4; ++k) {
                bytes[i + 4 + k] = static_cast<uint8_t>(size >> (8 * k));
                bytes[4 + k] = static_cast<uint8_t>(size >> (8 * k)); // RIFF size left unset too
            }
            path = dir.File("size" + std::to_string(size) + ".wav");
            return Fixtures::WriteBytes(path, bytes);
        }
    }
    return false;
}

bool DataSizeZero(const TTempDir& dir, std::string& path) {
    return DataSize(dir, path, 0);
}

bool DataSizeUnknown(const TTempDir& dir, std::string& path) {
    return DataSize(dir, path, 0xFFFFFFFFu);
}

// Ten channels, each its own tone, written byte by byte.
bool TenChannels(const TTempDir& dir, std::string& path) {
    constexpr int channels = 10, rate = 22050;
    const size_t frames = rate * 3 / 2;
    std::string data;
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double v =
                0.3 * std::sin(2.0 * std::numbers::pi * 110.0 * (c + 1) * double(f) / rate);
            const auto s = static_cast<int16_t>(std::lround(v * 32767.0));
            data += static_cast<char>(s & 0xFF);
            data += static_cast<char>((s >> 8) & 0xFF);
        }
    }
    path = dir.File("ten.wav");
    return TRiffBuilder()
        .Chunk("fmt ", TRiffBuilder::Fmt(channels, rate, 16))
        .Chunk("data", data)
        .WriteTo(path);
}

struct TRealCase {
    const char* Name;
    TMaker Make;
    int Rate;
    int Channels;
    uint32_t StartMs;
    uint32_t EndMs; // 0: to the end
    int16_t Force;
    // Largest difference of one sample from ffmpeg's (two decoders round differently).
    int Tolerance;
    // Frames by which the measured and the played length may differ from ffmpeg's.
    uint32_t SlackFrames;
    // Frames by which the audio may sit off ffmpeg's: where a header is false, the two
    // decoders disagree on the encoder delay by up to a frame and the delay.
    uint32_t ShiftFrames = 0;
    // A damaged stretch of the file that decoders conceal differently: left out of the
    // comparison, and the audio after it may sit off by up to ShiftAfterDamage frames.
    uint32_t DamageFromMs = 0, DamageToMs = 0, ShiftAfterDamage = 0;
};

void PrintTo(const TRealCase& c, std::ostream* os) {
    *os << c.Name;
}

class SonaraCapture : public ::testing::Test {
protected:
    void SetUp() override {
        Capture = Dir.File("capture.raw");
        setenv("SDL_DISKAUDIOFILE", Capture.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "1", 1); // faster than real time: only samples count
    }
    void TearDown() override { SN_FreeHandlePlayAll(); }

    TTempDir Dir;
    std::string Capture;
};

class SonaraRealFiles : public SonaraCapture, public ::testing::WithParamInterface<TRealCase> {};

// The largest difference between captured and expected frames [from, to), with captured
// moved by the shift (within ±maxShift) that fits best over the first 4096 frames.
int WorstDifference(const std::vector<int16_t>& captured, const std::vector<int16_t>& expected,
                    size_t channels, size_t from, size_t to, size_t maxShift, int tolerance) {
    if (from >= to)
        return 0;
    const auto shifted = [&](long shift, size_t end) {
        int worst = 0;
        // A shift moves the ends of the range out of the capture; the played length is
        // checked on its own.
        const long capturedFrames = long(EndOfSoundFrames(captured, channels));
        for (size_t f = from; f < end; ++f) {
            const long at = long(f) + shift;
            if (at < 0 || at >= capturedFrames)
                continue;
            for (size_t ch = 0; ch < channels; ++ch)
                worst = std::max(worst, std::abs(int(captured[size_t(at) * channels + ch]) -
                                                 expected[f * channels + ch]));
        }
        return worst;
    };
    long best = 0;
    int bestWorst = shifted(0, std::min(to, from + 4096));
    for (long d = 1; d <= long(maxShift) && bestWorst > tolerance; ++d) {
        for (const long shift : {d, -d}) {
            const int w = shifted(shift, std::min(to, from + 4096));
            if (w < bestWorst) {
                bestWorst = w;
                best = shift;
            }
        }
    }
    return shifted(best, to);
}

TEST_P(SonaraRealFiles, PlaysLikeFfmpeg) {
    const TRealCase& c = GetParam();
    std::string path;
    ASSERT_TRUE(c.Make(Dir, path));
    std::vector<int16_t> reference;
    ASSERT_TRUE(FfmpegDecode(path, reference))
        << "ffmpeg cannot decode " << path << " (scripts/install-deps installs it)";
    const size_t channels = static_cast<size_t>(c.Channels);
    const size_t refFrames = reference.size() / channels;

    const uint32_t length = SN_PlayGetLengthMsFile(path.c_str());
    EXPECT_NEAR(double(length), double(refFrames) * 1000.0 / c.Rate,
                1.0 + c.SlackFrames * 1000.0 / c.Rate);

    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    ASSERT_NE(handle, 0u) << LastError();
    SN_ForceCodec(handle, c.Force);
    ASSERT_EQ(SN_PlayStartXY(handle, c.StartMs, c.EndMs), 0) << LastError();
    ASSERT_TRUE(WaitForStatus(handle, SN_STATUS_DONE, 60000));
    SN_PlayStop(handle);
    SN_FreeHandlePlayAll(); // returns once the device has closed its capture file

    // What ffmpeg decodes for the range, on the channels the device has (at most 8).
    const size_t device = std::min<size_t>(channels, 8);
    const size_t first = size_t(c.StartMs) * c.Rate / 1000;
    const size_t last = c.EndMs ? std::min(refFrames, size_t(c.EndMs) * c.Rate / 1000) : refFrames;
    ASSERT_LT(first, last);
    std::vector<int16_t> expected;
    for (size_t f = first; f < last; ++f)
        for (size_t ch = 0; ch < device; ++ch)
            expected.push_back(reference[f * channels + ch]);

    std::vector<int16_t> captured = ReadCapture(Capture);
    ASSERT_TRUE(DropLeadingSilence(captured, expected, device)) << "no sound reached the device";

    const size_t playedFrames = EndOfSoundFrames(captured, device);
    const size_t expectedFrames = EndOfSoundFrames(expected, device);
    EXPECT_NEAR(double(playedFrames), double(expectedFrames), double(c.SlackFrames));

    // Before any damage the audio is ffmpeg's (at the case's shift); after it, the same audio
    // again, possibly moved by the frames the decoders dropped differently.
    const size_t compared = std::min(playedFrames, expectedFrames);
    const size_t damageFrom = size_t(c.DamageFromMs) * c.Rate / 1000;
    const size_t damageTo = size_t(c.DamageToMs) * c.Rate / 1000;
    if (damageTo > first) {
        const size_t before = std::min(compared, damageFrom > first ? damageFrom - first : 0);
        EXPECT_LE(
            WorstDifference(captured, expected, device, 0, before, c.ShiftFrames, c.Tolerance),
            c.Tolerance)
            << "before the damage";
        EXPECT_LE(WorstDifference(captured, expected, device, damageTo - first, compared,
                                  c.ShiftAfterDamage, c.Tolerance),
                  c.Tolerance)
            << "after the damage";
    } else {
        EXPECT_LE(
            WorstDifference(captured, expected, device, 0, compared, c.ShiftFrames, c.Tolerance),
            c.Tolerance);
    }
}

// One MPEG frame at 44.1 kHz.
constexpr uint32_t kFrame = 1152;

// Encoder delay plus the decoder's 529 samples, as LAME writes them.
constexpr uint32_t kDelay = 576 + 529;

const TRealCase kRealCases[] = {
    {"float_at_its_own_level", FloatQuiet, 44100, 1, 0, 0, 0, 2, 0},
    // ffmpeg drops more frames at the damage than mpg123 (both conceal it).
    {"mp3_damaged_in_the_middle", Mp3Damaged, 44100, 2, 500, 2500, 0, 4, 6 * kFrame, 0, 1450, 1650,
     6 * kFrame},
    {"mp2_damaged_in_the_middle", Mp2Damaged, 44100, 2, 500, 2500, 0, 4, 6 * kFrame, 0, 1450, 1650,
     6 * kFrame},
    {"mp3_xing_count_zero", XingZero, 44100, 2, 0, 0, 0, 4, kFrame + kDelay, kFrame + kDelay},
    {"mp3_xing_count_three", XingThree, 44100, 2, 1000, 0, 0, 4, kFrame + kDelay, kFrame + kDelay},
    // The junction: the second file's header frame and encoder delay.
    {"mp3_joined_from_two", Joined, 44100, 2, 1000, 0, 0, 4, 2 * kFrame, 0, 1480, 1600,
     kFrame + kDelay},
    // Joined at 2.1 s (plus the first part's encoder delay and padding); the second part at
    // half the bit rate. Its start is compared only after the junction.
    {"mp3_joined_128k_then_64k", Joined128And64, 44100, 2, 1000, 0, 0, 4, kFrame, 0, 2050, 2250,
     kFrame},
    {"mp2_id3v24_then_id3v1", Id3v24ThenV1, 44100, 2, 1500, 0, 0, 4, 0},
    {"mp2_id3v1_then_id3v24", V1ThenId3v24, 44100, 2, 1500, 0, 0, 4, 0},
    {"forced_mp2_in_wav", Mp2InWav, 44100, 2, 500, 1500, 1, 4, 0},
    {"forced_headerless_vbr", HeaderlessVbr, 44100, 2, 2000, 0, 1, 4, kFrame},
    {"gsm_from_the_start", Gsm, 8000, 1, 0, 1000, 0, 0, 0},
    {"gsm_from_the_middle", Gsm, 8000, 1, 1500, 2500, 0, 0, 0},
    {"wav_data_size_zero", DataSizeZero, 44100, 2, 1000, 0, 0, 0, 0},
    {"wav_data_size_unknown", DataSizeUnknown, 44100, 2, 1000, 0, 0, 0, 0},
    {"ten_channels", TenChannels, 22050, 10, 200, 1200, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Files, SonaraRealFiles, ::testing::ValuesIn(kRealCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A quiet float file plays at its own level: its peak, not full scale (own samples, no ffmpeg).
TEST_F(SonaraCapture, FloatPeakStaysWhereTheFileHasIt) {
    std::string path;
    ASSERT_TRUE(FloatQuiet(Dir, path));
    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    ASSERT_EQ(SN_PlayStartXY(handle, 0, 0), 0) << LastError();
    ASSERT_TRUE(WaitForStatus(handle, SN_STATUS_DONE, 60000));
    SN_FreeHandlePlayAll();
    const TBytes bytes = Fixtures::ReadBytes(Capture);
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        peak = std::max(peak, std::abs(int(int16_t(bytes[i] | (bytes[i + 1] << 8)))));
    EXPECT_NEAR(peak, 0.05 * 32767, 3);
}

} // namespace

namespace {

// The best normalized correlation of captured frames [from, to) of channel 0 with expected,
// captured moved by up to maxShift frames either way.
double BestCorrelation(const std::vector<int16_t>& captured, const std::vector<int16_t>& expected,
                       size_t channels, size_t from, size_t to, long maxShift) {
    double best = -1.0;
    for (long shift = -maxShift; shift <= maxShift; ++shift) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t f = from; f < to; ++f) {
            const long at = long(f) + shift;
            if (at < 0 || size_t(at) * channels >= captured.size())
                continue;
            const double x = captured[size_t(at) * channels], y = expected[f * channels];
            xy += x * y, xx += x * x, yy += y * y;
        }
        if (xx > 0 && yy > 0)
            best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

} // namespace

// 0.5 s at 44.1 kHz joined to 2 s at 22.05 kHz: measured, played and heard as ffmpeg decodes it
// at 44.1 kHz, the second part converted to the first part's rate; a start inside the second
// part lands where ffmpeg has that time.
TEST_F(SonaraCapture, JoinedStreamPlaysOnAcrossARateChange) {
    std::string path;
    ASSERT_TRUE(Joined44And22(Dir, path));
    std::vector<int16_t> reference;
    ASSERT_TRUE(FfmpegDecode(path, reference, 44100));
    const double refMs = reference.size() / 2 * 1000.0 / 44100;
    // 2.5 s of tone, and each part's encoder delay and padding.
    EXPECT_NEAR(refMs, 2600.0, 100.0) << "ffmpeg's own decode";
    char a[64], b[64];
    ASSERT_NE(SN_GetWaveFileFormat(path.c_str(), a, 64, b, 64), 0);
    EXPECT_STREQ(b, "44100 Hz Stereo");
    constexpr double kFrameMs = 1152 * 1000.0 / 44100;
    EXPECT_NEAR(SN_PlayGetLengthMsFile(path.c_str()), refMs, kFrameMs);

    for (const uint32_t startMs : {0u, 1500u}) {
        SCOPED_TRACE(startMs);
        std::remove(Capture.c_str());
        const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
        ASSERT_NE(handle, 0u) << LastError();
        ASSERT_EQ(SN_PlayStartXY(handle, startMs, 0), 0) << LastError();
        ASSERT_TRUE(WaitForStatus(handle, SN_STATUS_DONE, 60000));
        EXPECT_NEAR(SN_PlayGetTimeMs(handle), refMs, kFrameMs) << "the position rests at the end";
        SN_FreeHandlePlayAll();

        // Both from their first sound: the decoders differ by a frame on what the blanked
        // header frame holds.
        const size_t first = size_t(startMs) * 44100 / 1000;
        std::vector<int16_t> expected(reference.begin() + long(first) * 2, reference.end());
        std::vector<int16_t> captured = ReadCapture(Capture);
        for (auto* samples : {&expected, &captured})
            samples->erase(samples->begin(),
                           samples->begin() + long(FirstNonZeroFrame(*samples, 2)) * 2);
        ASSERT_FALSE(captured.empty()) << "no sound reached the device";
        EXPECT_NEAR(double(EndOfSoundFrames(captured, 2)), double(EndOfSoundFrames(expected, 2)),
                    2 * 1152.0);
        // The converted part is the same sweep as ffmpeg's, within a frame of its place.
        const size_t partStart = (startMs < 700 ? 700 - startMs : 0) * 44100 / 1000;
        const size_t soundEnd = std::min(EndOfSoundFrames(captured, 2), expected.size() / 2);
        for (size_t from = partStart; from + 8192 < soundEnd; from += (soundEnd - partStart) / 3) {
            SCOPED_TRACE(from);
            EXPECT_GT(BestCorrelation(captured, expected, 2, from, from + 4096, 1300), 0.9);
        }
    }
}
