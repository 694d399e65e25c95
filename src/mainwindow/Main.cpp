#include "Main.h"

#include "FormatHexDump.h"
#include "Header.h"
#include "PlaceWindow.h"
#include "TAboutPage.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TBroadcastChoice.h"
#include "TBroadcastPage.h"
#include "TBrowserPanel.h"
#include "TLoudnessColumns.h"
#include "TLoudnessFiguresOf.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TSettingsLocation.h"
#include "TTagCache.h"
#include "TagCatalogue.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int BottomBarHeight = 32;
constexpr int MinimumWidth = 330;
constexpr int MinimumHeight = 500;
const QSize DesignedClientSize(700, 473);
const QPoint DesignedPosition(219, 211);

// Only the device switch is read from the arguments as text; it is plain ASCII.
QStringList ArgumentTexts(const QList<QByteArray>& arguments) {
    QStringList texts;
    for (const QByteArray& argument : arguments)
        texts.append(QString::fromLocal8Bit(argument));
    return texts;
}

} // namespace

TFrmMain::TFrmMain(const QList<QByteArray>& arguments, QWidget* parent, TStartFolderOpening opening)
    : QMainWindow(parent) {
    // Dates go through the fixed text forms ("M/d/yyyy" shown, "yyyy/mm/dd" stored)
    // whatever the user's locale; the shared state starts at its member initialisers.
    setWindowTitle(ApplicationTitle());
    BuildLayout();
    const TFilePath file = arguments.isEmpty() ? TFilePath() : TFilePath(arguments.first());
    BrowserMode = file.IsEmpty();

    Settings = std::make_unique<TProfileFile>(TSettingsLocation::SettingsFilePath());
    Layout = TMainSettings::Read(*Settings, BrowserMode);

    if (AudioLibs().SN_GetNumOutputDevices != nullptr) {
        TRegistryStore registry;
        DeviceIndex = PageControl->AboutPage->FillAboutPage(registry, ArgumentTexts(arguments));
    }
    connect(PageControl->AboutPage, &TAboutPage::DeviceIndexChanged, this,
            [this](int index) { DeviceIndex = index; });
    Broadcast = TBroadcastSettings::Read(*Settings);
    TBroadcastFields::Apply(Broadcast.Mode, Broadcast.Profile);
    PageControl->AboutPage->BroadcastChoice->SetChoice(Broadcast.Mode, Broadcast.Profile);
    connect(PageControl->AboutPage->BroadcastChoice, &TBroadcastChoice::Changed, this,
            [this](int mode, int profile) {
                Broadcast = {mode, profile};
                Broadcast.Write(*Settings);
                TBroadcastFields::Apply(mode, profile);
            });
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == TEditorPages::piBroadcast)
            PageControl->BroadcastPage->ShowStep(EditorValues());
    });

    PageControl->ReadSettings(Layout);
    ToneMode = Layout.ToneMode;

    ClearEditor(); // also stops audition and shows the markers of the stored mode
    Document.CurrentFile = file;

    if (BrowserMode) {
        btnCancel->setText(QStringLiteral("Done"));
        SetSaveEnabled(false);
        setWindowFlag(Qt::WindowMaximizeButtonHint, true);
        QSize size = DesignedClientSize;
        if (Layout.Height != TMainSettings::Unset)
            size.setHeight(Layout.Height);
        if (Layout.Width != TMainSettings::Unset)
            size.setWidth(Layout.Width);
        resize(size);
    } else {
        pnlBrowser->hide();
        setWindowFlag(Qt::WindowMaximizeButtonHint, false);
        const qreal scale = (screen() ? screen()->logicalDotsPerInchX() : 96.0) / 96.0;
        setFixedSize(int(MinimumWidth * scale),
                     std::max(DesignedClientSize.height(), MinimumHeight));
    }
    RestorePosition();
    if (!BrowserMode) {
        LoadCurrentFile();
    } else {
        CreateBrowser();
        if (opening == TStartFolderOpening::Now)
            OpenStartFolder();
        else
            QTimer::singleShot(0, this, &TFrmMain::OpenStartFolder);
    }

    // In single-file mode Enter saves and Esc cancels (keyPressEvent).
    raise();
    activateWindow();
}

TFrmMain::~TFrmMain() {
    WriteSettings();
}

