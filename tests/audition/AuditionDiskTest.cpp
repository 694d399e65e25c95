// End to end through the real playback library on SDL's disk driver: what the panel's
// Play sends to the device in hook mode is exactly the hook range of the file.
#include "AudioFixtures.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TScriptedMessages.h"
#include "TTrackBar.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

TEST(AuditionDisk, HookModePlaysExactlyTheHookRange) {
    TTempDir dir;
    const std::string capture = dir.File("capture.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    TAudioLibsBinder binder;
    const TAudioLibsBinder::TResult bound = binder.Load();
    ASSERT_EQ(bound.Outcome, TAudioLibsBinder::TOutcome::Bound) << bound.Message;

    Fixtures::TToneSpec tone;
    tone.Seconds = 3.0;
    tone.FrequencyHz = 311.0;
    const std::string path = dir.File("hook.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, tone, SF_FORMAT_PCM_16));
    const std::vector<int16_t> samples = Fixtures::ReadSamples16(path);

    TScriptedMessages boxes;
    TMarkerModel markers;
    markers.LengthMs = AudioLibs().SN_PlayGetLengthMsFile(path.c_str());
    ASSERT_EQ(markers.LengthMs, 3000u);
    markers.HookStartMs = 1200;
    markers.HookEndMs = 2100;
    uint32_t handle = 0;
    bool toneMode = false;
    TAuditionHost host{markers,
                       handle,
                       toneMode,
                       [&] { return QString::fromStdString(path); },
                       [] { return 0; },
                       [] { return false; },
                       {},
                       {}};
    QWidget window;
    auto* panel = new TAuditionPanel(&window, host);
    panel->ResetTrackBar();
    panel->ShowMarkers();
    panel->TrackBar->setValue(5); // the thumb plays no part in hook mode

    panel->btnPlay->click();
    ASSERT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(' ').toStdString();
    EXPECT_NE(handle, 0u);
    // The poll sees the end of the range and returns to Idle.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel->Audition().TimerActive(); }, 15000));
    EXPECT_EQ(handle, 0u);
    EXPECT_TRUE(panel->btnPlay->isEnabled());
    AudioLibs().SN_FreeHandlePlayAll();

    const size_t first = 1200 * 44100 / 1000 * 2;
    const size_t last = 2100 * 44100 / 1000 * 2;
    const std::vector<int16_t> expected(samples.begin() + first, samples.begin() + last);
    const std::vector<uint8_t> bytes = Fixtures::ReadBytes(capture);
    std::vector<int16_t> captured(bytes.size() / 2);
    std::memcpy(captured.data(), bytes.data(), captured.size() * 2);
    ASSERT_GE(captured.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), captured.begin()));
    EXPECT_TRUE(std::all_of(captured.begin() + expected.size(), captured.end(),
                            [](int16_t s) { return s == 0; }));
    binder.Release();
}

} // namespace
