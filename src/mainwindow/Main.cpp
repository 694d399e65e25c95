#include "Main.h"

#include "FormatHexDump.h"
#include "Header.h"
#include "PlaceWindow.h"
#include "TAboutPage.h"
#include "TAudioFileRule.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TBroadcastChoice.h"
#include "TBroadcastPage.h"
#include "TBrowserNavigation.h"
#include "TBrowserPanel.h"
#include "TEditorValidation.h"
#include "TFavoritesMenu.h"
#include "TListSorter.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TSettingsLocation.h"
#include "TStartFolder.h"
#include "TTagFileSession.h"
#include "TXListView.h"
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

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <sys/stat.h>
#include <typeinfo>

namespace {

constexpr int BottomBarHeight = 32;
constexpr int MinimumWidth = 330;
constexpr int MinimumHeight = 500;
const QSize DesignedClientSize(700, 473);
const QPoint DesignedPosition(219, 211);

QString TypeName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : type.name());
    std::free(demangled);
    return name;
}

QString ErrorText(const char* prefix, const std::exception& error) {
    return QString::fromLatin1(prefix) + TypeName(typeid(error)) + QLatin1Char('-') +
           QString::fromLocal8Bit(error.what());
}

// The save's failure box, with the tagging library's reason on a line of its own when it
// gives one.
QString CannotSaveText(const QString& reason) {
    QString text = QStringLiteral("Cannot open file to save tags. Ensure the file is not open\n"
                                  "in another application.");
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    return text;
}

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
    for (const QString& category : Layout.Categories)
        PageControl->AddCategory(category);

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

    // The genre box is filled by the pages; an empty category list gets one entry.
    if (PageControl->Categories().isEmpty())
        PageControl->AddCategory(QStringLiteral("AUDIO"));

    PageControl->ShowPage(Layout.ActivePage);
    ToneMode = Layout.ToneMode;
    PageControl->chkUseCodec->setChecked(Layout.UseCodec);

    ClearEditor(); // also stops audition and shows the markers of the stored mode
    CurrentFile = file;

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
        TAuditionHost{Markers, PlayHandle, ToneMode, [this] { return CurrentFile.Bytes(); },
                      [this] { return DeviceIndex; },
                      [this] { return PageControl->chkUseCodec->isChecked(); },
                      [this] { edt_OnChange(); },
                      [this](const QString& text) { Messages().Error(text, this); }});

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
    PageControl->KeepTypedCategory();
    TMainSettings values = Layout;
    values.Categories = PageControl->Categories();
    values.ActivePage = PageControl->currentIndex();
    values.ToneMode = ToneMode;
    values.Left = pos().x();
    values.Top = pos().y();
    values.UseCodec = PageControl->chkUseCodec->isChecked();
    if (BrowserMode) {
        values.Height = height();
        values.Width = width();
        if (Browser) {
            const QString folder = Browser->Navigation().FolderSetting();
            if (!folder.isEmpty())
                values.Folder = folder;
            QList<int> widths;
            for (const TListColumn& column : Browser->ListView->Columns())
                widths.append(column.Width);
            values.ColumnWidths = widths;
        }
        // "Columns" is written by the column selection when the user changes it.
        values.Columns.reset();
    }
    // One batch: the favorites go into the same replace of the file as the window's values.
    Settings->BeginUpdate();
    values.Write(*Settings, BrowserMode);
    if (BrowserMode && Browser)
        Browser->Favorites->SaveFavorites(*Settings);
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
    if (CurrentFile.IsEmpty())
        return QString();
    std::FILE* file = std::fopen(CurrentFile.Data(), "rb");
    if (file == nullptr)
        return QString();
    QByteArray head(256, '\0');
    const std::size_t read = std::fread(head.data(), 1, std::size_t(head.size()), file);
    std::fclose(file);
    head.truncate(qsizetype(read));
    return FormatHexDump(head);
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
    CurrentFile.Clear();
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
    Modified = false;
}

TEditorValues TFrmMain::EditorValues() const {
    TEditorValues values = PageControl->Values();
    values.Markers = Markers;
    return values;
}

