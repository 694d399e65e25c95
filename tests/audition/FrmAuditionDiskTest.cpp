// End to end through both real libraries, with SDL's disk driver capturing what is played:
// a generated file with a stored hook is loaded into the main window, and in hook mode
// Play sends exactly the hook range to the device, then the transport returns to Idle.
#include "AudioFixtures.h"
#include "Main.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TScriptedMessages.h"
#include "TTrackBar.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

TEST(FrmAuditionDisk, HookModePlaysExactlyTheHookRange) {
    TTempDir dir;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        qputenv(name, QByteArray::fromStdString(dir.File(name)));
    qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(dir.File("settings")));
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
    const TAudioLibs& libs = AudioLibs();
    ASSERT_EQ(libs.OpenWavFile(path.c_str(), 0, 0), 0);
    libs.SetTagInfo("HKST", "1200", 4);
    libs.SetTagInfo("HKEN", "2100", 4);
    ASSERT_EQ(libs.CloseWavFile(), 0);

    TScriptedMessages boxes;
    {
        TFrmMain window({QByteArray::fromStdString(path)});
        window.show();
        TAuditionPanel* panel = window.AuditionPanel;
        // The waveform's analysis would decode beside the playback on a busy machine; this
        // test is about the device's samples only.
        panel->Analysis().Cancel();
        ASSERT_EQ(window.Markers.HookEndMs, 2100);
        QTest::mouseClick(panel->lblHook, Qt::LeftButton);
        panel->TrackBar->setValue(5); // the thumb plays no part in hook mode

        panel->btnPlay->click();
        ASSERT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(' ').toStdString();
        EXPECT_NE(window.PlayHandle, 0u);
        // The poll sees the end of the range and returns to Idle.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !panel->Audition().TimerActive(); }, 15000));
        EXPECT_EQ(window.PlayHandle, 0u);
        EXPECT_EQ(panel->TrackBar->value(), 0);
        EXPECT_TRUE(panel->btnPlay->isEnabled());
        window.close();
    }

    const size_t first = 1200 * 44100 / 1000 * 2;
    const size_t last = 2100 * 44100 / 1000 * 2;
    const std::vector<int16_t> expected(samples.begin() + first, samples.begin() + last);
    const std::vector<uint8_t> bytes = Fixtures::ReadBytes(capture);
    std::vector<int16_t> captured(bytes.size() / 2);
    std::memcpy(captured.data(), bytes.data(), captured.size() * 2);
    // The disk driver may write a buffer of silence before the device is unpaused (more
    // likely on a loaded machine): silence may come first, then exactly the range, then
    // silence only.
    size_t start = 0;
    while (start < captured.size() && captured[start] == 0 &&
           !(captured.size() - start >= expected.size() &&
             std::equal(expected.begin(), expected.end(), captured.begin() + start)))
        ++start;
    ASSERT_GE(captured.size() - start, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), captured.begin() + start));
    EXPECT_TRUE(std::all_of(captured.begin() + start + expected.size(), captured.end(),
                            [](int16_t s) { return s == 0; }));
    binder.Release();
}

} // namespace
