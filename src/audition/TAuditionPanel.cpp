#include "TAuditionPanel.h"

#include "TAudioLibs.h"

#include "ControlMarks.h"
#include "TContrastText.h"
#include "TReadout.h"
#include "TTrackBar.h"
#include "TUpDown.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The window's marks for its enabling rules: an ID3v1 control (transport, track bar) stays
// enabled for an MPEG file without ID3v2; a never-disabled control (arrows, time displays)
// is left alone.
const char* const Id3v1Mark = ControlMarks::Id3v1Field;
const char* const NeverDisabledMark = ControlMarks::NeverDisabled;
constexpr int MarkerEditLength = 32;

void SetBase(QLineEdit* edit, const QColor& colour) {
    if (edit->palette().color(QPalette::Base) == colour)
        return;
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, colour);
    edit->setPalette(palette);
    TContrastText::Apply(edit, QPalette::Base, QPalette::Text);
    edit->repaint(); // a highlight shows while the thumb passes, not a frame later
}

void SetText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

} // namespace

TAuditionPanel::TAuditionPanel(QWidget* container, const TAuditionHost& host)
    : QObject(container), Controller(host), Editor(host, Controller), Markers(host.Markers),
      CurrentFile(host.CurrentFile) {
    Loader.SetCache(host.CachedAnalysis, host.StoreAnalysis);
    BuildControls(container);
    BuildActions(container->window());
    Connect();
    Editor.ShowCurrentMode();
    Refresh();
}

