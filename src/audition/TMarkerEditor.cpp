#include "TMarkerEditor.h"

#include "TAuditionController.h"
#include "TMessages.h"
#include "TextForms.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

const QColor TMarkerEditor::TonesColour(244, 244, 170);
const QColor TMarkerEditor::HookColour(146, 186, 248);
const QColor TMarkerEditor::StartHighlight(255, 0, 0);
const QColor TMarkerEditor::EndHighlight(0, 255, 0);

namespace {

constexpr int64_t StepMs = TTrackBarState::MsPerStep;

// A signed span in the time text form; a negative one (points crossed) gets a leading "-".
QString SignedTimeText(int64_t ms) {
    const auto magnitude = uint32_t(std::min<int64_t>(std::llabs(ms), UINT32_MAX));
    return ms < 0 ? QStringLiteral("-") + TimeText(magnitude) : TimeText(magnitude);
}

int32_t ClampToInt32(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

int ToStep(int64_t ms) {
    return int(std::clamp<int64_t>(ms / StepMs, std::numeric_limits<int>::min(),
                                   std::numeric_limits<int>::max()));
}

} // namespace

TMarkerEditor::TMarkerEditor(const TAuditionHost& host, TAuditionController& audition,
                             QObject* parent)
    : QObject(parent), Host(host), Audition(audition) {
    StartCaption = QStringLiteral("&Intro");
    EndCaption = QStringLiteral("&Segue");
    connect(&Audition, &TAuditionController::TrackChanged, this, &TMarkerEditor::Highlight);
}

void TMarkerEditor::ShowError(const QString& text) {
    if (Host.ShowError)
        Host.ShowError(text);
    else
        Messages().Error(text);
}

QString TMarkerEditor::TimeBeforeEnd(int64_t pointMs) const {
    return SignedTimeText(int64_t(Host.Markers.LengthMs) - pointMs);
}

void TMarkerEditor::rbtnTones_OnClick() {
    const TMarkerModel& m = Host.Markers;
    ModeColour = StartColour = EndColour = TonesColour;
    StartCaption = QStringLiteral("&Intro");
    EndCaption = QStringLiteral("&Segue");
    Host.ToneMode = true;
    int selStart = 0;
    int selEnd = 0;
    StartText.clear();
    EndText.clear();
    HookLengthVisible = false;
    if (m.IntroMs > 0) {
        selStart = ToStep(m.IntroMs);
        StartText = TimeText(uint32_t(m.IntroMs));
    }
    if (m.SegueMs > 0) {
        selEnd = ToStep(int64_t(m.LengthMs) - m.SegueMs);
        EndText = TimeText(uint32_t(m.SegueMs));
    }
    Audition.SetSelection(selStart, selEnd);
    Audition.SetPosition(0);
    emit Changed();
}

void TMarkerEditor::rbtnHook_OnClick() {
    const TMarkerModel& m = Host.Markers;
    ModeColour = StartColour = EndColour = HookColour;
    StartCaption = QStringLiteral("Hook &Start");
    EndCaption = QStringLiteral("Hook &End");
    Host.ToneMode = false;
    Audition.ResumeFromTrackBar = false;
    int selStart = 0;
    int selEnd = 0;
    StartText.clear();
    EndText.clear();
    HookLengthVisible = true;
    if (m.HookStartMs >= 0) {
        selStart = ToStep(m.HookStartMs);
        StartText = TimeText(uint32_t(m.HookStartMs));
    }
    if (m.HookEndMs >= 0) {
        selEnd = ToStep(m.HookEndMs);
        EndText = TimeBeforeEnd(m.HookEndMs);
    }
    ShowHookLength();
    Audition.SetSelection(selStart, selEnd);
    emit Changed();
}

void TMarkerEditor::ShowCurrentMode() {
    if (Host.ToneMode)
        rbtnTones_OnClick();
    else
        rbtnHook_OnClick();
}

void TMarkerEditor::ShowHookLength() {
    const TMarkerModel& m = Host.Markers;
    HookLengthText.clear();
    if (m.HookStartMs >= 0 && m.HookEndMs >= 0)
        HookLengthText = SignedTimeText(int64_t(m.HookEndMs) - m.HookStartMs);
}

void TMarkerEditor::Edited(const TMarkerModel& before) {
    // The values decide, not the texts: a point moved within the same tenth of a second
    // shows the same text but is a change all the same.
    const TMarkerModel& m = Host.Markers;
    const bool changed = m.IntroMs != before.IntroMs || m.SegueMs != before.SegueMs ||
                         m.HookStartMs != before.HookStartMs || m.HookEndMs != before.HookEndMs;
    if (changed && Host.MarkersEdited)
        Host.MarkersEdited();
}

void TMarkerEditor::btnSetStart_OnClick(bool shiftDown) {
    TMarkerModel& m = Host.Markers;
    const int32_t p = ClampToInt32(int64_t(Audition.Track().Position) * StepMs);
    const TMarkerModel before = m;
    if (Host.ToneMode) {
        m.IntroMs = shiftDown ? 0 : p;
    } else {
        // The order check comes first: Shift does not bypass it.
        if (m.HookEndMs >= 0 && m.HookEndMs < p) {
            ShowError(HookOrderStartMessage());
            return;
        }
        m.HookStartMs = shiftDown ? 0 : p;
    }
    ShowCurrentMode();
    Edited(before);
    Audition.TrackBar_OnChange();
}

void TMarkerEditor::btnSetEnd_OnClick(bool shiftDown) {
    TMarkerModel& m = Host.Markers;
    const int32_t p = ClampToInt32(int64_t(Audition.Track().Position) * StepMs);
    const TMarkerModel before = m;
    if (Host.ToneMode) {
        m.SegueMs = shiftDown ? 0 : ClampToInt32(int64_t(m.LengthMs) - p);
    } else {
        // Signed, so an unset hook start (-1) never blocks.
        if (p < m.HookStartMs) {
            ShowError(HookOrderEndMessage());
            return;
        }
        m.HookEndMs = shiftDown ? 0 : p;
    }
    ShowCurrentMode();
    Edited(before);
    Audition.TrackBar_OnChange();
}

void TMarkerEditor::udStart_OnChangingEx(bool up) {
    TMarkerModel& m = Host.Markers;
    const TMarkerModel before = m;
    // Step from the point itself (an unset hook start counts as 0), never below 0.
    const int64_t current = std::max<int64_t>(Host.ToneMode ? m.IntroMs : m.HookStartMs, 0);
    int64_t v = current + (up ? StepMs : -StepMs);
    v = std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max());
    StartText = TimeText(uint32_t(v));
    if (Host.ToneMode) {
        m.IntroMs = int32_t(v);
    } else {
        m.HookStartMs = int32_t(v);
        ShowHookLength();
    }
    Audition.SetSelection(ToStep(v), Audition.Track().SelEnd);
    Edited(before);
    emit Changed();
}

