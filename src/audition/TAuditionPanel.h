#pragma once

#include "TAnalysisLoader.h"
#include "TAuditionController.h"
#include "TAuditionHost.h"
#include "TMarkerEditor.h"
#include "TWaveformView.h"

#include <QObject>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TReadout;
class TTrackBar;
class TUpDown;

// The transport and marker controls of the editor's first page. The controls are placed
// directly on the host container (the window enables and empties a container's direct
// children as one), laid out by the panel; the rules live in TAuditionController and
// TMarkerEditor, and the panel shows their state and forwards the user's input.
//
// The actions carry window-wide shortcuts; each runs only while its button is enabled, so
// a shortcut cannot do what the disabled control would not.
class TAuditionPanel : public QObject {
    Q_OBJECT

public:
    TAuditionPanel(QWidget* container, const TAuditionHost& host);

    TAuditionController& Audition() { return Controller; }
    TMarkerEditor& MarkerEditor() { return Editor; }

    // --- what the window calls
    void StopAudition() { Controller.btnStop_OnClick(); }
    // A file was loaded: read-outs for its length, then the track bar's scale; its
    // waveform is analysed (or taken from the cache) in the background.
    void ShowLength();
    void ResetTrackBar() { Controller.ResetTrackBar(); }
    void ClearLength();
    void ShowMarkers() {
        Editor.ShowCurrentMode();
        Waveform->update();
    }
    void CloseAudition();
    TAnalysisLoader& Analysis() { return Loader; }
    // The panel's controls in their visual order, the order Tab follows.
    QList<QWidget*> TabOrder() const;

    // --- controls
    QPushButton* btnPlay = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPause = nullptr;
    TTrackBar* TrackBar = nullptr;
    QLabel* lblFromStart = nullptr;
    QLabel* lblLength = nullptr;
    QLabel* lblFromEnd = nullptr;
    TReadout* txtFromStart = nullptr;
    TReadout* txtLength = nullptr;
    TReadout* txtFromEnd = nullptr;
    QLabel* lblStart = nullptr;
    QLineEdit* edtStart = nullptr;
    TUpDown* udStart = nullptr;
    QLabel* lblEnd = nullptr;
    QLineEdit* edtEnd = nullptr;
    TUpDown* udEnd = nullptr;
    QPushButton* btnSetStart = nullptr;
    QPushButton* btnSetEnd = nullptr;
    QRadioButton* rbtnTones = nullptr;
    QLabel* lblTones = nullptr;
    QRadioButton* rbtnHook = nullptr;
    QLabel* lblHook = nullptr;
    QLabel* lblHookLen = nullptr;
    TReadout* txtHookLen = nullptr;
    TWaveformView* Waveform = nullptr;

    QAction* ActionPlay = nullptr;
    QAction* ActionStop = nullptr;
    QAction* ActionPause = nullptr;
    QAction* ActionSetStart = nullptr;
    QAction* ActionSetEnd = nullptr;
    QAction* ActionTones = nullptr;
    QAction* ActionHook = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls(QWidget* container);
    void BuildActions(QWidget* scope);
    void Connect();
    // Shows the state of the controller and the marker editor.
    void Refresh();
    void lblTonesHook_OnClick(QLabel* label);
    static bool ShiftDown();
    // A suggested point was clicked: the segue sets the segue marker as Set End does (in
    // tones mode); the sound's start and end move the play position there.
    void UseProposal(TWaveformView::TProposal proposal, uint32_t ms);
    // Decodes a stretch of the auditioned file for the waveform's fine zoom.
    std::vector<int16_t> DecodeStretch(uint64_t firstFrame, size_t frames) const;

    TAuditionController Controller;
    TMarkerEditor Editor;
    const TMarkerModel& Markers;
    std::function<QByteArray()> CurrentFile;
    TAnalysisLoader Loader;
    // Button states last set by the transport; the window may disable the buttons in
    // between, which a later refresh must not undo.
    bool ShownPlayEnabled = true;
    bool ShownPauseEnabled = true;
};
