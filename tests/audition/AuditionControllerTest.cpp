// The transport over a scripted playback library: the range each Play asks for, the three
// states and what leads between them, the poll, the thumb held with the mouse, failures.
#include "AuditionFixture.h"

#include "TextForms.h"

namespace {

enum class TState { Idle, Playing, Paused };

class AuditionController : public TAuditionFixture {
protected:
    void SetUp() override { Load(Audition, 180000); }

    void ExpectState(TState state, const char* where) {
        SCOPED_TRACE(where);
        switch (state) {
        case TState::Idle:
            EXPECT_EQ(PlayHandle, 0u);
            EXPECT_FALSE(Audition.TimerActive());
            EXPECT_TRUE(Audition.PlayEnabled());
            EXPECT_TRUE(Audition.PauseEnabled());
            break;
        case TState::Playing:
            EXPECT_NE(PlayHandle, 0u);
            EXPECT_TRUE(Audition.TimerActive());
            EXPECT_FALSE(Audition.PlayEnabled());
            EXPECT_TRUE(Audition.PauseEnabled());
            break;
        case TState::Paused:
            EXPECT_EQ(PlayHandle, 0u);
            EXPECT_TRUE(Audition.TimerActive());
            EXPECT_TRUE(Audition.PlayEnabled());
            EXPECT_FALSE(Audition.PauseEnabled());
            break;
        }
    }

    // One poll with the library playing at positionMs.
    void TickPlaying(uint32_t positionMs) {
        Libs.Status = SN_STATUS_PLAYING;
        Libs.PositionMs = positionMs;
        Audition.TimerSN_OnTic();
    }

