#include "TAuditionController.h"

#include "TAudioLibs.h"
#include "TMessages.h"
#include "TextForms.h"

#include <QByteArray>

#include <algorithm>

namespace {
constexpr int LastErrorSize = 256;
}

TAuditionController::TAuditionController(const TAuditionHost& host, QObject* parent)
    : QObject(parent), Host(host) {
    TimerSN.setInterval(TimerIntervalMs);
    connect(&TimerSN, &QTimer::timeout, this, &TAuditionController::TimerSN_OnTic);
}

uint32_t TAuditionController::PositionMs() const {
    return uint32_t(TrackState.Position) * TTrackBarState::MsPerStep;
}

void TAuditionController::SetButtons(bool play, bool pause) {
    PlayIsEnabled = play;
    PauseIsEnabled = pause;
}

void TAuditionController::ShowError(const QString& text) {
    if (Host.ShowError)
        Host.ShowError(text);
    else
        Messages().Error(text);
}

void TAuditionController::btnPlay_OnClick() {
    const TAudioLibs& libs = AudioLibs();
    if (libs.SN_GetHandlePlay == nullptr)
        return; // no playback library bound: nothing can play
    if (Host.PlayHandle != 0)
        libs.SN_PlayStop(Host.PlayHandle);
    const QByteArray path = Host.CurrentFile ? Host.CurrentFile() : QByteArray();
    const int device = Host.DeviceIndex ? Host.DeviceIndex() : 0;
    Host.PlayHandle = libs.SN_GetHandlePlay(0, int16_t(uint16_t(device)), path.constData());

    bool started = false;
    if (Host.PlayHandle != 0) {
        SetButtons(false, true);
        const TMarkerModel& m = Host.Markers;
        uint32_t start = PositionMs();
        uint32_t end = 0;
        const bool hookStart = m.HookStartMs >= 0;
        const bool hookEnd = m.HookEndMs >= 0;
        if (!Host.ToneMode && !ResumeFromTrackBar && (hookStart || hookEnd)) {
            // The hook, wherever the thumb is. Without a start it plays from the top of
            // the file (passing the unset value would ask for a start 49 days in).
            start = hookStart ? uint32_t(m.HookStartMs) : 0;
            end = hookEnd ? uint32_t(m.HookEndMs) : 0;
        }
        ResumeFromTrackBar = false;
        libs.SN_ForceCodec(Host.PlayHandle, Host.UseCodec && Host.UseCodec() ? 1 : 0);
        started = libs.SN_PlayStartXY(Host.PlayHandle, start, end) == 0;
    }
    if (started) {
        TimerSN.start();
    } else {
        // The timer stays as it was; its ticks find no playing handle and go idle.
        SetButtons(true, true);
        QByteArray text(LastErrorSize, '\0');
        libs.SN_GetLastError(text.data(), LastErrorSize);
        text[LastErrorSize - 1] = '\0';
        emit Changed();
        ShowError(QStringLiteral("Error: ") + QString::fromUtf8(text.constData()));
        return;
    }
    emit Changed();
}

void TAuditionController::btnStop_OnClick() {
    if (Host.PlayHandle != 0)
        AudioLibs().SN_PlayStop(Host.PlayHandle);
    Host.PlayHandle = 0;
    SetButtons(true, true);
    TimerSN.stop();
    SetPosition(0);
    emit Changed();
}

void TAuditionController::btnPause_OnClick() {
    if (Host.PlayHandle == 0)
        return;
    AudioLibs().SN_PlayStop(Host.PlayHandle);
    Host.PlayHandle = 0;
    SetButtons(true, false);
    ResumeFromTrackBar = true;
    emit Changed();
}

void TAuditionController::TimerSN_OnTic() {
    const TAudioLibs& libs = AudioLibs();
    // The status is asked afresh in each step: playback may end between the two.
    if (Host.PlayHandle != 0 && libs.SN_Status(Host.PlayHandle) == SN_STATUS_PLAYING && !Dragging) {
        const uint32_t ms = libs.SN_PlayGetTimeMs(Host.PlayHandle);
        SetPosition(int(ms / TTrackBarState::MsPerStep));
    }
    if (Host.PlayHandle != 0 && libs.SN_Status(Host.PlayHandle) == SN_STATUS_DONE)
        btnStop_OnClick();
}

void TAuditionController::TrackBar_OnMouseDown() {
    Dragging = true;
    ResumeFromTrackBar = true;
}

void TAuditionController::TrackBar_OnMouseUp() {
    Dragging = false;
    if (Host.PlayHandle != 0)
        btnPlay_OnClick();
}

void TAuditionController::TrackBar_OnChange() {
    const uint32_t v = PositionMs();
    const uint32_t length = Host.Markers.LengthMs;
    FromStartText = TimeText(v);
    FromEndText = v <= length ? TimeText(length - v) : QStringLiteral("-") + TimeText(v - length);
    emit TrackChanged();
    emit Changed();
}

void TAuditionController::SetPosition(int position) {
    position = std::clamp(position, 0, TrackState.Maximum);
    if (position == TrackState.Position)
        return;
    TrackState.Position = position;
    TrackBar_OnChange();
}

void TAuditionController::ResetTrackBar() {
    SetPosition(0);
    TrackState.SetScale(Host.Markers.LengthMs);
    emit Changed();
}

void TAuditionController::ShowLength() {
    LengthText = TimeText(Host.Markers.LengthMs);
    FromStartText = TimeText(0);
    FromEndText = TimeText(Host.Markers.LengthMs);
    emit Changed();
}

void TAuditionController::ClearLength() {
    LengthText.clear();
    FromStartText.clear();
    FromEndText.clear();
    emit Changed();
}

void TAuditionController::SetSelection(int selStart, int selEnd) {
    TrackState.SelStart = selStart;
    TrackState.SelEnd = selEnd;
    emit Changed();
}

void TAuditionController::ReleaseAll() {
    if (AudioLibs().SN_FreeHandlePlayAll != nullptr)
        AudioLibs().SN_FreeHandlePlayAll();
    Host.PlayHandle = 0;
    TimerSN.stop();
    SetButtons(true, true);
    emit Changed();
}