void TFrmMain::BuildLayout() {
    setMinimumSize(MinimumWidth, MinimumHeight);
    auto* central = new QWidget(this);
    setCentralWidget(central);

    pnlBrowser = new QWidget(central);
    pnlBrowser->setObjectName(QStringLiteral("pnlBrowser"));
    PageControl = new TEditorPages(central);

    auto* bottomBar = new QWidget(central);
    bottomBar->setFixedHeight(BottomBarHeight);
    btnAddId3v2 = new QPushButton(QStringLiteral("Add ID3v2"), bottomBar);
    btnOk = new QPushButton(QStringLiteral("Save"), bottomBar);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), bottomBar);
    btnAddId3v2->setObjectName(QStringLiteral("btnAddId3v2"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnAddId3v2->hide();
    auto* bottom = new QHBoxLayout(bottomBar);
    bottom->setContentsMargins(4, 2, 4, 2);
    bottom->addStretch();
    bottom->addWidget(btnAddId3v2);
    bottom->addWidget(btnOk);
    bottom->addWidget(btnCancel);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(pnlBrowser, 1);
    top->addWidget(PageControl, 0);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addWidget(bottomBar);
    statusBar()->setSizeGripEnabled(false);

    connect(btnOk, &QPushButton::clicked, this, &TFrmMain::btnOk_OnClick);
    connect(btnCancel, &QPushButton::clicked, this, &TFrmMain::btnCancel_OnClick);
    connect(btnAddId3v2, &QPushButton::clicked, this, &TFrmMain::btnAddId3v2_OnClick);
    connect(PageControl, &TEditorPages::Changed, this, &TFrmMain::edt_OnChange);

    // Audition and markers on the transport panel; they share the window's state.
    AuditionPanel = new TAuditionPanel(
        PageControl->pnlTransport,
        TAuditionHost{
            Markers, PlayHandle, ToneMode, [this] { return Document.CurrentFile.Bytes(); },
            [this] { return DeviceIndex; }, [this] { return PageControl->UseCodec(); },
            [this] { edt_OnChange(); },
            [this](const QString& text) { Messages().Error(text, this); },
            [](const QByteArray& path) -> std::optional<std::string> {
                const auto cache = TTagCache::Shared();
                const auto bytes =
                    cache ? cache->AnalysisOfPath(path, TAudioAnalysis::CacheKind) : std::nullopt;
                return bytes ? std::optional<std::string>(bytes->toStdString()) : std::nullopt;
            },
            [](const QByteArray& path, const TAudioAnalysis& analysis) {
                const auto cache = TTagCache::Shared();
                if (!cache)
                    return;
                const TFileStamp stamp = TTagCache::StampOf(path);
                cache->PutAnalysisOfPath(path, TAudioAnalysis::CacheKind, stamp,
                                         QByteArray::fromStdString(analysis.Encode()));
                // The list's loudness columns show what an audition measured, too.
                cache->PutAnalysisOfPath(path, TLoudnessColumns::CacheKind, stamp,
                                         LoudnessFiguresOf(analysis.Loudness).Encode());
            }});

    // Tab runs in the visual order: the first page's fields, its transport and markers,
    // then the other pages, and the bottom buttons last.
    QWidget* previous = PageControl->chkNoFade;
    for (QWidget* control : AuditionPanel->TabOrder()) {
        setTabOrder(previous, control);
        previous = control;
    }
}

void TFrmMain::RestorePosition() {
    QPoint position = DesignedPosition;
    if (Layout.Left != TMainSettings::Unset)
        position.setX(Layout.Left);
    if (Layout.Top != TMainSettings::Unset)
        position.setY(Layout.Top);
    // A position saved on a screen that is gone must not leave the window out of reach.
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.append(s->availableGeometry());
    move(KeepTitleBarOnScreen(position, size(), screens));
}

void TFrmMain::WriteSettings() {
    if (!Settings)
        return;
    TMainSettings values = Layout;
    PageControl->WriteSettings(values);
    values.ToneMode = ToneMode;
    values.Left = pos().x();
    values.Top = pos().y();
    if (BrowserMode) {
        values.Height = height();
        values.Width = width();
        if (Browser) {
            const TBrowserPanel::TStoredValues stored = Browser->StoredValues();
            if (!stored.Folder.isEmpty())
                values.Folder = stored.Folder;
            values.ColumnWidths = stored.ColumnWidths;
        }
        // "Columns" is written by the column selection when the user changes it.
        values.Columns.reset();
    }
    // One batch: the favorites go into the same replace of the file as the window's values.
    Settings->BeginUpdate();
    values.Write(*Settings, BrowserMode);
    if (BrowserMode && Browser)
        Browser->WriteSettings(*Settings);
    Settings->EndUpdate();
    Settings.reset();
}

bool TFrmMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        Form_OnActivate();
    return QMainWindow::event(event);
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    // The close box never asks; unsaved changes are dropped.
    AuditionPanel->CloseAudition(); // every playback handle is released
    event->accept();
}

