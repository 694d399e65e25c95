// What reaches the device: SDL's disk driver writes every sample the library hands over to
// SDL_DISKAUDIOFILE, which is compared with the file's own decoded samples.
#include "AudioFixtures.h"
#include "SonaraTestUtil.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace SonaraTest;

namespace {

class SonaraDisk : public ::testing::Test {
protected:
    void SetUp() override {
        Capture = Dir.File("capture.raw");
        setenv("SDL_DISKAUDIOFILE", Capture.c_str(), 1);
    }
    void TearDown() override { SN_FreeHandlePlayAll(); }

    // Plays [startMs, endMs) of path to its end and returns the captured samples, silence
    // before the first sample included.
    std::vector<int16_t> PlayRange(const std::string& path, uint32_t startMs, uint32_t endMs,
                                   int16_t force = 0) {
        const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
        EXPECT_NE(handle, 0u) << LastError();
        SN_ForceCodec(handle, force);
        EXPECT_EQ(SN_PlayStartXY(handle, startMs, endMs), 0) << LastError();
        EXPECT_TRUE(WaitForStatus(handle, SN_STATUS_DONE, 60000));
        EXPECT_EQ(SN_PlayStop(handle), 0);
        SN_FreeHandlePlayAll(); // returns once the device has closed its capture file
        return ReadCapture(Capture);
    }

    TTempDir Dir;
    std::string Capture;
};

struct TPcmCase {
    const char* Name;
    int Subtype;
    int Rate;
    int Channels;
    uint32_t StartMs;
    uint32_t EndMs;
    // Largest difference from ffmpeg's decode: 0 where both keep every bit, 1 where they
    // round a wider sample differently.
    int Tolerance;
};

class SonaraDiskPcm : public SonaraDisk, public ::testing::WithParamInterface<TPcmCase> {};

TEST_P(SonaraDiskPcm, RangeReachesTheDeviceExactly) {
    const TPcmCase& c = GetParam();
    Fixtures::TToneSpec tone;
    tone.SampleRate = c.Rate;
    tone.Channels = c.Channels;
    tone.Seconds = 1.5;
    const std::string path = Dir.File("tone.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, tone, c.Subtype));
    std::vector<int16_t> file;
    ASSERT_TRUE(FfmpegDecode(path, file));
    const size_t channels = static_cast<size_t>(c.Channels);
    const size_t frames = file.size() / channels;
    const size_t first = size_t(c.StartMs) * c.Rate / 1000;
    const size_t last = c.EndMs ? std::min(frames, size_t(c.EndMs) * c.Rate / 1000) : frames;
    const std::vector<int16_t> expected(file.begin() + static_cast<long>(first * channels),
                                        file.begin() + static_cast<long>(last * channels));

    std::vector<int16_t> captured = PlayRange(path, c.StartMs, c.EndMs);
    ASSERT_TRUE(DropLeadingSilence(captured, expected, channels));
    ASSERT_GE(captured.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::abs(int(captured[i]) - expected[i]));
    EXPECT_LE(worst, c.Tolerance);
    // After the range only silence.
    EXPECT_TRUE(std::all_of(captured.begin() + static_cast<long>(expected.size()), captured.end(),
                            [](int16_t s) { return s == 0; }));
}

const TPcmCase kPcmCases[] = {
    {"pcm16_stereo_mid", SF_FORMAT_PCM_16, 44100, 2, 200, 700, 0},
    {"pcm16_to_end", SF_FORMAT_PCM_16, 44100, 2, 1000, 0, 0},
    {"pcm8_mono_22k", SF_FORMAT_PCM_U8, 22050, 1, 333, 1111, 0},
    {"pcm24_48k_end_beyond_file", SF_FORMAT_PCM_24, 48000, 2, 1200, 90000, 1},
    {"float_mono", SF_FORMAT_FLOAT, 44100, 1, 0, 250, 2},
};

INSTANTIATE_TEST_SUITE_P(Pcm, SonaraDiskPcm, ::testing::ValuesIn(kPcmCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The shift (in frames) of captured against reference from refFirst that fits best, searched
// within ±range, and the RMS difference there.
int BestAlignment(const std::vector<int16_t>& reference, size_t refFirst,
                  const std::vector<int16_t>& captured, int channels, int range, double& error) {
    int best = 0;
    error = 1e300;
    const size_t probe = 4096;
    for (int d = -range; d <= range; ++d) {
        const long start = long(refFirst) + d;
        if (start < 0 || size_t(start + probe) * channels > reference.size() ||
            probe * channels > captured.size())
            continue;
        double sum = 0;
        for (size_t i = 0; i < probe * channels; ++i) {
            const double diff = double(reference[start * channels + i]) - captured[i];
            sum += diff * diff;
        }
        if (sum < error) {
            error = sum;
            best = d;
        }
    }
    error = std::sqrt(error / double(probe * channels));
    return best;
}

// MPEG ranges start on the sample ffmpeg decodes there. The sweep never repeats, so within
// the search window only the true alignment fits.
TEST_F(SonaraDisk, MpegRangesStartOnTheSampleFfmpegDecodes) {
    Fixtures::TToneSpec tone;
    tone.Seconds = 3.0;
    tone.FrequencyHz = 150.0;
    tone.SweepToHz = 2500.0;
    const std::string mp3 = Dir.File("a.mp3"), mp2 = Dir.File("a.mp2"), wav = Dir.File("in.wav");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, true));
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, tone, 256));
    ASSERT_TRUE(Fixtures::WrapMpegInWav(mp2, wav));
    struct TCase {
        std::string Path;
        int16_t Force;
    };
    const TCase cases[] = {{mp3, 0}, {mp2, 0}, {wav, 0}, {mp3, 1}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path + (c.Force ? " forced" : ""));
        std::vector<int16_t> reference;
        ASSERT_TRUE(FfmpegDecode(c.Path, reference));
        const std::vector<int16_t> expected(reference.begin() + 44100 * 2,
                                            reference.begin() + 88200 * 2);
        std::vector<int16_t> captured = PlayRange(c.Path, 1000, 2000, c.Force);
        ASSERT_TRUE(DropLeadingSilence(captured, expected, 2));
        EXPECT_NEAR(double(EndOfSoundFrames(captured, 2)), 44100.0, 2.0);
        double rms = 0;
        const int offset = BestAlignment(reference, 44100, captured, 2, 1152, rms);
        EXPECT_LE(std::abs(offset), 2);
        EXPECT_LT(rms, 20.0) << "offset " << offset; // the decoders round differently, no more
    }
}

TEST_F(SonaraDisk, StopHalfWayStopsTheOutput) {
    Fixtures::TToneSpec tone;
    tone.Seconds = 20.0;
    tone.SampleRate = 8000;
    const std::string path = Dir.File("long.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, tone, SF_FORMAT_PCM_16));
    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    ASSERT_EQ(SN_PlayStartXY(handle, 0, 0), 0) << LastError();
    ASSERT_TRUE(WaitForPosition(handle, 300));
    EXPECT_EQ(SN_Status(handle), SN_STATUS_PLAYING);
    ASSERT_EQ(SN_PlayStop(handle), 0);
    EXPECT_EQ(SN_Status(handle), SN_STATUS_DONE);
    SN_FreeHandlePlayAll(); // returns once the device has closed its capture file
    const std::vector<int16_t> atStop = ReadCapture(Capture);
    SleepMs(300);
    const std::vector<int16_t> later = ReadCapture(Capture);
    EXPECT_EQ(later.size(), atStop.size());
    EXPECT_LT(EndOfSoundFrames(later, 2), size_t(20 * 8000) / 2);
}

} // namespace