void TAuditionPanel::BuildControls(QWidget* c) {
    const auto transportButton = [c](const char* name, QStyle::StandardPixmap icon,
                                     const char* hint) {
        auto* button = new QPushButton(c);
        button->setObjectName(QLatin1String(name));
        button->setIcon(c->style()->standardIcon(icon));
        button->setToolTip(QLatin1String(hint));
        button->setFixedWidth(30);
        button->setFocusPolicy(Qt::TabFocus);
        button->setProperty(Id3v1Mark, true);
        return button;
    };
    btnPlay = transportButton("btnPlay", QStyle::SP_MediaPlay, "Play");
    btnStop = transportButton("btnStop", QStyle::SP_MediaStop, "Stop");
    btnPause = transportButton("btnPause", QStyle::SP_MediaPause, "Pause");

    Waveform = new TWaveformView(Markers, c);
    Waveform->setProperty(Id3v1Mark, true);
    Waveform->SetDetailSource(
        [this](uint64_t first, size_t frames) { return DecodeStretch(first, frames); });
    TrackBar = new TTrackBar(c);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setProperty(Id3v1Mark, true);

    const auto caption = [c](const QString& text) {
        auto* label = new QLabel(text, c);
        label->setAlignment(Qt::AlignCenter);
        label->setProperty(Id3v1Mark, true); // captions of displays that stay enabled
        return label;
    };
    const auto readout = [c](const char* name) {
        auto* display = new TReadout(c);
        display->setObjectName(QLatin1String(name));
        display->setProperty(NeverDisabledMark, true);
        return display;
    };
    lblFromStart = caption(QStringLiteral("From start"));
    lblLength = caption(QStringLiteral("Length"));
    lblFromEnd = caption(QStringLiteral("From end"));
    txtFromStart = readout("txtFromStart");
    txtLength = readout("txtLength");
    txtFromEnd = readout("txtFromEnd");

    const auto markerEdit = [c](const char* name) {
        auto* edit = new QLineEdit(c);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setMaxLength(MarkerEditLength);
        edit->setAlignment(Qt::AlignCenter);
        // Not an ID3v1 field: such a file cannot store a marker, so for it the edits are
        // disabled, and with them the arrows, which act only on an enabled edit.
        // Room for the longest usual text, one with hours.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0")) +
                              14);
        return edit;
    };
    const auto arrows = [c](const char* name) {
        auto* upDown = new TUpDown(c);
        upDown->setObjectName(QLatin1String(name));
        upDown->setProperty(NeverDisabledMark, true);
        return upDown;
    };
    const auto setButton = [c](const char* name, const QString& hint) {
        auto* button = new QPushButton(QStringLiteral("Set"), c);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(hint);
        button->setMinimumWidth(36);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    };
    edtStart = markerEdit("edtStart");
    edtEnd = markerEdit("edtEnd");
    lblStart = new QLabel(c);
    lblEnd = new QLabel(c);
    lblStart->setBuddy(edtStart);
    lblEnd->setBuddy(edtEnd);
    udStart = arrows("udStart");
    udEnd = arrows("udEnd");
    btnSetStart = setButton("btnSetStart", QStringLiteral("Set Start"));
    btnSetEnd = setButton("btnSetEnd", QStringLiteral("Set End"));

    const auto modeLabel = [c](const char* name, const QString& text, const QColor& colour,
                               const QString& hint) {
        auto* label = new QLabel(text, c);
        label->setObjectName(QLatin1String(name));
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, colour);
        // Disabled, the usual grey text cannot be read on the mode colour.
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x50, 0x50, 0x50));
        label->setPalette(palette);
        TContrastText::Apply(label, QPalette::Window, QPalette::WindowText);
        label->setContentsMargins(4, 1, 4, 1);
        label->setToolTip(hint);
        label->setCursor(Qt::PointingHandCursor);
        return label;
    };
    rbtnTones = new QRadioButton(c);
    rbtnHook = new QRadioButton(c);
    rbtnTones->setObjectName(QStringLiteral("rbtnTones"));
    rbtnHook->setObjectName(QStringLiteral("rbtnHook"));
    rbtnTones->setToolTip(QStringLiteral("Tones (Ctrl+Alt+T)"));
    rbtnHook->setToolTip(QStringLiteral("Hook (Ctrl+Alt+H)"));
    lblTones = modeLabel("lblTones", QStringLiteral("Tones"), TMarkerEditor::TonesColour,
                         rbtnTones->toolTip());
    lblHook = modeLabel("lblHook", QStringLiteral("Hook"), TMarkerEditor::HookColour,
                        rbtnHook->toolTip());
    lblHookLen = new QLabel(QStringLiteral("Hook Length"), c);
    txtHookLen = readout("txtHookLen");

    // Layout: transport and track bar; read-outs; marker edits; mode switch.
    auto* layout = new QVBoxLayout(c);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    layout->addWidget(Waveform);
    auto* transport = new QHBoxLayout;
    transport->addWidget(btnPlay);
    transport->addWidget(btnStop);
    transport->addWidget(btnPause);
    transport->addWidget(TrackBar, 1);
    layout->addLayout(transport);

    auto* readouts = new QGridLayout;
    readouts->setVerticalSpacing(0);
    readouts->addWidget(lblFromStart, 0, 0);
    readouts->addWidget(lblLength, 0, 1);
    readouts->addWidget(lblFromEnd, 0, 2);
    readouts->addWidget(txtFromStart, 1, 0);
    readouts->addWidget(txtLength, 1, 1);
    readouts->addWidget(txtFromEnd, 1, 2);
    layout->addLayout(readouts);

    auto* markers = new QGridLayout;
    markers->setVerticalSpacing(0);
    markers->setHorizontalSpacing(2);
    markers->addWidget(lblStart, 0, 0, 1, 3);
    markers->addWidget(lblEnd, 0, 4, 1, 3);
    markers->addWidget(edtStart, 1, 0);
    markers->addWidget(udStart, 1, 1);
    markers->addWidget(btnSetStart, 1, 2);
    markers->addWidget(edtEnd, 1, 4);
    markers->addWidget(udEnd, 1, 5);
    markers->addWidget(btnSetEnd, 1, 6);
    markers->setColumnMinimumWidth(3, 8);
    markers->setColumnStretch(0, 1);
    markers->setColumnStretch(4, 1);
    layout->addLayout(markers);

    auto* modes = new QHBoxLayout;
    modes->setSpacing(2);
    modes->addWidget(rbtnTones);
    modes->addWidget(lblTones);
    modes->addSpacing(8);
    modes->addWidget(rbtnHook);
    modes->addWidget(lblHook);
    modes->addStretch();
    modes->addWidget(lblHookLen);
    modes->addWidget(txtHookLen);
    txtHookLen->setMinimumWidth(64);
    layout->addLayout(modes);
    layout->addStretch();

    lblTones->installEventFilter(this);
    lblHook->installEventFilter(this);

    const QList<QWidget*> order = TabOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TAuditionPanel::BuildActions(QWidget* scope) {
    const auto action = [this, scope](const char* name, const QKeySequence& key,
                                      const QString& hint) {
        auto* a = new QAction(hint, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setToolTip(hint);
        scope->addAction(a);
        return a;
    };
    ActionPlay = action("ActionPlay", QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("Play"));
    ActionStop = action("ActionStop", QKeySequence(Qt::CTRL | Qt::Key_T), QStringLiteral("Stop"));
    ActionPause =
        action("ActionPause", QKeySequence(Qt::CTRL | Qt::Key_U), QStringLiteral("Pause"));
    ActionSetStart =
        action("ActionSetStart", QKeySequence(Qt::CTRL | Qt::Key_S), QStringLiteral("Set Start"));
    ActionSetEnd =
        action("ActionSetEnd", QKeySequence(Qt::CTRL | Qt::Key_E), QStringLiteral("Set End"));
    ActionTones = action("ActionTones", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T),
                         QStringLiteral("Tones (Ctrl+Alt+T)"));
    ActionHook = action("ActionHook", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H),
                        QStringLiteral("Hook (Ctrl+Alt+H)"));
}