void TMarkerEditor::udEnd_OnChangingEx(bool up) {
    TMarkerModel& m = Host.Markers;
    const TMarkerModel before = m;
    // The distance from the end, taken from the point and signed: a hook end beyond the end
    // of the file is a negative distance and steps by 100 ms like any other. Only a step
    // that would cross from the file into negative distances stops at 0.
    int64_t current = 0;
    if (Host.ToneMode)
        current = std::max<int64_t>(m.SegueMs, 0);
    else if (m.HookEndMs >= 0)
        current = int64_t(m.LengthMs) - m.HookEndMs;
    int64_t v = current + (up ? StepMs : -StepMs);
    if (current >= 0 && v < 0)
        v = 0;
    v = std::clamp<int64_t>(v, int64_t(m.LengthMs) - std::numeric_limits<int32_t>::max(),
                            std::numeric_limits<int32_t>::max());
    const int64_t point = int64_t(m.LengthMs) - v;
    EndText = SignedTimeText(v);
    if (Host.ToneMode) {
        m.SegueMs = int32_t(v);
    } else {
        m.HookEndMs = ClampToInt32(point);
        ShowHookLength();
    }
    Audition.SetSelection(Audition.Track().SelStart, ToStep(point));
    Edited(before);
    emit Changed();
}

void TMarkerEditor::Highlight() {
    const TMarkerModel& m = Host.Markers;
    const TTrackBarState& track = Audition.Track();
    const int k = track.Position;
    const int l = track.LineSize;
    const int32_t a = Host.ToneMode ? m.IntroMs : m.HookStartMs;
    const int32_t b = Host.ToneMode ? m.SegueMs : m.HookEndMs;
    const QColor startBefore = StartColour;
    const QColor endBefore = EndColour;
    if (a > 0)
        StartColour =
            track.SelStart - l < k && k < track.SelStart + l ? StartHighlight : ModeColour;
    if (b > 0)
        EndColour = track.SelEnd - l < k && k < track.SelEnd + l ? EndHighlight : ModeColour;
    if (StartColour != startBefore || EndColour != endBefore)
        emit Changed();
}