QString TFrmMain::FormatDescription(bool isMpeg) const {
    QByteArray a(128, '\0');
    QByteArray b(128, '\0');
    if (AudioLibs().SN_GetWaveFileFormat(CurrentFile.Data(), a.data(), 128, b.data(), 128) == 0)
        return QStringLiteral("Unknown");
    a[127] = '\0';
    b[127] = '\0';
    QString text = CurrentFile.Suffix().left(3).toUpper();
    if (isMpeg && AudioLibs().HasId3v2() != 0)
        text += QStringLiteral(" w/ ID3v2 ");
    return text + QStringLiteral(" File / ") + QString::fromUtf8(a.constData()) +
           QStringLiteral(" - ") + QString::fromUtf8(b.constData());
}

void TFrmMain::LoadCurrentFile() {
    StopAudition();

    // A read-only file is made writable so that it can be saved.
    struct stat status {};
    if (::stat(CurrentFile.Data(), &status) == 0 && (status.st_mode & S_IWUSR) == 0 &&
        ::chmod(CurrentFile.Data(), (status.st_mode & 07777) | S_IWUSR) == 0)
        Messages().Information(QStringLiteral("Removed read-only attribute"), this);

    PageControl->BroadcastPage->Clear();
    TTagFileSession session(CurrentFile);
    if (!session.Open()) {
        Messages().Error(QStringLiteral("Invalid Audio File"), this);
        return;
    }
    Loading = true;
    try {
        for (QWidget* container : PageControl->EditorContainers())
            EnablePageControls(container, true);

        const TEditorValues values = session.ReadValues();
        PageControl->BroadcastPage->ReadStored();
        const bool isMpeg = TAudioFileRule::IsMpegSuffix(CurrentFile.Suffix());
        PageControl->ShowValues(values);
        PageControl->SetLocation(CurrentFile.Display());
        PageControl->SetFormat(FormatDescription(isMpeg));
        const uint32_t keptLength = Markers.LengthMs;
        Markers = values.Markers;
        Markers.LengthMs = keptLength;
        session.Close(); // nothing was changed: the result says nothing

        Markers.LengthMs = AudioLibs().SN_PlayGetLengthMsFile(CurrentFile.Data());
        AuditionPanel->ShowLength();
        AuditionPanel->ResetTrackBar();

        btnAddId3v2->hide();
        const bool restricted = isMpeg && !session.HasId3v2();
        PageControl->RestrictToId3v1(restricted);
        btnAddId3v2->setVisible(restricted);
        // After the enabling, which gives edits the window colour: the marker edits take
        // their mode colour here.
        ShowMarkers();
        PageControl->BroadcastPage->ShowStep(EditorValues());

        setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + CurrentFile.FileNameDisplay());
    } catch (const std::exception& error) {
        session.Abandon();
        Messages().Error(ErrorText("Error reading tags: ", error), this);
    }
    Loading = false;
}

void TFrmMain::btnAddId3v2_OnClick() {
    if (AudioLibs().AddId3v2(CurrentFile.Data()) == -1) {
        Messages().Error(QStringLiteral("Cannot add ID3v2 tag. The file may be in use."), this);
        return;
    }
    LoadCurrentFile();
}

void TFrmMain::edt_OnChange() {
    if (Loading)
        return;
    SetSaveEnabled(true);
    Modified = true;
}

bool TFrmMain::Save() {
    TTagFileSession session(CurrentFile);
    if (!session.Open()) {
        Messages().Error(CannotSaveText(session.Reason()), this);
        return false;
    }
    if (BrowserMode)
        emit ChangeNotices(false);
    bool saved = false;
    try {
        const TEditorValues values = EditorValues();
        if (const auto failure = TEditorValidation::Validate(values)) {
            PageControl->ShowValidationFailure(*failure);
            Messages().Error(failure->Message, this);
        } else if (!session.Write(values)) {
            const QString reason = session.Reason();
            session.Abandon();
            Messages().Error(CannotSaveText(reason), this);
        } else if (!session.Close()) {
            Messages().Error(CannotSaveText(session.Reason()), this);
        } else {
            const QString savedText = QStringLiteral("Saved: ") + CurrentFile.FileNameDisplay();
            // Under the list, where the toolbar's hints (in the window's bar) cannot cover it.
            if (Browser)
                Browser->ShowStatus(savedText);
            else
                statusBar()->showMessage(savedText);
            Modified = false;
            saved = true;
            ShowBroadcastAfterSave(values);
            emit FileSaved(CurrentFile);
        }
    } catch (const std::exception& error) {
        Messages().Error(ErrorText("Error writing tags: ", error), this);
    }
    session.Abandon(); // a file still open after a failure is closed, its result ignored
    if (BrowserMode)
        emit ChangeNotices(true);
    if (saved && !BrowserMode)
        close();
    return saved;
}

