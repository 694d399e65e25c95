// The marker rules over the shared model: Set Start / Set End with and without Shift in
// both modes, the order checks, the arrows, the mode displays and the highlighting.
#include "AuditionFixture.h"

namespace {

class MarkerEditor : public TAuditionFixture {
protected:
    void SetUp() override {
        Load(Audition, 180000); // 3 minutes; line size 18 steps
        Editor.ShowCurrentMode();
    }

    void ExpectModel(int32_t intro, int32_t segue, int32_t hookStart, int32_t hookEnd) {
        EXPECT_EQ(Markers.IntroMs, intro);
        EXPECT_EQ(Markers.SegueMs, segue);
        EXPECT_EQ(Markers.HookStartMs, hookStart);
        EXPECT_EQ(Markers.HookEndMs, hookEnd);
    }

    TAuditionController Audition{Host};
    TMarkerEditor Editor{Host, Audition};
};

struct TSetCase {
    const char* Name;
    bool ToneMode;
    bool SetEnd; // else Set Start
    bool Shift;
    int Thumb; // track bar steps
    TMarkerModel Expected;
    const char* StartText;
    const char* EndText;
    int SelStart;
    int SelEnd;
    int ThumbAfter;
};

class MarkerSet : public MarkerEditor, public ::testing::WithParamInterface<TSetCase> {};

TEST_P(MarkerSet, StoresTheThumbAndRebuildsTheDisplay) {
    const TSetCase& c = GetParam();
    // Every marker set beforehand, so that Shift visibly clears.
    Markers.IntroMs = 1000;
    Markers.SegueMs = 2000;
    Markers.HookStartMs = 60000;
    Markers.HookEndMs = 120000;
    ToneMode = c.ToneMode;
    Editor.ShowCurrentMode();
    Audition.SetPosition(c.Thumb);
    Edits = 0;

    if (c.SetEnd)
        Editor.btnSetEnd_OnClick(c.Shift);
    else
        Editor.btnSetStart_OnClick(c.Shift);

    ExpectModel(c.Expected.IntroMs, c.Expected.SegueMs, c.Expected.HookStartMs,
                c.Expected.HookEndMs);
    EXPECT_EQ(Editor.StartText, c.StartText);
    EXPECT_EQ(Editor.EndText, c.EndText);
    EXPECT_EQ(Audition.Track().SelStart, c.SelStart);
    EXPECT_EQ(Audition.Track().SelEnd, c.SelEnd);
    EXPECT_EQ(Audition.Track().Position, c.ThumbAfter);
    EXPECT_EQ(Edits, 1);
    EXPECT_TRUE(Boxes.Records().isEmpty());
}

// A 3-minute file; the thumb at 2:50.0 is step 1700.
INSTANTIATE_TEST_SUITE_P(BothModes, MarkerSet,
                         ::testing::Values(TSetCase{"ToneStart",
                                                    true,
                                                    false,
                                                    false,
                                                    50,
                                                    {5000, 2000, 60000, 120000, 0},
                                                    "00:05.0",
                                                    "00:02.0",
                                                    50,
                                                    1780,
                                                    0},
                                           TSetCase{"ToneStartShift",
                                                    true,
                                                    false,
                                                    true,
                                                    50,
                                                    {0, 2000, 60000, 120000, 0},
                                                    "",
                                                    "00:02.0",
                                                    0,
                                                    1780,
                                                    0},
                                           TSetCase{"ToneEndIsDistanceFromEnd",
                                                    true,
                                                    true,
                                                    false,
                                                    1700,
                                                    {1000, 10000, 60000, 120000, 0},
                                                    "00:01.0",
                                                    "00:10.0",
                                                    10,
                                                    1700,
                                                    0},
                                           TSetCase{"ToneEndShift",
                                                    true,
                                                    true,
                                                    true,
                                                    1700,
                                                    {1000, 0, 60000, 120000, 0},
                                                    "00:01.0",
                                                    "",
                                                    10,
                                                    0,
                                                    0},
                                           TSetCase{"HookStart",
                                                    false,
                                                    false,
                                                    false,
                                                    500,
                                                    {1000, 2000, 50000, 120000, 0},
                                                    "00:50.0",
                                                    "01:00.0",
                                                    500,
                                                    1200,
                                                    500},
                                           TSetCase{"HookStartShift",
                                                    false,
                                                    false,
                                                    true,
                                                    500,
                                                    {1000, 2000, 0, 120000, 0},
                                                    "00:00.0",
                                                    "01:00.0",
                                                    0,
                                                    1200,
                                                    500},
                                           TSetCase{"HookEndShownBeforeEnd",
                                                    false,
                                                    true,
                                                    false,
                                                    1700,
                                                    {1000, 2000, 60000, 170000, 0},
                                                    "01:00.0",
                                                    "00:10.0",
                                                    600,
                                                    1700,
                                                    1700},
                                           // A hook end of 0 shows the whole length before the end
                                           // (and is saved as unset).
                                           TSetCase{"HookEndShift",
                                                    false,
                                                    true,
                                                    true,
                                                    1700,
                                                    {1000, 2000, 60000, 0, 0},
                                                    "01:00.0",
                                                    "03:00.0",
                                                    600,
                                                    0,
                                                    1700}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MarkerEditor, HookOrderChecksComeBeforeShiftAndChangeNothing) {
    ToneMode = false;
    Markers.HookStartMs = 60000;
    Markers.HookEndMs = 120000;
    Editor.ShowCurrentMode();
    const QString start = Editor.StartText;
    const QString end = Editor.EndText;
    for (const bool shift : {false, true}) {
        Boxes.Clear();
        Audition.SetPosition(1300); // after the hook end
        Editor.btnSetStart_OnClick(shift);
        Audition.SetPosition(500); // before the hook start
        Editor.btnSetEnd_OnClick(shift);
        EXPECT_EQ(Boxes.Texts(TScriptedMessages::TKind::Error),
                  (QStringList{QStringLiteral("Hook Start is greater than Hook End"),
                               QStringLiteral("Hook End is less than Hook Start")}));
        ExpectModel(0, 0, 60000, 120000);
        EXPECT_EQ(Editor.StartText, start);
        EXPECT_EQ(Editor.EndText, end);
        EXPECT_EQ(Audition.Track().SelStart, 600);
        EXPECT_EQ(Audition.Track().SelEnd, 1200);
    }
    EXPECT_EQ(Edits, 0);

    // Unset points never block.
    Markers.HookStartMs = Markers.HookEndMs = TMarkerModel::Unset;
    Editor.ShowCurrentMode();
    Audition.SetPosition(10);
    Editor.btnSetEnd_OnClick(false);
    Audition.SetPosition(20);
    Markers.HookEndMs = TMarkerModel::Unset;
    Editor.btnSetStart_OnClick(false);
    EXPECT_EQ(Boxes.Texts(TScriptedMessages::TKind::Error).size(), 2);
}

TEST_F(MarkerEditor, ArrowsStepFromTheMarkerAndStopAtZero) {
    // Tones: from empty edits.
    Editor.udStart_OnChangingEx(true);
    EXPECT_EQ(Editor.StartText, "00:00.1");
    EXPECT_EQ(Markers.IntroMs, 100);
    Editor.udEnd_OnChangingEx(false); // empty, down: 0, never below
    EXPECT_EQ(Editor.EndText, "00:00.0");
    EXPECT_EQ(Markers.SegueMs, 0);
    EXPECT_EQ(Audition.Track().SelEnd, 1800);
    Editor.udEnd_OnChangingEx(true); // further from the end
    Editor.udEnd_OnChangingEx(true);
    EXPECT_EQ(Markers.SegueMs, 200);
    EXPECT_EQ(Audition.Track().SelEnd, 1798);
    EXPECT_EQ(Edits, 3); // the down arrow on a segue of 0 changed no value

    // Hook: the end arrow keeps the end from the start; the length follows.
    ToneMode = false;
    Markers.HookStartMs = 1000;
    Markers.HookEndMs = 179000; // 00:01.0 before the end
    Editor.ShowCurrentMode();
    Editor.udEnd_OnChangingEx(true);
    EXPECT_EQ(Markers.HookEndMs, 178900);
    EXPECT_EQ(Editor.EndText, "00:01.1");
    EXPECT_EQ(Editor.HookLengthText, "02:57.9");
    Editor.udStart_OnChangingEx(false);
    EXPECT_EQ(Markers.HookStartMs, 900);
    EXPECT_EQ(Editor.HookLengthText, "02:58.0");
    EXPECT_EQ(Audition.Track().SelStart, 9);
}

TEST_F(MarkerEditor, AChangeWithinATenthIsAnEditAndAPointBeyondTheEndStepsFromItsSignedValue) {
    // A stored intro of 56045 ms shows "00:56.0"; Set Start at 56.0 s stores 56000: the
    // text stays the same, the value does not.
    Markers.IntroMs = 56045;
    Editor.ShowCurrentMode();
    ASSERT_EQ(Editor.StartText, "00:56.0");
    Audition.SetPosition(560);
    Editor.btnSetStart_OnClick(false);
    EXPECT_EQ(Markers.IntroMs, 56000);
    EXPECT_EQ(Edits, 1);
    Audition.SetPosition(560);         // the tone display put the thumb back to 0
    Editor.btnSetStart_OnClick(false); // the same value again: no edit
    EXPECT_EQ(Edits, 1);

    // A hook end 20 s beyond the end of a 180 s file: the up arrow moves it 100 ms.
    ToneMode = false;
    Markers.HookStartMs = 1000;
    Markers.HookEndMs = 200000;
    Editor.ShowCurrentMode();
    ASSERT_EQ(Editor.EndText, "-00:20.0");
    Editor.udEnd_OnChangingEx(true);
    EXPECT_EQ(Editor.EndText, "-00:19.9");
    EXPECT_EQ(Markers.HookEndMs, 199900);
    Editor.udEnd_OnChangingEx(false);
    Editor.udEnd_OnChangingEx(false);
    EXPECT_EQ(Markers.HookEndMs, 200100);
    EXPECT_EQ(Edits, 4);
}

TEST_F(MarkerEditor, CrossedHookPointsShowANegativeLength) {
    ToneMode = false;
    Markers.HookStartMs = 5000;
    Markers.HookEndMs = 4000;
    Editor.ShowCurrentMode();
    EXPECT_EQ(Editor.HookLengthText, "-00:01.0");
    // Only a start: no length at all, not a stale one.
    Markers.HookEndMs = TMarkerModel::Unset;
    Editor.ShowCurrentMode();
    EXPECT_TRUE(Editor.HookLengthVisible);
    EXPECT_EQ(Editor.HookLengthText, "");
    EXPECT_EQ(Editor.EndText, "");
}

TEST_F(MarkerEditor, ModeSwitchRebuildsFromTheModelWithoutAnEdit) {
    Markers = {5000, 10000, 30000, 60000, 180000};
    Audition.SetPosition(700);
    Audition.ResumeFromTrackBar = true;
    Editor.rbtnHook_OnClick();
    EXPECT_FALSE(ToneMode);
    EXPECT_EQ(Audition.Track().Position, 700); // the hook display keeps the thumb
    EXPECT_FALSE(Audition.ResumeFromTrackBar);
    EXPECT_EQ(Editor.StartCaption, "Hook &Start");
    EXPECT_EQ(Editor.EndCaption, "Hook &End");
    EXPECT_EQ(Editor.StartText, "00:30.0");
    EXPECT_EQ(Editor.EndText, "02:00.0");
    EXPECT_EQ(Editor.HookLengthText, "00:30.0");
    EXPECT_EQ(Editor.ModeColour, TMarkerEditor::HookColour);
    EXPECT_EQ(Audition.Track().SelStart, 300);
    EXPECT_EQ(Audition.Track().SelEnd, 600);

    Editor.rbtnTones_OnClick();
    EXPECT_TRUE(ToneMode);
    EXPECT_EQ(Audition.Track().Position, 0); // the tone display returns it to 0
    EXPECT_EQ(Editor.StartCaption, "&Intro");
    EXPECT_EQ(Editor.EndCaption, "&Segue");
    EXPECT_EQ(Editor.StartText, "00:05.0");
    EXPECT_EQ(Editor.EndText, "00:10.0");
    EXPECT_FALSE(Editor.HookLengthVisible);
    EXPECT_EQ(Editor.ModeColour, TMarkerEditor::TonesColour);
    EXPECT_EQ(Audition.Track().SelStart, 50);
    EXPECT_EQ(Audition.Track().SelEnd, 1700);

    ExpectModel(5000, 10000, 30000, 60000);
    EXPECT_EQ(Edits, 0);
}

TEST_F(MarkerEditor, HighlightsWithinOneLineSizeOfAMarker) {
    Markers.IntroMs = 5000;   // step 50
    Markers.SegueMs = 10000;  // step 1700
    Editor.ShowCurrentMode(); // line size 18
    const auto at = [this](int position) {
        Audition.SetPosition(position);
        return std::make_pair(Editor.StartColour, Editor.EndColour);
    };
    const QColor mode = TMarkerEditor::TonesColour;
    EXPECT_EQ(at(40), std::make_pair(TMarkerEditor::StartHighlight, mode));
    EXPECT_EQ(at(67), std::make_pair(TMarkerEditor::StartHighlight, mode));
    EXPECT_EQ(at(68), std::make_pair(mode, mode)); // the bounds are excluded
    EXPECT_EQ(at(32), std::make_pair(mode, mode));
    EXPECT_EQ(at(1690), std::make_pair(mode, TMarkerEditor::EndHighlight));

    // A marker at 0 is never highlighted, even with the thumb on it.
    ToneMode = false;
    Markers.HookStartMs = 0;
    Markers.HookEndMs = 170000;
    Editor.ShowCurrentMode();
    Audition.SetPosition(5);
    Audition.SetPosition(0);
    EXPECT_EQ(Editor.StartColour, TMarkerEditor::HookColour);
}

TEST_F(MarkerEditor, NoHighlightOnFilesUnderTenSeconds) {
    Load(Audition, 9900); // line size 0
    Markers.IntroMs = 5000;
    Markers.SegueMs = 4000;
    Editor.ShowCurrentMode();
    for (int position : {49, 50, 51, 59}) {
        Audition.SetPosition(position);
        EXPECT_EQ(Editor.StartColour, TMarkerEditor::TonesColour) << position;
        EXPECT_EQ(Editor.EndColour, TMarkerEditor::TonesColour) << position;
    }
}

} // namespace
