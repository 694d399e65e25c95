// Format texts and lengths measured from file headers, and clean failures on bad input.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TFormatCase {
    const char* Name;
    int Kind; // 0 PCM (libsndfile subtype in Subtype), 1 MP3 CBR, 2 MP3 VBR, 3 MP2, 4 MP2 in WAV, 5
              // MP3 in WAV
    int Subtype;
    int Rate;
    int Channels;
    double Seconds;
    const char* TextA;
    const char* TextB;
    uint32_t ToleranceMs; // 0: exact
    int Kbps = 256;
};

bool WriteCase(const TFormatCase& c, const TTempDir& dir, std::string& path) {
    Fixtures::TToneSpec tone;
    tone.SampleRate = c.Rate;
    tone.Channels = c.Channels;
    tone.Seconds = c.Seconds;
    const std::string mpeg = dir.File(std::string(c.Name) + ".mpeg");
    switch (c.Kind) {
    case 0:
        path = dir.File(std::string(c.Name) + ".wav");
        return Fixtures::WritePcmWav(path, tone, c.Subtype);
    case 1:
    case 2:
        path = dir.File(std::string(c.Name) + ".mp3");
        return Fixtures::WriteMp3(path, tone, c.Kind == 2, 128);
    case 3:
        path = dir.File(std::string(c.Name) + ".mp2");
        return Fixtures::WriteMp2(path, tone, c.Kbps);
    case 4:
        path = dir.File(std::string(c.Name) + ".wav");
        return Fixtures::WriteMp2(mpeg, tone, 256) && Fixtures::WrapMpegInWav(mpeg, path);
    default:
        path = dir.File(std::string(c.Name) + ".wav");
        return Fixtures::WriteMp3(mpeg, tone, false, 128) && Fixtures::WrapMpegInWav(mpeg, path);
    }
}

// One MPEG frame of 1152 samples at the case's rate, rounded up.
constexpr uint32_t kFrame44 = 27;
constexpr uint32_t kFrame48 = 25;

const TFormatCase kCases[] = {
    {"pcm8", 0, SF_FORMAT_PCM_U8, 22050, 1, 1.5, "PCM 8 bit", "22050 Hz Mono", 0},
    {"pcm16", 0, SF_FORMAT_PCM_16, 44100, 2, 2.0, "PCM 16 bit", "44100 Hz Stereo", 0},
    {"pcm24", 0, SF_FORMAT_PCM_24, 48000, 2, 1.25, "PCM 24 bit", "48000 Hz Stereo", 0},
    {"pcm32", 0, SF_FORMAT_PCM_32, 48000, 1, 0.5, "PCM 32 bit", "48000 Hz Mono", 0},
    {"float", 0, SF_FORMAT_FLOAT, 44100, 1, 0.75, "IEEE float 32 bit", "44100 Hz Mono", 0},
    {"ulaw", 0, SF_FORMAT_ULAW, 22050, 1, 1.0, "u-Law 8 bit", "22050 Hz Mono", 0},
    {"alaw", 0, SF_FORMAT_ALAW, 44100, 2, 1.0, "A-Law 8 bit", "44100 Hz Stereo", 0},
    {"ima", 0, SF_FORMAT_IMA_ADPCM, 22050, 1, 1.0, "IMA ADPCM 4 bit", "22050 Hz Mono", 0},
    {"msadpcm", 0, SF_FORMAT_MS_ADPCM, 44100, 2, 1.0, "Microsoft ADPCM 4 bit", "44100 Hz Stereo",
     0},
    {"mp3cbr", 1, 0, 44100, 2, 3.0, "MPEG-1 Layer III 128 kbps", "44100 Hz Stereo", kFrame44},
    {"mp3vbr", 2, 0, 44100, 2, 3.0, "MPEG-1 Layer III VBR", "44100 Hz Stereo", kFrame44},
    {"mp3mono48", 1, 0, 48000, 1, 2.0, "MPEG-1 Layer III 128 kbps", "48000 Hz Mono", kFrame48},
    {"mp2", 3, 0, 48000, 2, 2.5, "MPEG-1 Layer II 256 kbps", "48000 Hz Stereo", kFrame48},
    {"mp2mono", 3, 0, 44100, 1, 1.0, "MPEG-1 Layer II 128 kbps", "44100 Hz Mono", kFrame44, 128},
    {"mp2inwav", 4, 0, 48000, 2, 2.0, "MPEG-1 Layer II 256 kbps", "48000 Hz Stereo", kFrame48},
    {"mp3inwav", 5, 0, 44100, 2, 2.0, "MPEG-1 Layer III 128 kbps", "44100 Hz Stereo", kFrame44},
};

constexpr uint8_t kFact[] = {'f', 'a', 'c', 't'};