void TFrmMain::ShowBroadcastAfterSave(const TEditorValues& values) {
    const QString notice = PageControl->BroadcastPage->ShortenedNotice(CurrentFile.Display());
    if (!notice.isEmpty())
        Messages().Information(notice, this);
    TTagFileSession reread(CurrentFile);
    if (reread.Open()) {
        PageControl->BroadcastPage->ReadStored();
        reread.Close(); // nothing was changed
    }
    PageControl->BroadcastPage->ShowStep(values);
}

bool TFrmMain::PromptSaveChanges() {
    if (!Modified || CurrentFile.IsEmpty())
        return true;
    const QPoint topLeft = mapToGlobal(QPoint(0, 0)) + QPoint(width() / 2 - 150, height() / 2 - 75);
    const auto answer =
        Messages().Confirm(QStringLiteral("The information for ") + CurrentFile.FileNameDisplay() +
                               QStringLiteral(" changed.\nSave it?"),
                           TMessages::mbYes | TMessages::mbNo, TMessages::mbYes, this, topLeft);
    Modified = false;
    if (answer == TMessages::mbYes && !Save()) {
        // The save was wanted and did not happen: the edits stay, still unsaved, and the
        // failing field keeps the focus the save gave it.
        Modified = true;
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
    Browser->SetSettings(Settings.get());
    TXListView* list = Browser->ListView;
    list->ReadColumnSettings(*Settings);
    // The save writes into the shown folder: its own change is not a notice, and the row of
    // the saved file is read again.
    connect(this, &TFrmMain::ChangeNotices, list, &TXListView::SetChangeNotices);
    // By path: a save through the "Save it?" prompt happens once the selection has moved on.
    connect(this, &TFrmMain::FileSaved, list,
            [list](const TFilePath& path) { list->RefreshEntry(path.Bytes()); });
    const TRegistryStore registry;
    Browser->Favorites->Load(registry, *Settings);
}

void TFrmMain::OpenStartFolder() {
    const TRegistryStore registry;
    Browser->Navigation().BrowseToStart(
        TStartFolder::Choose(Layout.Folder.value_or(QString()), registry));
    TXListView* list = Browser->ListView;
    // "Main"/"SortColumn": a column number as in "Columns"; when that column is shown, the
    // start folder opens sorted by it (ascending). Read only here, never written.
    const int sortNumber =
        Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("SortColumn"), 0);
    const std::vector<TListColumn> columns = list->Columns();
    for (size_t i = 3; sortNumber > 0 && i < columns.size(); ++i)
        if (columns[i].Number == sortNumber) {
            Browser->Sorter->SortByColumn(static_cast<int>(i));
            break;
        }
}

void TFrmMain::Form_OnActivate() {
    if (BrowserMode && Browser)
        Browser->ListView->setFocus(Qt::ActiveWindowFocusReason);
}

void TFrmMain::EditorFileRenamed(const QByteArray& path) {
    CurrentFile = TFilePath(path);
    PageControl->SetLocation(CurrentFile.Display());
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + CurrentFile.FileNameDisplay());
}

void TFrmMain::EditorColumnWritten(int column) {
    if (!Modified) {
        LoadCurrentFile();
        return;
    }
    // Only the written keys come in; the user's other edits stay, still to be saved.
    const TColumnInfo* info = TTagCatalogue::FindColumn(column);
    TTagFileSession session(CurrentFile);
    if (info == nullptr || !session.Open())
        return;
    TEditorValues values;
    try {
        values = session.ReadValues();
    } catch (const std::exception&) {
        session.Abandon();
        return;
    }
    session.Close();
    Loading = true;
    for (const char* key : {info->Key, info->TimeKey})
        if (key != nullptr)
            PageControl->SetFieldText(QLatin1String(key), values.Field(QLatin1String(key)));
    Loading = false;
}

void TFrmMain::EditorLoadFile(const QByteArray& path) {
    CurrentFile = TFilePath(path);
    LoadCurrentFile();
}
