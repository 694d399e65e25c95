// The panel's widgets over the rules: shortcuts and their guards, the clickable mode
// labels, Shift with Set Start, the track bar's mouse, the arrows, and what is shown.
#include "AuditionFixture.h"

#include "TAuditionPanel.h"
#include "TReadout.h"
#include "TTrackBar.h"
#include "TUpDown.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

class AuditionPanel : public TAuditionFixture {
protected:
    void SetUp() override {
        Window.resize(320, 170);
        Panel = new TAuditionPanel(&Window, Host);
        Load(Panel->Audition(), 180000);
        Panel->ShowMarkers();
        Window.show();
        Window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    }

    QColor Base(QLineEdit* edit) const { return edit->palette().color(QPalette::Base); }
    void Key(int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(&Window, Qt::Key(key), modifiers);
    }

    QWidget Window;
    TAuditionPanel* Panel = nullptr; // owned by Window
};

TEST_F(AuditionPanel, ShortcutsRunTheTransportAndTheMarkers) {
    Key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(1,0,0)");
    EXPECT_FALSE(Panel->btnPlay->isEnabled());
    EXPECT_FALSE(Panel->ActionPlay->isEnabled());
    Key(Qt::Key_P, Qt::ControlModifier); // disabled while playing
    EXPECT_EQ(Starts().size(), 1u);

    Libs.Status = SN_STATUS_PLAYING;
    Libs.PositionMs = 5000;
    Panel->Audition().TimerSN_OnTic();
    EXPECT_EQ(Panel->TrackBar->value(), 50);
    EXPECT_EQ(Panel->txtFromStart->text(), "00:05.0");
    EXPECT_EQ(Panel->txtFromEnd->text(), "02:55.0");

    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(PlayHandle, 0u);
    EXPECT_FALSE(Panel->btnPause->isEnabled());
    EXPECT_TRUE(Panel->btnPlay->isEnabled());

    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Markers.IntroMs, 5000);
    EXPECT_EQ(Panel->edtStart->text(), "00:05.0");

    Key(Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(ToneMode);
    EXPECT_TRUE(Panel->rbtnHook->isChecked());
    EXPECT_EQ(Panel->lblStart->text(), "Hook &Start");
    Panel->Audition().SetPosition(1700);
    Key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(Markers.HookEndMs, 170000);
    EXPECT_EQ(Panel->edtEnd->text(), "00:10.0");

    Key(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(ToneMode);
    EXPECT_TRUE(Panel->rbtnTones->isChecked());
    Key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(Panel->Audition().TimerActive());
    EXPECT_TRUE(Panel->btnPause->isEnabled());
}

TEST_F(AuditionPanel, ShortcutsDoNothingWhileTheirControlIsDisabled) {
    // The window disables what an MPEG file without ID3v2 cannot store.
    for (QWidget* w :
         std::initializer_list<QWidget*>{Panel->btnSetStart, Panel->btnSetEnd, Panel->rbtnTones,
                                         Panel->rbtnHook, Panel->lblHook})
        w->setEnabled(false);
    Panel->Audition().SetPosition(50);
    Key(Qt::Key_S, Qt::ControlModifier);
    Key(Qt::Key_E, Qt::ControlModifier);
    Key(Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    QTest::mouseClick(Panel->lblHook, Qt::LeftButton);
    EXPECT_EQ(Markers.IntroMs, 0);
    EXPECT_EQ(Markers.SegueMs, 0);
    EXPECT_TRUE(ToneMode);
    EXPECT_EQ(Edits, 0);

    // A refresh after the window disabled the transport does not enable it again.
    Key(Qt::Key_P, Qt::ControlModifier);
    Panel->btnPlay->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{Panel->btnPlay, Panel->btnPause})
        w->setEnabled(false);
    Libs.Status = SN_STATUS_PLAYING;
    Libs.PositionMs = 900;
    Panel->Audition().TimerSN_OnTic();
    EXPECT_FALSE(Panel->btnPause->isEnabled());
    EXPECT_FALSE(Panel->btnPlay->isEnabled());
}

TEST_F(AuditionPanel, ModeLabelsSelectTheirModeAndColourTheDisplays) {
    QTest::mouseClick(Panel->lblHook, Qt::LeftButton);
    EXPECT_FALSE(ToneMode);
    EXPECT_TRUE(Panel->rbtnHook->isChecked());
    const QColor hook(146, 186, 248);
    EXPECT_EQ(Base(Panel->edtStart), hook);
    EXPECT_EQ(Base(Panel->edtEnd), hook);
    for (TReadout* r :
         {Panel->txtFromStart, Panel->txtLength, Panel->txtFromEnd, Panel->txtHookLen})
        EXPECT_EQ(r->Colour(), hook) << r->objectName().toStdString();
    EXPECT_TRUE(Panel->lblHookLen->isVisible());
    EXPECT_TRUE(Panel->txtHookLen->isVisible());

    QTest::mouseClick(Panel->lblTones, Qt::LeftButton);
    EXPECT_TRUE(ToneMode);
    const QColor tones(244, 244, 170);
    EXPECT_EQ(Base(Panel->edtStart), tones);
    EXPECT_EQ(Panel->txtLength->Colour(), tones);
    EXPECT_FALSE(Panel->lblHookLen->isVisible());
    EXPECT_FALSE(Panel->txtHookLen->isVisible());
    EXPECT_EQ(Panel->lblTones->font().bold(), true);
    EXPECT_EQ(Panel->lblTones->palette().color(QPalette::Window), tones);
    EXPECT_EQ(Panel->lblHook->palette().color(QPalette::Window), hook);
}

TEST_F(AuditionPanel, ShiftClickOnSetStartClearsTheIntro) {
    Panel->Audition().SetPosition(50);
    QTest::mouseClick(Panel->btnSetStart, Qt::LeftButton);
    EXPECT_EQ(Markers.IntroMs, 5000);
    EXPECT_EQ(Panel->TrackBar->SelStart(), 50);
    Panel->Audition().SetPosition(80);
    QTest::mouseClick(Panel->btnSetStart, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Markers.IntroMs, 0);
    EXPECT_EQ(Panel->edtStart->text(), "");
    EXPECT_EQ(Panel->TrackBar->SelStart(), 0);
    EXPECT_EQ(Edits, 2);
}

TEST_F(AuditionPanel, TrackBarPressHoldsTheThumbAndReleaseRestartsPlayback) {
    Panel->btnPlay->click();
    QTest::mousePress(Panel->TrackBar, Qt::LeftButton);
    EXPECT_TRUE(Panel->Audition().Dragging);
    EXPECT_TRUE(Panel->Audition().ResumeFromTrackBar);
    Panel->TrackBar->setValue(1200); // the user moves the thumb
    Libs.Status = SN_STATUS_PLAYING;
    Libs.PositionMs = 3000;
    Panel->Audition().TimerSN_OnTic();
    EXPECT_EQ(Panel->TrackBar->value(), 1200);
    EXPECT_EQ(Panel->txtFromStart->text(), "02:00.0");
    QTest::mouseRelease(Panel->TrackBar, Qt::LeftButton);
    EXPECT_FALSE(Panel->Audition().Dragging);
    EXPECT_EQ(LastStart(), "SN_PlayStartXY(2,120000,0)");
    EXPECT_EQ(Panel->TrackBar->value(), 1200);
}

TEST_F(AuditionPanel, ArrowsMoveAMarkerOnlyWhileItsEditIsEnabled) {
    QTest::mouseClick(Panel->udStart->UpButton(), Qt::LeftButton);
    QTest::mouseClick(Panel->udStart->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Panel->edtStart->text(), "00:00.2");
    EXPECT_EQ(Markers.IntroMs, 200);
    QTest::mouseClick(Panel->udEnd->DownButton(), Qt::LeftButton);
    EXPECT_EQ(Panel->edtEnd->text(), "00:00.0");
    EXPECT_EQ(Panel->TrackBar->SelEnd(), 1800);

    Panel->edtStart->setEnabled(false); // no file in the editor
    QTest::mouseClick(Panel->udStart->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Markers.IntroMs, 200);
}

TEST_F(AuditionPanel, EditsLightUpAsTheThumbPassesTheirMarkers) {
    Markers.IntroMs = 5000;
    Markers.SegueMs = 10000;
    Panel->ShowMarkers();
    Panel->TrackBar->setValue(45);
    EXPECT_EQ(Base(Panel->edtStart), QColor(255, 0, 0));
    Panel->TrackBar->setValue(1699);
    EXPECT_EQ(Base(Panel->edtStart), QColor(244, 244, 170));
    EXPECT_EQ(Base(Panel->edtEnd), QColor(0, 255, 0));
}

TEST_F(AuditionPanel, ControlsCarryTheirFixedProperties) {
    EXPECT_EQ(Panel->TrackBar->orientation(), Qt::Horizontal);
    EXPECT_EQ(Panel->TrackBar->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(Panel->TrackBar->maximum(), 1800);
    EXPECT_EQ(Panel->TrackBar->singleStep(), 18);
    EXPECT_EQ(Panel->TrackBar->pageStep(), 180);
    EXPECT_EQ(Panel->TrackBar->tickInterval(), 120);
    EXPECT_EQ(Panel->Audition().Timer().interval(), 50);
    EXPECT_TRUE(Panel->edtStart->isReadOnly());
    EXPECT_EQ(Panel->edtEnd->maxLength(), 32);
    EXPECT_EQ(Panel->lblStart->buddy(), Panel->edtStart);
    EXPECT_EQ(Panel->lblEnd->buddy(), Panel->edtEnd);
    EXPECT_EQ(Panel->txtFromStart->alignment(), Qt::AlignCenter);
    EXPECT_EQ(Panel->txtFromStart->frameShadow(), QFrame::Sunken);

    struct TBinding {
        QAction* Action;
        const char* Keys;
        QWidget* Control;
        const char* Hint;
    };
    for (const TBinding& b :
         {TBinding{Panel->ActionPlay, "Ctrl+P", Panel->btnPlay, "Play"},
          TBinding{Panel->ActionStop, "Ctrl+T", Panel->btnStop, "Stop"},
          TBinding{Panel->ActionPause, "Ctrl+U", Panel->btnPause, "Pause"},
          TBinding{Panel->ActionSetStart, "Ctrl+S", Panel->btnSetStart, "Set Start"},
          TBinding{Panel->ActionSetEnd, "Ctrl+E", Panel->btnSetEnd, "Set End"},
          TBinding{Panel->ActionTones, "Ctrl+Alt+T", Panel->lblTones, "Tones (Ctrl+Alt+T)"},
          TBinding{Panel->ActionHook, "Ctrl+Alt+H", Panel->lblHook, "Hook (Ctrl+Alt+H)"}}) {
        EXPECT_EQ(b.Action->shortcut().toString(), QLatin1String(b.Keys));
        EXPECT_EQ(b.Control->toolTip(), QLatin1String(b.Hint));
        // Every control sits directly on the container, where the window's enabling
        // rules find it.
        EXPECT_EQ(b.Control->parentWidget(), &Window);
    }
}

} // namespace