class SonaraFormat : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(SonaraFormat, TextsAndLength) {
    const TFormatCase& c = GetParam();
    TTempDir dir;
    std::string path;
    ASSERT_TRUE(WriteCase(c, dir, path));
    char a[128], b[128];
    ASSERT_NE(SN_GetWaveFileFormat(path.c_str(), a, 128, b, 128), 0);
    EXPECT_STREQ(a, c.TextA);
    EXPECT_STREQ(b, c.TextB);
    const uint32_t length = SN_PlayGetLengthMsFile(path.c_str());
    if (c.ToleranceMs == 0) {
        // PCM: exactly the frames written. Block codings: the frames the fact chunk gives
        // (libsndfile's IMA writer rounds it up to whole blocks, its MS ADPCM writer does not).
        auto frames = static_cast<uint64_t>(std::llround(c.Seconds * c.Rate));
        if (c.Subtype == SF_FORMAT_IMA_ADPCM || c.Subtype == SF_FORMAT_MS_ADPCM) {
            const std::vector<uint8_t> bytes = Fixtures::ReadBytes(path);
            const auto fact = std::search(bytes.begin(), bytes.end(), kFact, kFact + 4);
            ASSERT_LE(fact + 12, bytes.end());
            frames = fact[8] | (fact[9] << 8) | (fact[10] << 16) | (uint32_t(fact[11]) << 24);
        }
        EXPECT_EQ(length, frames * 1000 / c.Rate);
    } else {
        const uint32_t expected = static_cast<uint32_t>(c.Seconds * 1000);
        EXPECT_NEAR(double(length), double(expected), double(c.ToleranceMs));
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SonaraFormat, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A VBR file without a Xing header must still be measured to a frame, not estimated from the
// first frame's bit rate.
TEST(SonaraLength, VbrWithoutHeaderIsScanned) {
    TTempDir dir;
    Fixtures::TToneSpec tone;
    tone.Seconds = 4.0;
    const std::string vbr = dir.File("vbr.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(vbr, tone, true));
    std::vector<uint8_t> bytes = Fixtures::ReadBytes(vbr);
    // Blank out the Xing tag of the first frame (it stays a valid, silent frame).
    for (size_t i = 0; i + 4 < bytes.size() && i < 200; ++i)
        if (std::string(bytes.begin() + i, bytes.begin() + i + 4) == "Xing")
            std::fill(bytes.begin() + i, bytes.begin() + i + 4, 0);
    const std::string bare = dir.File("bare.mp3");
    ASSERT_TRUE(Fixtures::WriteBytes(bare, bytes));
    char a[128], b[128];
    ASSERT_NE(SN_GetWaveFileFormat(bare.c_str(), a, 128, b, 128), 0);
    EXPECT_STREQ(a, "MPEG-1 Layer III VBR");
    // Without the gapless values every frame counts, encoder delay and padding included
    // (about three frames); a guess from the first frame's bit rate would be seconds off.
    const uint32_t length = SN_PlayGetLengthMsFile(bare.c_str());
    EXPECT_GE(length, 4000u);
    EXPECT_LE(length, 4000u + 4 * kFrame44);
}

TEST(SonaraLength, Id3TagsAroundMpegAreSkipped) {
    TTempDir dir;
    Fixtures::TToneSpec tone;
    tone.Seconds = 2.0;
    const std::string mp2 = dir.File("a.mp2");
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, tone, 192));
    std::vector<uint8_t> frames = Fixtures::ReadBytes(mp2);
    // ID3v2 header with a 300-byte body that itself contains a false frame sync.
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 44};
    bytes.resize(10 + 300, 0);
    bytes[20] = 0xFF;
    bytes[21] = 0xFB;
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    std::vector<uint8_t> v1(128, ' ');
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    bytes.insert(bytes.end(), v1.begin(), v1.end());
    const std::string tagged = dir.File("tagged.mp2");
    ASSERT_TRUE(Fixtures::WriteBytes(tagged, bytes));
    char a[128], b[128];
    ASSERT_NE(SN_GetWaveFileFormat(tagged.c_str(), a, 128, b, 128), 0);
    EXPECT_STREQ(a, "MPEG-1 Layer II 192 kbps");
    EXPECT_EQ(SN_PlayGetLengthMsFile(tagged.c_str()), SN_PlayGetLengthMsFile(mp2.c_str()));
}

