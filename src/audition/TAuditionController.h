#pragma once

#include "TAuditionHost.h"
#include "TTrackBarState.h"

#include <QObject>
#include <QString>
#include <QTimer>

// Audition of the file in the editor through the playback library: Play with its choice of
// range, Stop, Pause (a stop that keeps the thumb where it was), the 50 ms poll that moves
// the track bar, the thumb held with the mouse, and the three read-outs. Widget-free: the
// panel shows Track, the button states and the read-out texts, and forwards user input.
//
// States: Idle (no handle, timer off, Play and Pause enabled), Playing (handle, timer on,
// Play disabled), Paused (no handle, timer on with idle ticks, Pause disabled).
class TAuditionController : public QObject {
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 50;

    explicit TAuditionController(const TAuditionHost& host, QObject* parent = nullptr);

    // --- handlers
    void btnPlay_OnClick();
    void btnStop_OnClick();
    void btnPause_OnClick();
    void TimerSN_OnTic();
    void TrackBar_OnMouseDown();
    void TrackBar_OnMouseUp();
    // Read-outs for the current position (the marker panel adds its highlighting through
    // TrackChanged).
    void TrackBar_OnChange();

    // Moves the thumb (clamped to the scale); a real change runs TrackBar_OnChange.
    void SetPosition(int position);
    // The scale for the file's length, thumb at 0.
    void ResetTrackBar();
    // "Length", "From start" and "From end" for a file just loaded.
    void ShowLength();
    // No file: the three read-outs empty.
    void ClearLength();
    void SetSelection(int selStart, int selEnd);
    // The window is closing: every handle is released and polling ends.
    void ReleaseAll();

    const TTrackBarState& Track() const { return TrackState; }
    bool PlayEnabled() const { return PlayIsEnabled; }
    bool PauseEnabled() const { return PauseIsEnabled; }
    bool TimerActive() const { return TimerSN.isActive(); }
    QTimer& Timer() { return TimerSN; }

    bool Dragging = false;
    // The next Play starts at the thumb and plays to the end, whatever the marker mode.
    bool ResumeFromTrackBar = false;

    QString FromStartText;
    QString LengthText;
    QString FromEndText;

signals:
    // Anything the panel shows changed.
    void Changed();
    // After the read-outs of a track bar change.
    void TrackChanged();

private:
    void SetButtons(bool play, bool pause);
    void ShowError(const QString& text);
    uint32_t PositionMs() const;

    TAuditionHost Host;
    TTrackBarState TrackState;
    QTimer TimerSN;
    bool PlayIsEnabled = true;
    bool PauseIsEnabled = true;
};