void TFrmMain::btnCancel_OnClick() {
    if (PromptSaveChanges())
        close();
}

void TFrmMain::keyPressEvent(QKeyEvent* event) {
    // Single-file mode: "Save" is the default button and "Cancel" the cancel button.
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!BrowserMode && mods == Qt::NoModifier) {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            btnOk->isEnabled()) {
            btnOk->click();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            btnCancel->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TFrmMain::keyReleaseEvent(QKeyEvent* event) {
    const auto mods = event->modifiers();
    if (event->key() == Qt::Key_D && (mods & Qt::ControlModifier) && (mods & Qt::AltModifier)) {
        ShowHeaderDump();
        event->accept();
        return;
    }
    QMainWindow::keyReleaseEvent(event);
}

QString TFrmMain::HeaderDumpText() const {
    const std::optional<QByteArray> head = Document.Head();
    return head ? FormatHexDump(*head) : QString();
}

void TFrmMain::ShowHeaderDump() {
    const QString text = HeaderDumpText();
    if (text.isEmpty())
        return;
    TFrmHeader header(this);
    header.SetText(text);
    header.exec();
}

void TFrmMain::StopAudition() {
    AuditionPanel->StopAudition();
}

void TFrmMain::ShowMarkers() {
    AuditionPanel->ShowMarkers();
}

void TFrmMain::SetSaveEnabled(bool enabled) {
    btnOk->setEnabled(enabled);
}

void TFrmMain::ClearEditor() {
    StopAudition();
    Document.Clear();
    PageControl->ResetSelections();
    Markers.Reset();
    Markers.LengthMs = 0;
    AuditionPanel->ResetTrackBar();
    AuditionPanel->ClearLength(); // a previous file's length must not stay on show
    ShowMarkers();
    btnAddId3v2->hide();
    for (QWidget* container : PageControl->EditorContainers())
        EnablePageControls(container, false);
    SetSaveEnabled(false);
    setWindowTitle(ApplicationTitle());
}

TEditorValues TFrmMain::EditorValues() const {
    TEditorValues values = PageControl->Values();
    values.Markers = Markers;
    return values;
}

void TFrmMain::LoadCurrentFile() {
    StopAudition();

    if (Document.MakeWritable())
        Messages().Information(QStringLiteral("Removed read-only attribute"), this);

    PageControl->BroadcastPage->Clear();
    const TEditorDocument::TLoaded loaded =
        Document.Load([this] { PageControl->BroadcastPage->ReadStored(); });
    if (!loaded.Opened) {
        Messages().Error(QStringLiteral("Invalid Audio File"), this);
        return;
    }
    Document.Loading = true;
    for (QWidget* container : PageControl->EditorContainers())
        EnablePageControls(container, true);
    if (!loaded.Error.isEmpty()) {
        Messages().Error(loaded.Error, this);
        Document.Loading = false;
        return;
    }
    PageControl->ShowValues(loaded.Values);
    PageControl->SetLocation(Document.CurrentFile.Display());
    PageControl->SetFormat(loaded.Format);
    Markers = loaded.Values.Markers;
    Markers.LengthMs = loaded.LengthMs;
    AuditionPanel->ShowLength();
    AuditionPanel->ResetTrackBar();

    PageControl->RestrictToId3v1(loaded.Id3v1Only);
    btnAddId3v2->setVisible(loaded.Id3v1Only);
    // After the enabling, which gives edits the window colour: the marker edits take their
    // mode colour here.
    ShowMarkers();
    PageControl->BroadcastPage->ShowStep(EditorValues());

    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") +
                   Document.CurrentFile.FileNameDisplay());
    Document.Loading = false;
}

void TFrmMain::btnAddId3v2_OnClick() {
    if (!Document.AddId3v2()) {
        Messages().Error(QStringLiteral("Cannot add ID3v2 tag. The file may be in use."), this);
        return;
    }
    LoadCurrentFile();
}

void TFrmMain::edt_OnChange() {
    if (Document.NoteEdit())
        SetSaveEnabled(true);
}

