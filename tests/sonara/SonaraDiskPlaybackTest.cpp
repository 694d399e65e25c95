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

    // Plays [startMs, endMs) of path to its end and returns the captured samples.
    std::vector<int16_t> PlayRange(const std::string& path, uint32_t startMs, uint32_t endMs,
                                   int channels, int16_t force = 0) {
        const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
        EXPECT_NE(handle, 0u) << LastError();
        SN_ForceCodec(handle, force);
        EXPECT_EQ(SN_PlayStartXY(handle, startMs, endMs), 0) << LastError();
        EXPECT_TRUE(WaitForStatus(handle, SN_STATUS_DONE));
        EXPECT_EQ(SN_PlayStop(handle), 0);
        return ReadCapture(channels);
    }

    // The captured samples, less whole device buffers of silence that SDL writes while the
    // device is still paused (a tone never has 1024 zero frames in a row).
    std::vector<int16_t> ReadCapture(int channels = 2) const {
        const std::vector<uint8_t> bytes = Fixtures::ReadBytes(Capture);
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        const size_t block = 1024 * static_cast<size_t>(channels);
        size_t skip = 0;
        while (skip + block <= samples.size() &&
               std::all_of(samples.begin() + skip, samples.begin() + skip + block,
                           [](int16_t v) { return v == 0; }))
            skip += block;
        samples.erase(samples.begin(), samples.begin() + skip);
        return samples;
    }

    TTempDir Dir;
    std::string Capture;
};

// The captured samples without the silence the device plays after the end.
std::vector<int16_t> WithoutTrailingSilence(std::vector<int16_t> samples, int channels) {
    size_t end = samples.size();
    while (end > 0 && samples[end - 1] == 0)
        --end;
    end = (end + channels - 1) / channels * channels;
    samples.resize(end);
    return samples;
}

struct TPcmCase {
    const char* Name;
    int Subtype;
    int Rate;
    int Channels;
    uint32_t StartMs;
    uint32_t EndMs;
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
    const std::vector<int16_t> file = Fixtures::ReadSamples16(path);
    const size_t frames = file.size() / c.Channels;
    const size_t first = size_t(c.StartMs) * c.Rate / 1000;
    const size_t last = c.EndMs ? std::min(frames, size_t(c.EndMs) * c.Rate / 1000) : frames;

    const std::vector<int16_t> captured = PlayRange(path, c.StartMs, c.EndMs, c.Channels);
    ASSERT_GE(captured.size(), (last - first) * c.Channels);
    const std::vector<int16_t> expected(file.begin() + first * c.Channels,
                                        file.begin() + last * c.Channels);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), captured.begin()));
    // After the range only silence.
    EXPECT_TRUE(std::all_of(captured.begin() + expected.size(), captured.end(),
                            [](int16_t s) { return s == 0; }));
}

const TPcmCase kPcmCases[] = {
    {"pcm16_stereo_mid", SF_FORMAT_PCM_16, 44100, 2, 200, 700},
    {"pcm16_to_end", SF_FORMAT_PCM_16, 44100, 2, 1000, 0},
    {"pcm8_mono_22k", SF_FORMAT_PCM_U8, 22050, 1, 333, 1111},
    {"pcm24_48k_end_beyond_file", SF_FORMAT_PCM_24, 48000, 2, 1200, 90000},
    {"float_mono", SF_FORMAT_FLOAT, 44100, 1, 0, 250},
};

INSTANTIATE_TEST_SUITE_P(Pcm, SonaraDiskPcm, ::testing::ValuesIn(kPcmCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The offset (in frames) at which captured best matches reference, searched within ±range.
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

TEST_F(SonaraDisk, MpegRangesMatchTheDecodedFileWithinOneFrame) {
    Fixtures::TToneSpec tone;
    tone.Seconds = 3.0;
    tone.FrequencyHz = 97.3; // no short period: one best alignment
    const std::string mp3 = Dir.File("a.mp3"), mp2 = Dir.File("a.mp2"), wav = Dir.File("in.wav");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, true));
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, tone, 256));
    ASSERT_TRUE(Fixtures::WrapMpegInWav(mp2, wav));
    struct TCase {
        std::string Path, Reference;
        int16_t Force;
    };
    const TCase cases[] = {{mp3, mp3, 0}, {mp2, mp2, 0}, {wav, mp2, 0}, {mp3, mp3, 1}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path + (c.Force ? " forced" : ""));
        const std::vector<int16_t> reference = Fixtures::ReadSamples16(c.Reference);
        const std::vector<int16_t> captured =
            WithoutTrailingSilence(PlayRange(c.Path, 1000, 2000, 2, c.Force), 2);
        const size_t wantFrames = 44100;
        EXPECT_NEAR(double(captured.size() / 2), double(wantFrames), 1152.0);
        double rms = 0;
        const int offset = BestAlignment(reference, 44100, captured, 2, 1152, rms);
        EXPECT_LE(std::abs(offset), 1152);
        EXPECT_LT(rms, 300.0) << "offset " << offset; // the same tone, not noise
    }
}

TEST_F(SonaraDisk, StopHalfWayStopsTheOutput) {
    Fixtures::TToneSpec tone;
    tone.Seconds = 4.0;
    const std::string path = Dir.File("long.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, tone, SF_FORMAT_PCM_16));
    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    ASSERT_EQ(SN_PlayStartXY(handle, 0, 0), 0) << LastError();
    ASSERT_TRUE(WaitForPosition(handle, 300));
    EXPECT_EQ(SN_Status(handle), SN_STATUS_PLAYING);
    ASSERT_EQ(SN_PlayStop(handle), 0);
    EXPECT_EQ(SN_Status(handle), SN_STATUS_DONE);
    const size_t atStop = Fixtures::ReadBytes(Capture).size();
    SleepMs(300);
    EXPECT_EQ(Fixtures::ReadBytes(Capture).size(), atStop);
    EXPECT_LT(atStop, size_t(4 * 44100 * 4) / 2);
}

TEST_F(SonaraDisk, ForcedLibsndfileRefusesMpegInWavWithAReason) {
    Fixtures::TToneSpec tone;
    const std::string mp2 = Dir.File("a.mp2"), wav = Dir.File("in.wav");
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, tone, 256));
    ASSERT_TRUE(Fixtures::WrapMpegInWav(mp2, wav));
    const uint32_t handle = SN_GetHandlePlay(0, 0, wav.c_str());
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(SN_ForceCodec(handle, 1), 0);
    EXPECT_NE(SN_PlayStartXY(handle, 0, 0), 0);
    EXPECT_NE(LastError().find("libsndfile"), std::string::npos) << LastError();
    ASSERT_EQ(SN_ForceCodec(handle, 0), 0);
    EXPECT_EQ(SN_PlayStartXY(handle, 0, 300), 0) << LastError();
    EXPECT_TRUE(WaitForStatus(handle, SN_STATUS_DONE));
}

} // namespace