    TAuditionController Audition{Host};
};

TEST_F(AuditionController, StateTableAcrossPlayPauseStopAndTheEndOfTheFile) {
    ExpectState(TState::Idle, "at start");

    Audition.btnPlay_OnClick();
    ExpectState(TState::Playing, "after Play");
    EXPECT_EQ(Libs.Calls,
              (std::vector<std::string>{"SN_GetHandlePlay(0,3,/music/take.wav)",
                                        "SN_ForceCodec(1,0)", "SN_PlayStartXY(1,0,0)"}));

    TickPlaying(12345);
    EXPECT_EQ(Audition.Track().Position, 123);
    Audition.btnPause_OnClick();
    ExpectState(TState::Paused, "after Pause");
    EXPECT_EQ(Libs.CallCount("SN_PlayStop"), 1);
    EXPECT_TRUE(Audition.ResumeFromTrackBar);
    Audition.TimerSN_OnTic(); // idle tick: no handle, nothing asked
    EXPECT_EQ(Libs.CallCount("SN_Status"), 2);
    EXPECT_EQ(Audition.Track().Position, 123);

    Audition.btnPlay_OnClick();
    ExpectState(TState::Playing, "after resuming");
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(2,12300,0)");
    EXPECT_FALSE(Audition.ResumeFromTrackBar);

    Audition.btnStop_OnClick();
    ExpectState(TState::Idle, "after Stop");
    EXPECT_EQ(Audition.Track().Position, 0);

    // The end of the file is seen only through the status: Idle, thumb back at 0.
    Audition.btnPlay_OnClick();
    TickPlaying(170000);
    EXPECT_EQ(Audition.Track().Position, 1700);
    Libs.Status = SN_STATUS_DONE;
    Audition.TimerSN_OnTic();
    ExpectState(TState::Idle, "after the end of the file");
    EXPECT_EQ(Audition.Track().Position, 0);
    EXPECT_EQ(Libs.Calls.back(), "SN_PlayStop(3)");
}

TEST_F(AuditionController, StatusIsAskedAfreshInEachStepOfATick) {
    Audition.btnPlay_OnClick();
    Libs.Status = SN_STATUS_PLAYING;
    Libs.Calls.clear();
    Audition.TimerSN_OnTic();
    EXPECT_EQ(Libs.Calls,
              (std::vector<std::string>{"SN_Status(1)", "SN_PlayGetTimeMs(1)", "SN_Status(1)"}));
    ExpectState(TState::Playing, "still playing");
}

struct TRangeCase {
    const char* Name;
    bool ToneMode;
    int32_t HookStartMs;
    int32_t HookEndMs;
    bool Paused; // Pause before the Play under test
    const char* Expected;
};

class AuditionRange : public AuditionController,
                      public ::testing::WithParamInterface<TRangeCase> {};

TEST_P(AuditionRange, PlayAsksForTheRangeOfTheModeAndThumb) {
    const TRangeCase& c = GetParam();
    ToneMode = c.ToneMode;
    Markers.HookStartMs = c.HookStartMs;
    Markers.HookEndMs = c.HookEndMs;
    Markers.IntroMs = 2000; // tone markers never bound the range
    Markers.SegueMs = 9000;
    Audition.SetPosition(50); // the thumb at 5 s
    if (c.Paused) {
        Audition.btnPlay_OnClick();
        Audition.btnPause_OnClick();
    }
    Audition.btnPlay_OnClick();
    EXPECT_EQ(LastStart(), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AuditionRange,
    ::testing::Values(
        TRangeCase{"Tones", true, 1000, 3000, false, "SN_PlayStartXY(1,5000,0)"},
        TRangeCase{"HookBoth", false, 1000, 3000, false, "SN_PlayStartXY(1,1000,3000)"},
        TRangeCase{"HookStartOnly", false, 1000, -1, false, "SN_PlayStartXY(1,1000,0)"},
        TRangeCase{"HookEndOnly", false, -1, 3000, false, "SN_PlayStartXY(1,0,3000)"},
        TRangeCase{"HookNeither", false, -1, -1, false, "SN_PlayStartXY(1,5000,0)"},
        TRangeCase{"HookAfterPause", false, 1000, 3000, true, "SN_PlayStartXY(2,5000,0)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(AuditionController, PauseSurvivesStopSoHookModePlaysFromTheTop) {
    ToneMode = false;
    Markers.HookStartMs = 1000;
    Markers.HookEndMs = 3000;
    Audition.btnPlay_OnClick();
    TickPlaying(2000);
    Audition.btnPause_OnClick();
    Audition.btnStop_OnClick();
    Audition.btnPlay_OnClick();
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(2,0,0)");
    // ... and only that once: the next Play is the hook again.
    Audition.btnPlay_OnClick();
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(3,1000,3000)");
}

TEST_F(AuditionController, PlayWhilePlayingStopsTheRunningHandleFirst) {
    UseCodec = true;
    Audition.btnPlay_OnClick();
    TickPlaying(4000);
    Libs.Calls.clear();
    Audition.btnPlay_OnClick();
    EXPECT_EQ(Libs.Calls,
              (std::vector<std::string>{"SN_PlayStop(1)", "SN_GetHandlePlay(0,3,/music/take.wav)",
                                        "SN_ForceCodec(2,1)", "SN_PlayStartXY(2,4000,0)"}));
    ExpectState(TState::Playing, "restarted");
}

TEST_F(AuditionController, ThumbIsHeldWhileDraggingAndReleaseRestartsFromIt) {
    ToneMode = false; // even in hook mode a release plays from the thumb to the end
    Markers.HookStartMs = 1000;
    Markers.HookEndMs = 3000;
    Audition.btnPlay_OnClick();
    TickPlaying(2000);
    Audition.TrackBar_OnMouseDown();
    Audition.SetPosition(900); // the user drags
    TickPlaying(2100);
    EXPECT_EQ(Audition.Track().Position, 900);
    EXPECT_EQ(Audition.FromStartText, "01:30.0");
    Audition.TrackBar_OnMouseUp();
    EXPECT_FALSE(Audition.Dragging);
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(2,90000,0)");
    TickPlaying(90100);
    EXPECT_EQ(Audition.Track().Position, 901);
}

TEST_F(AuditionController, ReleaseWhileIdleOnlyRemembersTheThumb) {
    Audition.TrackBar_OnMouseDown();
    Audition.SetPosition(300);
    Audition.TrackBar_OnMouseUp();
    EXPECT_TRUE(Starts().empty());
    ToneMode = false;
    Markers.HookStartMs = 1000;
    Audition.btnPlay_OnClick();
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(1,30000,0)");
}

TEST_F(AuditionController, FailuresShowTheLibraryTextAndEnableBothButtons) {
    Libs.LastError = "no such device";
    Libs.NextHandle = 0;
    Audition.btnPlay_OnClick();
    EXPECT_EQ(Boxes.Texts(TScriptedMessages::TKind::Error),
              QStringList{QStringLiteral("Error: no such device")});
    EXPECT_EQ(PlayHandle, 0u);
    EXPECT_EQ(Libs.CallCount("SN_PlayStartXY"), 0);
    ExpectState(TState::Idle, "no handle");

    // A handle that does not start: kept, buttons back, the timer as it was.
    Libs.NextHandle = 7;
    Libs.StartResult = 1;
    Libs.LastError = "cannot decode";
    Audition.btnPlay_OnClick();
    EXPECT_EQ(Boxes.Texts(TScriptedMessages::TKind::Error).last(),
              QStringLiteral("Error: cannot decode"));
    EXPECT_EQ(PlayHandle, 7u);
    EXPECT_FALSE(Audition.TimerActive());
    EXPECT_TRUE(Audition.PlayEnabled());
    EXPECT_TRUE(Audition.PauseEnabled());
}

TEST_F(AuditionController, ReadoutsAndScale) {
    Load(Audition, 183456);
    EXPECT_EQ(Audition.LengthText, "03:03.4");
    EXPECT_EQ(Audition.FromStartText, "00:00.0");
    EXPECT_EQ(Audition.FromEndText, "03:03.4");
    const TTrackBarState& track = Audition.Track();
    EXPECT_EQ(track.Maximum, 1834);
    EXPECT_EQ(track.TickFrequency, 122);
    EXPECT_EQ(track.LineSize, 18);
    EXPECT_EQ(track.PageSize, 183);

    Audition.SetPosition(50);
    EXPECT_EQ(Audition.FromStartText, "00:05.0");
    EXPECT_EQ(Audition.FromEndText, "02:58.4");
    Audition.SetPosition(5000); // beyond the scale: held at its end
    EXPECT_EQ(track.Position, 1834);
    EXPECT_EQ(Audition.FromEndText, "00:00.0");

    Load(Audition, 0); // a cleared editor: an empty scale
    EXPECT_EQ(track.Maximum, 0);
    EXPECT_EQ(track.Position, 0);
}

TEST_F(AuditionController, ReleaseAllFreesEveryHandleAndStopsPolling) {
    Audition.btnPlay_OnClick();
    Audition.ReleaseAll();
    EXPECT_EQ(Libs.Calls.back(), "SN_FreeHandlePlayAll()");
    ExpectState(TState::Idle, "closed");
}

} // namespace
