#pragma once

#include "TAuditionHost.h"

#include <QColor>
#include <QObject>
#include <QString>

class TAuditionController;

// The marker rules of the editor: the two marker edits of the current mode (tones: intro
// and segue; hook: hook start and hook end), Set Start / Set End from the play position,
// the arrows beside the edits, the hook length, the track bar's selection band and the
// highlighting of an edit while the thumb passes its marker. Widget-free: the panel shows
// the texts, captions and colours kept here and forwards the user's input.
//
// The second edit always shows a time before the end of the file, in both modes, though
// the hook end is kept from the start. A mode switch rebuilds the display from the model
// and is not an edit: only Set Start, Set End and the arrows report MarkersEdited.
class TMarkerEditor : public QObject {
    Q_OBJECT

public:
    static const QColor TonesColour;    // RGB(244, 244, 170)
    static const QColor HookColour;     // RGB(146, 186, 248)
    static const QColor StartHighlight; // red
    static const QColor EndHighlight;   // green

    static QString HookOrderStartMessage() {
        return QStringLiteral("Hook Start is greater than Hook End");
    }
    static QString HookOrderEndMessage() {
        return QStringLiteral("Hook End is less than Hook Start");
    }

    TMarkerEditor(const TAuditionHost& host, TAuditionController& audition,
                  QObject* parent = nullptr);

    // --- handlers
    void rbtnTones_OnClick();
    void rbtnHook_OnClick();
    // The display of the current mode (after loading or clearing the editor).
    void ShowCurrentMode();
    void btnSetStart_OnClick(bool shiftDown);
    void btnSetEnd_OnClick(bool shiftDown);
    // up: +100 ms on the edit's value, down: -100 ms, never below 0.
    void udStart_OnChangingEx(bool up);
    void udEnd_OnChangingEx(bool up);
    // Highlighting; runs after every track bar change.
    void Highlight();

    bool ToneMode() const { return Host.ToneMode; }

    // --- what the panel shows
    QString StartCaption;
    QString EndCaption;
    QString StartText; // edtStart
    QString EndText;   // edtEnd
    QString HookLengthText;
    bool HookLengthVisible = false;
    QColor ModeColour = TonesColour; // the edits' resting colour and the read-outs'
    QColor StartColour = TonesColour;
    QColor EndColour = TonesColour;

signals:
    void Changed();

private:
    void ShowHookLength();
    // Reports MarkersEdited when a point differs from `before`.
    void Edited(const TMarkerModel& before);
    void ShowError(const QString& text);
    // Distance of a point (ms from the start) from the end of the file, as shown.
    QString TimeBeforeEnd(int64_t pointMs) const;

    TAuditionHost Host;
    TAuditionController& Audition;
};