void TAuditionPanel::Connect() {
    // An action runs what its control runs, and only while that control is enabled.
    const auto bind = [this](QAction* action, QAbstractButton* button, auto handler) {
        connect(action, &QAction::triggered, this, [button, handler] {
            if (button->isEnabled())
                handler();
        });
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    bind(ActionPlay, btnPlay, [this] { Controller.btnPlay_OnClick(); });
    bind(ActionStop, btnStop, [this] { Controller.btnStop_OnClick(); });
    bind(ActionPause, btnPause, [this] { Controller.btnPause_OnClick(); });
    bind(ActionSetStart, btnSetStart, [this] { Editor.btnSetStart_OnClick(ShiftDown()); });
    bind(ActionSetEnd, btnSetEnd, [this] { Editor.btnSetEnd_OnClick(ShiftDown()); });
    bind(ActionTones, rbtnTones, [this] { Editor.rbtnTones_OnClick(); });
    bind(ActionHook, rbtnHook, [this] { Editor.rbtnHook_OnClick(); });

    connect(udStart, &TUpDown::Changing, this, [this](TUpDown::TDirection direction) {
        if (edtStart->isEnabled())
            Editor.udStart_OnChangingEx(direction == TUpDown::TDirection::Up);
    });
    connect(udEnd, &TUpDown::Changing, this, [this](TUpDown::TDirection direction) {
        if (edtEnd->isEnabled())
            Editor.udEnd_OnChangingEx(direction == TUpDown::TDirection::Up);
    });

    connect(TrackBar, &QSlider::valueChanged, this,
            [this](int value) { Controller.SetPosition(value); });
    connect(TrackBar, &TTrackBar::MouseDown, this, [this] { Controller.TrackBar_OnMouseDown(); });
    connect(TrackBar, &TTrackBar::MouseUp, this, [this] { Controller.TrackBar_OnMouseUp(); });

    connect(&Controller, &TAuditionController::Changed, this, &TAuditionPanel::Refresh);
    connect(&Controller, &TAuditionController::TrackChanged, this, [this] {
        Waveform->SetPositionMs(uint32_t(Controller.Track().Position) * TTrackBarState::MsPerStep);
    });
    connect(Waveform, &TWaveformView::PositionPicked, this,
            [this](uint32_t ms) { Controller.SetPosition(int(ms / TTrackBarState::MsPerStep)); });
    connect(Waveform, &TWaveformView::ProposalPicked, this, &TAuditionPanel::UseProposal);
    connect(&Loader, &TAnalysisLoader::Progress, this, [this](int percent) {
        if (!Waveform->HasAnalysis())
            Waveform->SetAnalysis(std::nullopt, QStringLiteral("Measuring... %1%").arg(percent));
    });
    connect(&Loader, &TAnalysisLoader::Loaded, this,
            [this](const QByteArray& path, std::shared_ptr<const TAudioAnalysis> analysis,
                   const QString& error) {
                if (CurrentFile && path != CurrentFile())
                    return;
                if (analysis)
                    Waveform->SetAnalysis(*analysis);
                else
                    Waveform->SetAnalysis(std::nullopt, error);
            });
    connect(&Editor, &TMarkerEditor::Changed, this, &TAuditionPanel::Refresh);
}

void TAuditionPanel::ShowLength() {
    Controller.ShowLength();
    Waveform->SetAnalysis(std::nullopt, QStringLiteral("Measuring..."));
    const QByteArray path = CurrentFile ? CurrentFile() : QByteArray();
    if (!path.isEmpty())
        Loader.Load(path);
}

void TAuditionPanel::ClearLength() {
    Loader.Cancel();
    Controller.ClearLength();
    Waveform->SetAnalysis(std::nullopt);
}

void TAuditionPanel::CloseAudition() {
    Loader.Cancel();
    Controller.ReleaseAll();
}

void TAuditionPanel::UseProposal(TWaveformView::TProposal proposal, uint32_t ms) {
    Controller.SetPosition(int((ms + TTrackBarState::MsPerStep / 2) / TTrackBarState::MsPerStep));
    if (proposal != TWaveformView::TProposal::Segue)
        return;
    if (!Editor.ToneMode())
        Editor.rbtnTones_OnClick();
    Editor.btnSetEnd_OnClick(false);
}

std::vector<int16_t> TAuditionPanel::DecodeStretch(uint64_t firstFrame, size_t frames) const {
    const TAudioLibs& libs = AudioLibs();
    std::vector<int16_t> samples;
    const QByteArray path = CurrentFile ? CurrentFile() : QByteArray();
    if (path.isEmpty() || !libs.SN_DecodeOpen || !libs.SN_DecodeSeek || !libs.SN_DecodeRead ||
        !libs.SN_DecodeClose)
        return samples;
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint64_t total = 0;
    const uint32_t handle = libs.SN_DecodeOpen(path.constData(), &rate, &channels, &total);
    if (handle == 0)
        return samples;
    if (channels > 0 && libs.SN_DecodeSeek(handle, firstFrame) == 0) {
        samples.resize(frames * channels);
        size_t got = 0;
        while (got < frames) {
            const uint32_t n = libs.SN_DecodeRead(handle, samples.data() + got * channels,
                                                  static_cast<uint32_t>(frames - got));
            if (n == 0)
                break;
            got += n;
        }
        samples.resize(got * channels);
    }
    libs.SN_DecodeClose(handle);
    return samples;
}

void TAuditionPanel::Refresh() {
    if (Controller.PlayEnabled() != ShownPlayEnabled) {
        ShownPlayEnabled = Controller.PlayEnabled();
        btnPlay->setEnabled(ShownPlayEnabled);
        ActionPlay->setEnabled(ShownPlayEnabled);
    }
    if (Controller.PauseEnabled() != ShownPauseEnabled) {
        ShownPauseEnabled = Controller.PauseEnabled();
        btnPause->setEnabled(ShownPauseEnabled);
        ActionPause->setEnabled(ShownPauseEnabled);
    }

    const TTrackBarState& track = Controller.Track();
    {
        const QSignalBlocker blocker(TrackBar);
        if (TrackBar->maximum() != track.Maximum)
            TrackBar->setRange(0, track.Maximum);
        TrackBar->setTickInterval(track.TickFrequency);
        TrackBar->setSingleStep(track.LineSize);
        TrackBar->setPageStep(track.PageSize);
        if (TrackBar->value() != track.Position)
            TrackBar->setValue(track.Position);
        TrackBar->SetSelection(track.SelStart, track.SelEnd);
    }

    SetText(txtFromStart, Controller.FromStartText);
    SetText(txtLength, Controller.LengthText);
    SetText(txtFromEnd, Controller.FromEndText);
    for (TReadout* display : {txtFromStart, txtLength, txtFromEnd})
        display->SetColour(Editor.ModeColour);

    SetText(lblStart, Editor.StartCaption);
    SetText(lblEnd, Editor.EndCaption);
    SetText(edtStart, Editor.StartText);
    SetText(edtEnd, Editor.EndText);
    SetBase(edtStart, Editor.StartColour);
    SetBase(edtEnd, Editor.EndColour);
    SetText(txtHookLen, Editor.HookLengthText);
    txtHookLen->SetColour(TMarkerEditor::HookColour);
    lblHookLen->setVisible(Editor.HookLengthVisible);
    txtHookLen->setVisible(Editor.HookLengthVisible);

    rbtnTones->setChecked(Editor.ToneMode());
    rbtnHook->setChecked(!Editor.ToneMode());
}

bool TAuditionPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched == lblTones || watched == lblHook))
        lblTonesHook_OnClick(static_cast<QLabel*>(watched));
    return QObject::eventFilter(watched, event);
}

void TAuditionPanel::lblTonesHook_OnClick(QLabel* label) {
    if (!label->isEnabled())
        return;
    // Selecting the radio button runs its handler, as a click on it would.
    QRadioButton* button = label == lblTones ? rbtnTones : rbtnHook;
    button->click();
}

QList<QWidget*> TAuditionPanel::TabOrder() const {
    // Transport, then each marker with its Set button, then the mode switch.
    return {btnPlay,     btnStop, btnPause,  TrackBar,  edtStart,
            btnSetStart, edtEnd,  btnSetEnd, rbtnTones, rbtnHook};
}

bool TAuditionPanel::ShiftDown() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}
