// Handles, position and resource use on SDL's dummy driver (no sound card involved).
#include "AudioFixtures.h"
#include "SonaraTestUtil.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <set>

using namespace SonaraTest;

namespace {

class SonaraDummy : public ::testing::Test {
protected:
    void SetUp() override {
        Fixtures::TToneSpec tone;
        tone.Seconds = 5.0;
        Wav = Dir.File("tone.wav");
        ASSERT_TRUE(Fixtures::WritePcmWav(Wav, tone, SF_FORMAT_PCM_16));
        Mp3 = Dir.File("tone.mp3");
        ASSERT_TRUE(Fixtures::WriteMp3(Mp3, tone, false, 128));
    }
    void TearDown() override { SN_FreeHandlePlayAll(); }
    // Writes a mono 16-bit tone of 60 s at `rate`.
    static void WriteLongMonoTone(const std::string& wav, int rate) {
        Fixtures::TToneSpec tone;
        tone.Seconds = 60.0;
        tone.SampleRate = rate;
        tone.Channels = 1;
        ASSERT_TRUE(Fixtures::WritePcmWav(wav, tone, SF_FORMAT_PCM_16));
    }

    TTempDir Dir;
    std::string Wav, Mp3;
};

// The position only moves on, never runs ahead of the clock, and gets somewhere. No lower
// bound in time: on a loaded machine the audio thread may run late.
TEST_F(SonaraDummy, PositionFollowsTheClockAndNeverGoesBack) {
    for (const std::string& path : {Wav, Mp3}) {
        SCOPED_TRACE(path);
        const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
        ASSERT_NE(handle, 0u) << LastError();
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(SN_PlayStartXY(handle, 1000, 0), 0) << LastError();
        EXPECT_EQ(SN_Status(handle), SN_STATUS_PLAYING);
        uint32_t previous = 0;
        for (int i = 0; i < 30; ++i) {
            const uint32_t before = SN_PlayGetTimeMs(handle);
            const uint32_t frames = SN_PlayGetTimeMsS(handle);
            const uint32_t after = SN_PlayGetTimeMs(handle);
            EXPECT_GE(before, previous);
            EXPECT_GE(before, 1000u);
            // Samples and milliseconds tell the same position.
            EXPECT_GE(frames, uint64_t(before) * 44100 / 1000);
            EXPECT_LE(frames, uint64_t(after + 1) * 44100 / 1000);
            previous = after;
            const double elapsed = std::chrono::duration<double, std::milli>(
                                       std::chrono::steady_clock::now() - started)
                                       .count();
            EXPECT_LE(after, 1000 + elapsed + 100); // at most a device buffer ahead
            SleepMs(20);
        }
        EXPECT_TRUE(WaitForPosition(handle, 1300, 30000));
        EXPECT_EQ(SN_PlayStop(handle), 0);
    }
}

// Pausing holds the position however long the pause; resuming goes on from there. The file
// is long enough that no stall of a loaded machine plays it out first.
TEST_F(SonaraDummy, PauseHoldsThePositionAndResumeGoesOn) {
    const std::string wav = Dir.File("long.wav");
    ASSERT_NO_FATAL_FAILURE(WriteLongMonoTone(wav, 8000));
    const uint32_t handle = SN_GetHandlePlay(0, 0, wav.c_str());
    ASSERT_EQ(SN_PlayStartXY(handle, 0, 0), 0) << LastError();
    ASSERT_TRUE(WaitForPosition(handle, 200, 30000));
    ASSERT_EQ(SN_PlayPause(handle), 0);
    const uint32_t held = SN_PlayGetTimeMs(handle);
    SleepMs(300);
    EXPECT_EQ(SN_PlayGetTimeMs(handle), held);
    EXPECT_EQ(SN_Status(handle), SN_STATUS_PLAYING);
    ASSERT_EQ(SN_PlayResume(handle), 0);
    EXPECT_TRUE(WaitForPosition(handle, held + 200, 30000));
}

// A header with an absurd rate (10 Hz: a damaged file) is refused at once with the reason,
// rather than played on a device whose every buffer lasts seconds.
TEST_F(SonaraDummy, AnAbsurdlyLowRateIsRefusedWithItsReason) {
    const std::string wav = Dir.File("ten-hertz.wav");
    ASSERT_NO_FATAL_FAILURE(WriteLongMonoTone(wav, 10));
    const uint32_t handle = SN_GetHandlePlay(0, 0, wav.c_str());
    ASSERT_NE(handle, 0u) << LastError();
    EXPECT_NE(SN_PlayStartXY(handle, 0, 0), 0);
    EXPECT_NE(LastError().find("10 Hz"), std::string::npos) << LastError();
    SN_PlayStop(handle);
}

TEST_F(SonaraDummy, RangeEndAndStartsPastTheEndReportDone) {
    const uint32_t handle = SN_GetHandlePlay(0, 0, Wav.c_str());
    ASSERT_EQ(SN_PlayStartXY(handle, 4700, 0), 0) << LastError();
    EXPECT_TRUE(WaitForStatus(handle, SN_STATUS_DONE));
    // Played out, the position rests on the end.
    EXPECT_EQ(SN_PlayGetTimeMs(handle), 5000u);
    // At or past the end (the unset marker 0xFFFFFFFF included): nothing plays, done at once.
    for (const uint32_t start : {5000u, 6000u, 0xFFFFFFFFu}) {
        const uint32_t h = SN_GetHandlePlay(0, 0, Wav.c_str());
        EXPECT_EQ(SN_PlayStartXY(h, start, 0), 0) << LastError();
        EXPECT_EQ(SN_Status(h), SN_STATUS_DONE) << start;
    }
    // An end before the start plays nothing either.
    const uint32_t h = SN_GetHandlePlay(0, 0, Wav.c_str());
    EXPECT_EQ(SN_PlayStartXY(h, 2000, 1000), 0);
    EXPECT_EQ(SN_Status(h), SN_STATUS_DONE);
}

TEST_F(SonaraDummy, HandlesAreNewEveryTimeAndBadHandlesFailCleanly) {
    std::set<uint32_t> seen;
    for (int i = 0; i < 5; ++i) {
        const uint32_t h = SN_GetHandlePlay(0, 0, Wav.c_str());
        ASSERT_NE(h, 0u);
        EXPECT_TRUE(seen.insert(h).second);
        SN_PlayStop(h);
    }
    const uint32_t live = SN_GetHandlePlay(0, 0, Mp3.c_str());
    EXPECT_EQ(SN_GetNumPlayHandles(), 1);
    EXPECT_EQ(SN_PlayGetLengthMs(live), SN_PlayGetLengthMsFile(Mp3.c_str()));
    EXPECT_EQ(SN_FreeHandlePlay(live), 0);
    EXPECT_EQ(SN_GetNumPlayHandles(), 0);
    EXPECT_FALSE(seen.count(SN_GetHandlePlay(0, 0, Wav.c_str())));

    for (const uint32_t bad : {0u, live, 999999u}) {
        EXPECT_NE(SN_PlayStartXY(bad, 0, 0), 0);
        EXPECT_NE(LastError(), "");
        EXPECT_EQ(SN_Status(bad), SN_STATUS_DONE);
        EXPECT_EQ(SN_PlayGetTimeMs(bad), 0u);
        EXPECT_NE(SN_PlayStop(bad), 0);
        EXPECT_NE(SN_PlayPause(bad), 0);
        EXPECT_NE(SN_PlayResume(bad), 0);
        EXPECT_NE(SN_ForceCodec(bad, 1), 0);
        EXPECT_EQ(SN_PlayGetLengthMs(bad), 0u);
    }
    SN_FreeHandlePlayAll();
    EXPECT_EQ(SN_GetNumPlayHandles(), 0);
}

TEST_F(SonaraDummy, ManyPlayStopCyclesKeepOpenFilesFlat) {
    auto cycle = [&](const std::string& path) {
        const uint32_t h = SN_GetHandlePlay(0, 0, path.c_str());
        ASSERT_EQ(SN_PlayStartXY(h, 500, 0), 0) << LastError();
        SN_PlayGetTimeMs(h);
        SN_PlayStop(h);
    };
    for (int i = 0; i < 5; ++i) // warm up SDL's audio thread and caches
        cycle(i % 2 ? Wav : Mp3);
    const int before = OpenFdCount();
    for (int i = 0; i < 40; ++i)
        cycle(i % 2 ? Wav : Mp3);
    EXPECT_LE(OpenFdCount(), before);
    // Handles that play out by themselves release their files too, without a stop.
    for (int i = 0; i < 20; ++i) {
        const uint32_t h = SN_GetHandlePlay(0, 0, Wav.c_str());
        ASSERT_EQ(SN_PlayStartXY(h, 4950, 0), 0);
        ASSERT_TRUE(WaitForStatus(h, SN_STATUS_DONE));
    }
    EXPECT_LE(OpenFdCount(), before);
}

TEST(SonaraDevices, DefaultDeviceIsTheLastIndex) {
    const int count = SN_GetNumOutputDevices();
    ASSERT_GE(count, 1);
    char name[128];
    for (int i = 0; i < count - 1; ++i) {
        EXPECT_EQ(SN_GetOutputDeviceName(static_cast<int16_t>(i), name, sizeof name), 0);
        EXPECT_STRNE(name, "");
    }
    // The last index and anything out of range mean the default device, and still play.
    for (const int16_t index : {static_cast<int16_t>(count - 1), int16_t(-1), int16_t(1000)}) {
        SN_GetOutputDeviceName(index, name, sizeof name);
        EXPECT_STRNE(name, "");
        TTempDir dir;
        const std::string wav = dir.File("a.wav");
        ASSERT_TRUE(Fixtures::WritePcmWav(wav, {}, SF_FORMAT_PCM_16));
        const uint32_t h = SN_GetHandlePlay(0, index, wav.c_str());
        EXPECT_EQ(SN_PlayStartXY(h, 0, 100), 0) << LastError();
        SN_PlayStop(h);
    }
}

} // namespace