bool TFrmMain::Save() {
    const TEditorValues values = EditorValues();
    const auto notices = [this](bool on) {
        if (BrowserMode)
            emit ChangeNotices(on);
    };
    // A save of the tags leaves the audio as it was measured: its analyses move with it.
    const TFileStamp before = TTagCache::StampOf(Document.CurrentFile.Bytes());
    const auto stored = [this, &values, &before] {
        if (const auto cache = TTagCache::Shared())
            cache->RestampAnalyses(Document.CurrentFile.Bytes(), before,
                                   TTagCache::StampOf(Document.CurrentFile.Bytes()));
        const QString text = QStringLiteral("Saved: ") + Document.CurrentFile.FileNameDisplay();
        // Under the list, where the toolbar's hints (in the window's bar) cannot cover it.
        if (Browser)
            Browser->ShowStatus(text);
        else
            statusBar()->showMessage(text);
        ShowBroadcastAfterSave(values);
        emit FileSaved(Document.CurrentFile);
    };
    const TEditorDocument::TSaved result = Document.Save(values, notices, stored);
    if (!result.Saved) {
        if (result.Invalid)
            PageControl->ShowValidationFailure(*result.Invalid);
        Messages().Error(result.Message, this);
        return false;
    }
    if (!BrowserMode)
        close();
    return true;
}

void TFrmMain::ShowBroadcastAfterSave(const TEditorValues& values) {
    const QString notice =
        PageControl->BroadcastPage->ShortenedNotice(Document.CurrentFile.Display());
    if (!notice.isEmpty())
        Messages().Information(notice, this);
    Document.WhileOpen([this] { PageControl->BroadcastPage->ReadStored(); });
    PageControl->BroadcastPage->ShowStep(values);
}

bool TFrmMain::PromptSaveChanges() {
    if (!Document.HasUnsavedChanges())
        return true;
    const QPoint topLeft = mapToGlobal(QPoint(0, 0)) + QPoint(width() / 2 - 150, height() / 2 - 75);
    const auto answer = Messages().Confirm(
        QStringLiteral("The information for ") + Document.CurrentFile.FileNameDisplay() +
            QStringLiteral(" changed.\nSave it?"),
        TMessages::mbYes | TMessages::mbNo, TMessages::mbYes, this, topLeft);
    Document.Modified = false;
    if (answer == TMessages::mbYes && !Save()) {
        // The save was wanted and did not happen: the edits stay, still unsaved, and the
        // failing field keeps the focus the save gave it.
        Document.Modified = true;
        return false;
    }
    QCoreApplication::processEvents();
    btnOk->setFocus();
    return true;
}

void TFrmMain::CreateBrowser() {
    auto* layout = new QVBoxLayout(pnlBrowser);
    layout->setContentsMargins(0, 0, 2, 0);
    Browser = new TBrowserPanel(pnlBrowser);
    layout->addWidget(Browser);
    Browser->SetEditor(this);
    // The save writes into the shown folder: its own change is not a notice, and the row of
    // the saved file is read again.
    connect(this, &TFrmMain::ChangeNotices, Browser, &TBrowserPanel::SetChangeNotices);
    // By path: a save through the "Save it?" prompt happens once the selection has moved on.
    connect(this, &TFrmMain::FileSaved, Browser,
            [this](const TFilePath& path) { Browser->RefreshEntry(path.Bytes()); });
    Browser->ReadSettings(*Settings);
}

void TFrmMain::OpenStartFolder() {
    Browser->OpenStartFolder(Layout.Folder.value_or(QString()));
}

void TFrmMain::Form_OnActivate() {
    if (BrowserMode && Browser)
        Browser->FocusList();
}

void TFrmMain::EditorFileRenamed(const QByteArray& path) {
    Document.CurrentFile = TFilePath(path);
    PageControl->SetLocation(Document.CurrentFile.Display());
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") +
                   Document.CurrentFile.FileNameDisplay());
}

void TFrmMain::EditorColumnWritten(int column) {
    if (!Document.Modified) {
        LoadCurrentFile();
        return;
    }
    // Only the written keys come in; the user's other edits stay, still to be saved.
    const TColumnInfo* info = TTagCatalogue::FindColumn(column);
    const std::optional<TEditorValues> values =
        info == nullptr ? std::nullopt : Document.ReadValues();
    if (!values)
        return;
    Document.Loading = true;
    for (const char* key : {info->Key, info->TimeKey})
        if (key != nullptr)
            PageControl->SetFieldText(QLatin1String(key), values->Field(QLatin1String(key)));
    Document.Loading = false;
}

void TFrmMain::EditorLoadFile(const QByteArray& path) {
    Document.CurrentFile = TFilePath(path);
    LoadCurrentFile();
}