// Damaged and foreign files: recognised or not, the answers stay sane and nothing crashes.
TEST(SonaraFormatFailures, UnplayableInputsAnswerZero) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    ASSERT_TRUE(Fixtures::WriteBytes(dir.File("empty.wav"), {}));
    ASSERT_TRUE(Fixtures::WriteBytes(dir.File("text.mp3"),
                                     std::vector<uint8_t>(5000, static_cast<uint8_t>('x'))));
    ASSERT_TRUE(Fixtures::WriteBytes(dir.File("riffonly.wav"),
                                     {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}));
    // MPEG-in-WAV whose data chunk holds no frames.
    std::vector<uint8_t> fakeMpeg = {'R', 'I', 'F',  'F',  60,  0,   0,   0,  'W', 'A',  'V',
                                     'E', 'f', 'm',  't',  ' ', 16,  0,   0,  0,   0x50, 0,
                                     2,   0,   0x80, 0xBB, 0,   0,   0,   0,  0,   0,    1,
                                     0,   0,   0,    'd',  'a', 't', 'a', 16, 0,   0,    0};
    fakeMpeg.resize(fakeMpeg.size() + 16, 0x11);
    ASSERT_TRUE(Fixtures::WriteBytes(dir.File("nompeg.wav"), fakeMpeg));
    const std::string paths[] = {
        dir.File("missing.wav"), dir.File("folder"),   "",
        dir.File("empty.wav"),   dir.File("text.mp3"), dir.File("riffonly.wav"),
        dir.File("nompeg.wav")};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        char a[128] = "stale", b[128] = "stale";
        EXPECT_EQ(SN_GetWaveFileFormat(path.c_str(), a, 128, b, 128), 0);
        EXPECT_STREQ(a, "");
        EXPECT_EQ(SN_PlayGetLengthMsFile(path.c_str()), 0u);
        EXPECT_EQ(SN_GetHandlePlay(0, 0, path.c_str()), 0u);
        char error[256] = "";
        SN_GetLastError(error, sizeof error);
        EXPECT_STRNE(error, "");
    }
    EXPECT_EQ(SN_GetWaveFileFormat(nullptr, nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(SN_PlayGetLengthMsFile(nullptr), 0u);
}

TEST(SonaraFormatFailures, TruncatedAndCorruptedFilesStaySane) {
    TTempDir dir;
    Fixtures::TToneSpec tone;
    tone.Seconds = 2.0;
    const std::string wav = dir.File("a.wav"), mp3 = dir.File("a.mp3"), mp2 = dir.File("a.mp2");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, tone, SF_FORMAT_PCM_16));
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, true));
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, tone));
    for (const std::string& source : {wav, mp3, mp2}) {
        const std::vector<uint8_t> bytes = Fixtures::ReadBytes(source);
        // Cut at the half: still recognised (the audio is there), length at most the full one.
        std::vector<uint8_t> half(bytes.begin(), bytes.begin() + bytes.size() / 2);
        const std::string cut = source + ".half";
        ASSERT_TRUE(Fixtures::WriteBytes(cut, half));
        char a[128], b[128];
        SN_GetWaveFileFormat(cut.c_str(), a, 128, b, 128);
        EXPECT_LE(SN_PlayGetLengthMsFile(cut.c_str()), 2100u) << cut;
        // Garbage over the middle and every few bytes: whatever the answers, no crash.
        std::vector<uint8_t> bad = bytes;
        for (size_t i = 44; i < bad.size(); i += 97)
            bad[i] ^= 0x5A;
        const std::string corrupt = source + ".bad";
        ASSERT_TRUE(Fixtures::WriteBytes(corrupt, bad));
        SN_GetWaveFileFormat(corrupt.c_str(), a, 128, b, 128);
        EXPECT_LE(SN_PlayGetLengthMsFile(corrupt.c_str()), 60000u) << corrupt;
    }
}

// A file the user may not read is refused with the system's reason, not measured as empty.
// Root reads every file whatever its permissions, so the check runs in a child process as an
// ordinary user (nobody) when the test runs as root.
TEST(SonaraFormatFailures, UnreadableFileGivesTheReason) {
    TTempDir dir;
    const std::string wav = dir.File("locked.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, {}, SF_FORMAT_PCM_16));
    ASSERT_EQ(chmod(wav.c_str(), 0), 0);
    // Only the file's own permissions keep the user out.
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 &&
                (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                std::_Exit(2);
            char a[128];
            char b[128];
            const int format = SN_GetWaveFileFormat(wav.c_str(), a, 128, b, 128);
            const uint32_t handle = SN_GetHandlePlay(0, 0, wav.c_str());
            char error[256] = "";
            SN_GetLastError(error, sizeof error);
            std::fprintf(stderr, "format %d handle %u error %s\n", format, handle, error);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "format 0 handle 0 error .*Permission denied");
}

TEST(SonaraFormat, TextsAreCutToTheBuffers) {
    TTempDir dir;
    const std::string wav = dir.File("a.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, {}, SF_FORMAT_PCM_16));
    char a[5] = "xxxx", b[1] = {'x'};
    ASSERT_NE(SN_GetWaveFileFormat(wav.c_str(), a, 5, b, 1), 0);
    EXPECT_STREQ(a, "PCM ");
    EXPECT_EQ(b[0], '\0');
}

} // namespace
