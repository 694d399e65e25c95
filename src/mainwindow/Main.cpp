#include "Main.h"

#include "ControlMarks.h"

#include "Calendar.h"
#include "FormatHexDump.h"
#include "Header.h"
#include "MP3Genres.h"
#include "TAboutPage.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TEditorValidation.h"
#include "TMaskedEdit.h"
#include "TMemo.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TSettingsLocation.h"
#include "TagCatalogue.h"
#include "TextForms.h"
#include "Time.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

namespace {

const QColor DisabledColour(0xE0, 0xE0, 0xE0);
constexpr int TagBufferSize = 1024;
constexpr int MaxCategories = 128;
constexpr int EditorWidth = 320;
constexpr int BottomBarHeight = 32;
constexpr int MinimumWidth = 330;
constexpr int MinimumHeight = 500;
const QSize DesignedClientSize(700, 473);
const QPoint DesignedPosition(219, 211);

// Marks that decide what EnableFullTagControls and EnablePageControls do with a control.
const char* const Id3v1Mark = ControlMarks::Id3v1Field;
const char* const DisplayOnlyMark = ControlMarks::DisplayOnly;
const char* const NeverDisabledMark = ControlMarks::NeverDisabled;

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

bool IsEditKind(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QComboBox*>(w);
}

bool IsSwitchKind(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QCheckBox*>(w) ||
           qobject_cast<const QToolButton*>(w) || qobject_cast<const QSlider*>(w) ||
           qobject_cast<const QRadioButton*>(w) || qobject_cast<const QAbstractButton*>(w);
}

void SetColour(QWidget* w, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, colour);
    w->setPalette(palette);
}

// A one-line field may show a stored value longer than its typing limit; the limit then
// grows to the value so that the value is kept whole.
void SetLimitedText(QLineEdit* edit, const QString& text, int limit) {
    edit->setMaxLength(limit > 0 ? std::max<int>(limit, int(text.size())) : 32767);
    edit->setText(text);
}

QString StoredText(const TTagKeyInfo& info) {
    QByteArray buffer(TagBufferSize, '\0');
    const QByteArray key = QByteArray(info.Key);
    if (info.IsChunk)
        AudioLibs().GetChunkInfo(key.constData(), buffer.data(), TagBufferSize);
    else
        AudioLibs().GetTagInfo(key.constData(), buffer.data(), TagBufferSize);
    buffer[TagBufferSize - 1] = '\0';
    return QString::fromUtf8(buffer.constData());
}

// The path shortened to fit `width` pixels by replacing leading folders with an ellipsis;
// the file name itself always stays whole.
QString ShortenPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const QStringList parts = path.split(QLatin1Char('/'));
    const QString ellipsis = QString(QChar(0x2026));
    QString tail = parts.last();
    for (qsizetype i = parts.size() - 2; i >= 0; --i) {
        const QString longer = parts.at(i) + QLatin1Char('/') + tail;
        if (metrics.horizontalAdvance(ellipsis + QLatin1Char('/') + longer) > width)
            break;
        tail = longer;
    }
    return ellipsis + QLatin1Char('/') + tail;
}

bool IsMpegExtension(const QString& path) {
    const QString ext = QFileInfo(path).suffix().left(3).toUpper();
    return ext.size() == 3 && ext.startsWith(QLatin1String("MP")) &&
           (ext[2] == QLatin1Char('3') || ext[2] == QLatin1Char('2') || ext[2] == QLatin1Char('G'));
}

} // namespace

TFrmMain::TFrmMain(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
    // 1. Dates are converted by the fixed text forms ("M/d/yyyy" shown, "yyyy/mm/dd"
    //    stored), whatever the user's locale. 2. The shared state starts at its
    //    member initialisers.
    setWindowTitle(ApplicationTitle());
    BuildLayout();

    // 3. Settings.
    Settings = std::make_unique<TProfileFile>(TSettingsLocation::SettingsFilePath());

    // 4. Categories: stop at the first empty entry.
    for (int i = 0; i < MaxCategories; ++i) {
        const QString category = Settings->ReadString(
            QStringLiteral("Categories"), QStringLiteral("Category%1").arg(i), QString());
        if (category.isEmpty())
            break;
        cboCategory->addItem(category);
    }

    // 5. About page and the output device.
    if (AudioLibs().SN_GetNumOutputDevices != nullptr) {
        TRegistryStore registry;
        DeviceIndex = AboutPage->FillAboutPage(registry, arguments);
    }
    connect(AboutPage, &TAboutPage::DeviceIndexChanged, this,
            [this](int index) { DeviceIndex = index; });

    // 6. Genres.
    {
        const TMP3Genres genres;
        for (int i = 0; i < genres.Count(); ++i)
            cboGenre->addItem(genres.Name(i));
    }

    // 7.
    if (cboCategory->count() == 0)
        cboCategory->addItem(QStringLiteral("AUDIO"));

    // 8-11.
    ShowPage(Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("ActivePage"), 0));
    ToneMode = Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("Tones"), 1) != 0;
    QPoint position = DesignedPosition;
    const int left = Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("Left"), -1);
    const int top = Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("Top"), -1);
    if (left != -1)
        position.setX(left);
    if (top != -1)
        position.setY(top);
    move(position);
    chkUseCodec->setChecked(
        Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("UseCodec"), 0) != 0);

    // 12-13.
    ClearEditor();
    CurrentFile = arguments.isEmpty() ? QString() : arguments.first();

    // 14. The mode.
    BrowserMode = CurrentFile.isEmpty();
    if (BrowserMode) {
        btnCancel->setText(QStringLiteral("Done"));
        SetSaveEnabled(false);
        setWindowFlag(Qt::WindowMaximizeButtonHint, true);
        resize(DesignedClientSize);
    } else {
        pnlBrowser->hide();
        setWindowFlag(Qt::WindowMaximizeButtonHint, false);
        const qreal scale = (screen() ? screen()->logicalDotsPerInchX() : 96.0) / 96.0;
        setFixedSize(int(MinimumWidth * scale),
                     std::max(DesignedClientSize.height(), MinimumHeight));
        LoadCurrentFile();
    }

    // 15-16. In single-file mode Enter saves and Esc cancels (keyPressEvent).
    raise();
    activateWindow();

    // 17. Browser mode: the saved size; the folder browser itself comes later.
    if (BrowserMode) {
        QSize size = DesignedClientSize;
        const int height =
            Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("Height"), -1);
        const int width =
            Settings->ReadInteger(QStringLiteral("Main"), QStringLiteral("Width"), -1);
        if (height != -1)
            size.setHeight(height);
        if (width != -1)
            size.setWidth(width);
        resize(size);
    }
}

TFrmMain::~TFrmMain() {
    WriteSettings();
}

// ----------------------------------------------------------------------------------------
// Layout

void TFrmMain::BuildLayout() {
    setMinimumSize(MinimumWidth, MinimumHeight);
    auto* central = new QWidget(this);
    setCentralWidget(central);

    pnlBrowser = new QWidget(central);
    pnlBrowser->setObjectName(QStringLiteral("pnlBrowser"));

    PageControl = new QTabWidget(central);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setFixedWidth(EditorWidth);
    PageControl->setMinimumHeight(440);

    tabDescription = new QWidget;
    tabTimes = new QWidget;
    tabAuthoring = new QWidget;
    tabCommercial = new QWidget;
    tabImage = new QWidget;
    tabMusic = new QWidget;
    AboutPage = new TAboutPage;
    tabAbout = AboutPage;
    chkUseCodec = AboutPage->chkUseCodec;
    PageControl->addTab(tabDescription, TTagCatalogue::PageCaption(TTagPage::Description));
    PageControl->addTab(tabTimes, TTagCatalogue::PageCaption(TTagPage::Times));
    PageControl->addTab(tabAuthoring, TTagCatalogue::PageCaption(TTagPage::Authoring));
    PageControl->addTab(tabCommercial, TTagCatalogue::PageCaption(TTagPage::Commercial));
    PageControl->addTab(tabImage, QStringLiteral("Image"));
    PageControl->setTabVisible(piImage, false);
    PageControl->addTab(tabMusic, TTagCatalogue::PageCaption(TTagPage::Music));
    PageControl->addTab(tabAbout, QStringLiteral("A&bout"));

    BuildDescriptionPage();
    BuildTimesPage();
    BuildSimplePage(tabAuthoring, int(TTagPage::Authoring));
    BuildSimplePage(tabCommercial, int(TTagPage::Commercial));
    BuildSimplePage(tabMusic, int(TTagPage::Music));

    btnAddId3v2 = new QPushButton(QStringLiteral("Add ID3v2"), central);
    btnOk = new QPushButton(QStringLiteral("Save"), central);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), central);
    btnAddId3v2->setObjectName(QStringLiteral("btnAddId3v2"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnAddId3v2->hide();
    auto* bottomBar = new QWidget(central);
    bottomBar->setFixedHeight(BottomBarHeight);
    auto* bottom = new QHBoxLayout(bottomBar);
    bottom->setContentsMargins(4, 2, 4, 2);
    bottom->addStretch();
    bottom->addWidget(btnAddId3v2);
    bottom->addWidget(btnOk);
    bottom->addWidget(btnCancel);
    btnAddId3v2->setParent(bottomBar);
    btnOk->setParent(bottomBar);
    btnCancel->setParent(bottomBar);

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
    for (QToolButton* button : {btnStartDate, btnEndDate})
        connect(button, &QToolButton::clicked, this,
                [this, button] { btnSetDate_OnClick(button); });
    for (QToolButton* button : {btnStartTime, btnEndTime, btnStartWindow, btnEndWindow})
        connect(button, &QToolButton::clicked, this,
                [this, button] { btnSetTime_OnClick(button); });
    ConnectChangeTracking();

    // Audition and markers on the transport panel; they share the window's state.
    AuditionPanel = new TAuditionPanel(
        pnlTransport,
        TAuditionHost{Markers, PlayHandle, ToneMode, [this] { return CurrentFile; },
                      [this] { return DeviceIndex; }, [this] { return chkUseCodec->isChecked(); },
                      [this] { edt_OnChange(); },
                      [this](const QString& text) { Messages().Error(text, this); }});
}

QWidget* TFrmMain::CreateField(const QString& key, QWidget* parent) {
    const TTagKeyInfo* info = TTagCatalogue::FindKey(key);
    QWidget* field = nullptr;
    switch (info->Kind) {
    case TFieldKind::Edit: {
        auto* edit = new QLineEdit(parent);
        edit->setMaxLength(info->Limit > 0 ? info->Limit : 32767);
        field = edit;
        break;
    }
    case TFieldKind::Memo: {
        auto* memo = new TMemo(parent);
        memo->SetMaxLength(info->Limit);
        memo->setMinimumHeight(60);
        field = memo;
        break;
    }
    case TFieldKind::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr); // completion follows our own rule (cbo_OnChange)
        combo->setMaxVisibleItems(16);
        if (info->Limit > 0)
            combo->lineEdit()->setMaxLength(info->Limit);
        for (const char* entry : TTagCatalogue::ComboEntries(info->Key))
            combo->addItem(QString::fromLatin1(entry));
        combo->setCurrentIndex(-1);
        field = combo;
        break;
    }
    case TFieldKind::CheckBox:
        field = new QCheckBox(info->Caption(), parent);
        break;
    case TFieldKind::DateField:
        field = new TMaskedEdit(QStringLiteral("90/90/0000"), parent);
        break;
    case TFieldKind::TimeField:
        field = new TMaskedEdit(QStringLiteral("00:00"), parent);
        break;
    case TFieldKind::Marker:
        return nullptr;
    }
    field->setObjectName(key);
    if (info->Id3v1Field)
        field->setProperty(Id3v1Mark, true);
    Fields.insert(key, field);
    return field;
}

QLabel* NewLabel(const QString& caption, QWidget* buddy, QWidget* parent, bool id3v1) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    if (id3v1)
        label->setProperty(Id3v1Mark, true);
    return label;
}

void TFrmMain::BuildDescriptionPage() {
    auto* grid = new QGridLayout(tabDescription);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const char* key : {"DISP", "IART", "ISRC"}) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(key));
        QWidget* field = CreateField(info->KeyText(), tabDescription);
        QLabel* label = NewLabel(info->Caption(), field, tabDescription, info->Id3v1Field);
        Labels.insert(info->KeyText(), label);
        grid->addWidget(label, row++, 0, 1, 2);
        grid->addWidget(field, row++, 0, 1, 2);
    }
    chkNoFade = qobject_cast<QCheckBox*>(CreateField(QStringLiteral("BFAD"), tabDescription));
    grid->addWidget(chkNoFade, row++, 0, 1, 2);

    txtLocation = new QLineEdit(tabDescription);
    txtFormat = new QLineEdit(tabDescription);
    txtLocation->setObjectName(QStringLiteral("txtLocation"));
    txtLocation->installEventFilter(this);
    txtFormat->setObjectName(QStringLiteral("txtFormat"));
    for (QLineEdit* display : {txtLocation, txtFormat}) {
        display->setReadOnly(true);
        display->setFocusPolicy(Qt::NoFocus);
        display->setProperty(DisplayOnlyMark, true);
        SetColour(display, DisabledColour);
    }
    auto* lblLocation = new QLabel(QStringLiteral("Location"), tabDescription);
    auto* lblFormat = new QLabel(QStringLiteral("Format"), tabDescription);
    grid->addWidget(lblLocation, row, 0);
    grid->addWidget(txtLocation, row++, 1);
    grid->addWidget(lblFormat, row, 0);
    grid->addWidget(txtFormat, row++, 1);

    pnlTransport = new QFrame(tabDescription);
    pnlTransport->setObjectName(QStringLiteral("pnlTransport"));
    pnlTransport->setFrameShape(QFrame::StyledPanel);
    pnlTransport->setMinimumHeight(150);
    grid->addWidget(pnlTransport, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    cboCategory = qobject_cast<QComboBox*>(Fields.value(QStringLiteral("ISRC")));
    edtTitle = qobject_cast<QLineEdit*>(Fields.value(QStringLiteral("DISP")));
    edtArtist = qobject_cast<QLineEdit*>(Fields.value(QStringLiteral("IART")));
}

void TFrmMain::BuildTimesPage() {
    auto* grid = new QGridLayout(tabTimes);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(2);
    const auto clockButton = [this](const QString& name, const QString& text) {
        auto* button = new QToolButton(tabTimes);
        button->setObjectName(name);
        button->setText(QStringLiteral("..."));
        button->setToolTip(text);
        button->setFixedWidth(26);
        return button;
    };
    const auto masked = [this](const char* key) {
        auto* field = static_cast<TMaskedEdit*>(CreateField(QLatin1String(key), tabTimes));
        const QString sample = field->EmptyText().replace(QLatin1Char(' '), QLatin1Char('0'));
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(sample) + 16);
        return field;
    };
    edtStartDate = masked("IGNR");
    edtStartTime = masked("BSTM");
    edtEndDate = masked("IKEY");
    edtEndTime = masked("BETM");
    edtStartWindow = masked("BSTW");
    edtEndWindow = masked("BETW");
    btnStartDate = clockButton(QStringLiteral("btnStartDate"), QStringLiteral("Pick a date"));
    btnEndDate = clockButton(QStringLiteral("btnEndDate"), QStringLiteral("Pick a date"));
    btnStartTime = clockButton(QStringLiteral("btnStartTime"), QStringLiteral("Pick a time"));
    btnEndTime = clockButton(QStringLiteral("btnEndTime"), QStringLiteral("Pick a time"));
    btnStartWindow = clockButton(QStringLiteral("btnStartWindow"), QStringLiteral("Pick a time"));
    btnEndWindow = clockButton(QStringLiteral("btnEndWindow"), QStringLiteral("Pick a time"));

    int row = 0;
    const auto dateRow = [&](const char* dateKey, const char* timeKey, TMaskedEdit* date,
                             QToolButton* dateButton, TMaskedEdit* time, QToolButton* timeButton) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(dateKey));
        QLabel* label = NewLabel(info->Caption(), date, tabTimes, false);
        Labels.insert(QLatin1String(dateKey), label);
        Labels.insert(QLatin1String(timeKey), label);
        grid->addWidget(label, row++, 0, 1, 5);
        grid->addWidget(date, row, 0);
        grid->addWidget(dateButton, row, 1);
        grid->addWidget(time, row, 2);
        grid->addWidget(timeButton, row++, 3);
    };
    dateRow("IGNR", "BSTM", edtStartDate, btnStartDate, edtStartTime, btnStartTime);
    dateRow("IKEY", "BETM", edtEndDate, btnEndDate, edtEndTime, btnEndTime);

    QLabel* windowLabel = NewLabel(TTagCatalogue::FindKey(std::string_view("BSTW"))->Caption(),
                                   edtStartWindow, tabTimes, false);
    QLabel* toLabel = NewLabel(TTagCatalogue::FindKey(std::string_view("BETW"))->Caption(),
                               edtEndWindow, tabTimes, false);
    Labels.insert(QStringLiteral("BSTW"), windowLabel);
    Labels.insert(QStringLiteral("BETW"), toLabel);
    grid->addWidget(windowLabel, row++, 0, 1, 5);
    auto* windowRow = new QHBoxLayout;
    windowRow->addWidget(edtStartWindow);
    windowRow->addWidget(btnStartWindow);
    windowRow->addWidget(toLabel);
    windowRow->addWidget(edtEndWindow);
    windowRow->addWidget(btnEndWindow);
    windowRow->addStretch();
    grid->addLayout(windowRow, row++, 0, 1, 5);

    for (const char* key : {"IALB", "IYER", "IGRE", "ITRK"}) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(key));
        QWidget* field = CreateField(info->KeyText(), tabTimes);
        QLabel* label = NewLabel(info->Caption(), field, tabTimes, info->Id3v1Field);
        Labels.insert(info->KeyText(), label);
        grid->addWidget(label, row++, 0, 1, 5);
        grid->addWidget(field, row++, 0, 1, 5);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(row, 1);
    cboGenre = qobject_cast<QComboBox*>(Fields.value(QStringLiteral("IGRE")));
}

void TFrmMain::BuildSimplePage(QWidget* pageWidget, int page) {
    auto* layout = new QVBoxLayout(pageWidget);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(2);
    bool hasMemo = false;
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        if (int(info.Page) != page)
            continue;
        QWidget* field = CreateField(info.KeyText(), pageWidget);
        QLabel* label = NewLabel(info.Caption(), field, pageWidget, info.Id3v1Field);
        Labels.insert(info.KeyText(), label);
        layout->addWidget(label);
        layout->addWidget(field, info.Kind == TFieldKind::Memo ? 1 : 0);
        hasMemo = hasMemo || info.Kind == TFieldKind::Memo;
    }
    if (!hasMemo)
        layout->addStretch();
}

void TFrmMain::ConnectChangeTracking() {
    // Only the user's own edits (and the dialogs' writes, SetFieldFromDialog) count as
    // changes: the signals used here are not raised for text the program sets.
    for (auto it = Fields.cbegin(); it != Fields.cend(); ++it) {
        QWidget* field = it.value();
        if (auto* memo = qobject_cast<TMemo*>(field)) {
            connect(memo, &QPlainTextEdit::textChanged, this, &TFrmMain::edt_OnChange);
        } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            connect(edit, &QLineEdit::textEdited, this, &TFrmMain::edt_OnChange);
        } else if (auto* box = qobject_cast<QCheckBox*>(field)) {
            connect(box, &QCheckBox::clicked, this, &TFrmMain::edt_OnChange);
        } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
            if (combo == cboCategory) {
                connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                        &TFrmMain::cboCategory_OnChange);
                connect(combo, &QComboBox::activated, this, &TFrmMain::cboCategory_OnChange);
                combo->lineEdit()->installEventFilter(this);
            } else if (combo == cboGenre) {
                connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                        [this] { cbo_OnChange(cboGenre); });
                connect(combo, &QComboBox::activated, this, [this] { cbo_OnChange(cboGenre); });
                combo->lineEdit()->installEventFilter(this);
            } else {
                connect(combo->lineEdit(), &QLineEdit::textEdited, this, &TFrmMain::edt_OnChange);
                connect(combo, &QComboBox::activated, this, &TFrmMain::edt_OnChange);
            }
        }
    }
}

// ----------------------------------------------------------------------------------------
// Settings

void TFrmMain::ShowPage(int index) {
    // The never-shown Image page and values outside the pages show the first page.
    if (index < 0 || index > piAbout || index == piImage)
        index = piDescription;
    PageControl->setCurrentIndex(index);
}

void TFrmMain::WriteSettings() {
    if (!Settings)
        return;
    const QString main = QStringLiteral("Main");
    if (cboCategory->findText(cboCategory->currentText(),
                              Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        cboCategory->addItem(cboCategory->currentText());
    Settings->EraseSection(QStringLiteral("Categories"));
    for (int j = 0; j < cboCategory->count(); ++j)
        Settings->WriteString(QStringLiteral("Categories"), QStringLiteral("Category%1").arg(j),
                              cboCategory->itemText(j));
    Settings->WriteInteger(main, QStringLiteral("ActivePage"), PageControl->currentIndex());
    Settings->WriteInteger(main, QStringLiteral("Tones"), ToneMode ? 1 : 0);
    Settings->WriteInteger(main, QStringLiteral("Left"), pos().x());
    Settings->WriteInteger(main, QStringLiteral("Top"), pos().y());
    Settings->WriteInteger(main, QStringLiteral("UseCodec"), chkUseCodec->isChecked() ? 1 : 0);
    if (BrowserMode) {
        Settings->WriteInteger(main, QStringLiteral("Height"), height());
        Settings->WriteInteger(main, QStringLiteral("Width"), width());
    }
    Settings.reset();
}

// ----------------------------------------------------------------------------------------
// Window behaviour

void TFrmMain::closeEvent(QCloseEvent* event) {
    // The close box never asks; unsaved changes are dropped.
    AuditionPanel->CloseAudition(); // every playback handle is released
    event->accept();
}

void TFrmMain::btnCancel_OnClick() {
    PromptSaveChanges();
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

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    // The shortened location follows the field's width.
    if (watched == txtLocation && event->type() == QEvent::Resize &&
        !txtLocation->toolTip().isEmpty())
        SetLocation(txtLocation->toolTip());
    if (event->type() == QEvent::KeyPress &&
        (watched == cboCategory->lineEdit() || watched == cboGenre->lineEdit()))
        LastComboKey = static_cast<QKeyEvent*>(event)->key();
    return QMainWindow::eventFilter(watched, event);
}

QString TFrmMain::HeaderDumpText() const {
    if (CurrentFile.isEmpty())
        return QString();
    QFile file(CurrentFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return FormatHexDump(file.read(256));
}

void TFrmMain::ShowHeaderDump() {
    const QString text = HeaderDumpText();
    if (text.isEmpty())
        return;
    TFrmHeader header(this);
    header.SetText(text);
    header.exec();
}

// ----------------------------------------------------------------------------------------
// Editor

QList<QWidget*> TFrmMain::EditorContainers() const {
    return {tabDescription, pnlTransport, tabTimes, tabAuthoring, tabCommercial, tabMusic};
}

void TFrmMain::EnablePageControls(QWidget* container, bool enable) {
    const auto children = container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        const bool displayOnly = w->property(DisplayOnlyMark).toBool();
        const bool neverDisabled = w->property(NeverDisabledMark).toBool();
        if (!enable) {
            if (auto* edit = qobject_cast<QLineEdit*>(w))
                edit->clear();
            else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
                const QSignalBlocker blocker(memo);
                memo->clear();
            } else if (auto* label = qobject_cast<QLabel*>(w); label && neverDisabled)
                label->clear(); // read-out displays
        }
        if (neverDisabled)
            continue;
        if (IsEditKind(w)) {
            w->setEnabled(enable);
            if (!displayOnly)
                SetColour(w,
                          enable ? QApplication::palette().color(QPalette::Base) : DisabledColour);
        } else if (IsSwitchKind(w)) {
            w->setEnabled(enable);
        }
    }
}

void TFrmMain::EnableFullTagControls(QWidget* container, bool enable) {
    const auto children = container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        if (w->property(Id3v1Mark).toBool() || w->property(DisplayOnlyMark).toBool() ||
            w->property(NeverDisabledMark).toBool())
            continue;
        if (IsEditKind(w)) {
            w->setEnabled(enable);
            SetColour(w, enable ? QApplication::palette().color(QPalette::Base) : DisabledColour);
        } else if (IsSwitchKind(w)) {
            w->setEnabled(enable);
        }
    }
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
    CurrentFile.clear();
    if (cboCategory->count() > 0)
        cboCategory->setCurrentIndex(0);
    chkNoFade->setChecked(false);
    Markers.Reset();
    Markers.LengthMs = 0;
    AuditionPanel->ResetTrackBar();
    ShowMarkers();
    btnAddId3v2->hide();
    for (QWidget* container : EditorContainers())
        EnablePageControls(container, false);
    txtLocation->setToolTip(QString());
    SetSaveEnabled(false);
    setWindowTitle(ApplicationTitle());
    Modified = false;
}

QString TFrmMain::FieldText(const QString& key) const {
    QWidget* field = Fields.value(key);
    if (auto* masked = qobject_cast<TMaskedEdit*>(field))
        return masked->Text();
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        return edit->text();
    if (auto* memo = qobject_cast<TMemo*>(field))
        return memo->Text();
    if (auto* combo = qobject_cast<QComboBox*>(field))
        return combo->currentText();
    return QString();
}

void TFrmMain::SetFieldText(const QString& key, const QString& text) {
    QWidget* field = Fields.value(key);
    const TTagKeyInfo* info = TTagCatalogue::FindKey(key);
    if (field == nullptr || info == nullptr)
        return;
    if (auto* masked = qobject_cast<TMaskedEdit*>(field)) {
        masked->SetText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        SetLimitedText(edit, text, info->Limit);
    } else if (auto* memo = qobject_cast<TMemo*>(field)) {
        const QSignalBlocker blocker(memo);
        memo->SetText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
        if (combo == cboCategory) {
            SelectCategory(text);
            return;
        }
        const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setCurrentIndex(index);
        if (info->Limit > 0)
            combo->lineEdit()->setMaxLength(std::max<int>(info->Limit, int(text.size())));
        combo->setEditText(text);
    }
}

void TFrmMain::SelectCategory(const QString& text) {
    int index = cboCategory->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        cboCategory->addItem(text);
        index = cboCategory->count() - 1;
    }
    cboCategory->lineEdit()->setMaxLength(std::max<int>(16, int(text.size())));
    cboCategory->setCurrentIndex(index);
    cboCategory->setEditText(text);
}

TEditorValues TFrmMain::EditorValues() const {
    TEditorValues values;
    for (auto it = Fields.cbegin(); it != Fields.cend(); ++it)
        if (it.value() != chkNoFade)
            values.SetField(it.key(), FieldText(it.key()));
    values.NoFade = chkNoFade->isChecked();
    values.Markers = Markers;
    return values;
}

void TFrmMain::SetLocation(const QString& path) {
    const int width = std::max(0, txtLocation->width() - 20);
    txtLocation->setText(ShortenPath(path, txtLocation->fontMetrics(), width));
    txtLocation->setCursorPosition(0);
    txtLocation->setToolTip(path);
}

QString TFrmMain::FormatDescription(bool isMpeg) {
    const QByteArray path = CurrentFile.toUtf8();
    QByteArray a(128, '\0');
    QByteArray b(128, '\0');
    if (AudioLibs().SN_GetWaveFileFormat(path.constData(), a.data(), 128, b.data(), 128) == 0)
        return QStringLiteral("Unknown");
    a[127] = '\0';
    b[127] = '\0';
    QString text = QFileInfo(CurrentFile).suffix().left(3).toUpper();
    if (isMpeg && AudioLibs().HasId3v2() != 0)
        text += QStringLiteral(" w/ ID3v2 ");
    return text + QStringLiteral(" File / ") + QString::fromUtf8(a.constData()) +
           QStringLiteral(" - ") + QString::fromUtf8(b.constData());
}

void TFrmMain::LoadCurrentFile() {
    StopAudition();

    // A read-only file is made writable so that it can be saved.
    QFile file(CurrentFile);
    const QFileDevice::Permissions permissions = file.permissions();
    if (file.exists() && !(permissions & QFileDevice::WriteOwner) &&
        file.setPermissions(permissions | QFileDevice::WriteOwner))
        Messages().Information(QStringLiteral("Removed read-only attribute"), this);

    const QByteArray path = CurrentFile.toUtf8();
    if (AudioLibs().OpenWavFile(path.constData(), 0, 0) != 0) {
        Messages().Error(QStringLiteral("Invalid Audio File"), this);
        return;
    }
    bool open = true;
    Loading = true;
    try {
        for (QWidget* container : EditorContainers())
            EnablePageControls(container, true);

        const TEditorValues values = TEditorValues::FromStored(&StoredText);
        const bool isMpeg = IsMpegExtension(CurrentFile);
        SetFieldText(QStringLiteral("DISP"), values.Field(QStringLiteral("DISP")));
        SetFieldText(QStringLiteral("IART"), values.Field(QStringLiteral("IART")));
        SetLocation(CurrentFile);
        for (const char* key : {"IGNR", "IKEY", "BSTM", "BETM", "BSTW", "BETW", "ISRC"})
            SetFieldText(QLatin1String(key), values.Field(QLatin1String(key)));
        txtFormat->setText(FormatDescription(isMpeg));
        txtFormat->setCursorPosition(0);
        chkNoFade->setChecked(values.NoFade);
        Markers = values.Markers;
        for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
            if (info.Form == TValueForm::Text && !info.IsChunk &&
                info.Page != TTagPage::Description)
                SetFieldText(info.KeyText(), values.Field(info.KeyText()));
        }

        AudioLibs().CloseWavFile();
        open = false;

        Markers.LengthMs = AudioLibs().SN_PlayGetLengthMsFile(path.constData());
        AuditionPanel->ShowLength();
        AuditionPanel->ResetTrackBar();
        ShowMarkers();

        btnAddId3v2->hide();
        const bool restricted = isMpeg && AudioLibs().HasId3v2() == 0;
        for (QWidget* container : EditorContainers())
            EnableFullTagControls(container, !restricted);
        btnAddId3v2->setVisible(restricted);

        setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") +
                       QFileInfo(CurrentFile).fileName());
    } catch (const std::exception& error) {
        if (open)
            AudioLibs().CloseWavFile();
        Messages().Error(ErrorText("Error reading tags: ", error), this);
    }
    Loading = false;
}

void TFrmMain::btnAddId3v2_OnClick() {
    const QByteArray path = CurrentFile.toUtf8();
    if (AudioLibs().AddId3v2(path.constData()) == -1) {
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

void TFrmMain::cbo_OnChange(QComboBox* combo) {
    if (Loading)
        return;
    SetSaveEnabled(true);
    Modified = true;

    const int key = LastComboKey;
    LastComboKey = 0;
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
        return;
    QLineEdit* edit = combo->lineEdit();
    const QString typed = edit->text();
    if (typed.isEmpty())
        return;
    for (int i = 0; i < combo->count(); ++i) {
        const QString entry = combo->itemText(i);
        if (entry.startsWith(typed, Qt::CaseInsensitive)) {
            combo->setCurrentIndex(i);
            edit->setText(entry);
            edit->setSelection(int(entry.size()), -int(entry.size() - typed.size()));
            return;
        }
    }
}

void TFrmMain::cboCategory_OnChange() {
    QLineEdit* edit = cboCategory->lineEdit();
    const QString upper = edit->text().toUpper();
    if (upper != edit->text()) {
        const int caret = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(caret);
    }
    cbo_OnChange(cboCategory);
}

// ----------------------------------------------------------------------------------------
// Saving

void TFrmMain::btnOk_OnClick() {
    const QString cannotOpen =
        QStringLiteral("Cannot open file to save tags. Ensure the file is not open\n"
                       "in another application.");
    const QByteArray path = CurrentFile.toUtf8();
    if (AudioLibs().OpenWavFile(path.constData(), 0, 0) != 0) {
        Messages().Error(cannotOpen, this);
        return;
    }
    // Folder monitor notices are switched off here in browser mode, once the list exists.
    bool open = true;
    try {
        const TEditorValues values = EditorValues();
        if (const auto failure = TEditorValidation::Validate(values)) {
            PageControl->setCurrentWidget(tabTimes);
            if (QWidget* field = Fields.value(failure->FocusKey))
                field->setFocus();
            Messages().Error(failure->Message, this);
            AudioLibs().CloseWavFile();
            return;
        }
        for (const TTagWrite& write : values.Writes()) {
            const QByteArray key = write.Key.toLatin1();
            const QByteArray text = write.Text.toUtf8();
            switch (write.Op) {
            case TTagWrite::TOp::SetChunk:
                AudioLibs().SetChunkInfo(key.constData(), text.constData(), uint16_t(text.size()));
                break;
            case TTagWrite::TOp::SetTag:
                AudioLibs().SetTagInfo(key.constData(), text.constData(), uint16_t(text.size()));
                break;
            case TTagWrite::TOp::Remove:
                AudioLibs().RemoveTag(key.constData());
                break;
            }
        }
        open = false;
        if (AudioLibs().CloseWavFile() != 0) {
            Messages().Error(cannotOpen, this);
            return;
        }
        statusBar()->showMessage(QStringLiteral("Saved: ") + QFileInfo(CurrentFile).fileName());
        Modified = false;
        if (!BrowserMode)
            close();
    } catch (const std::exception& error) {
        if (open)
            AudioLibs().CloseWavFile();
        Messages().Error(ErrorText("Error writing tags: ", error), this);
    }
}

void TFrmMain::PromptSaveChanges() {
    if (!Modified || CurrentFile.isEmpty())
        return;
    const QPoint topLeft = mapToGlobal(QPoint(0, 0)) + QPoint(width() / 2 - 150, height() / 2 - 75);
    const auto answer = Messages().Confirm(
        QStringLiteral("The information for ") + QFileInfo(CurrentFile).fileName() +
            QStringLiteral(" changed.\nSave it?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, this, topLeft);
    Modified = false;
    if (answer == QMessageBox::Yes)
        btnOk_OnClick();
    QCoreApplication::processEvents();
    btnOk->setFocus();
}

void TFrmMain::SetFieldFromDialog(TMaskedEdit* field, const QString& text) {
    const QString before = field->Text();
    field->SetText(text);
    if (field->Text() != before)
        edt_OnChange();
}

void TFrmMain::btnSetDate_OnClick(QObject* sender) {
    TMaskedEdit* field = nullptr;
    QString caption;
    if (sender == btnStartDate) {
        field = edtStartDate;
        caption = QStringLiteral("Start Date & Time");
    } else if (sender == btnEndDate) {
        field = edtEndDate;
        caption = QStringLiteral("End Date & Time");
    } else {
        return;
    }
    TFrmCalendar calendar(this);
    calendar.setWindowTitle(caption);
    calendar.move(field->mapToGlobal(QPoint(0, field->height())));
    if (const auto stamp = TextToDateTime(field->Text(), TDateOrder::MonthDayYear);
        stamp && stamp->HasDate())
        calendar.SetDate(stamp->Date);
    if (calendar.exec() == TPickerDialog::mrSet) {
        const QString remembered = field->Text();
        SetFieldFromDialog(field, ShownDateText(calendar.Date()));
        const auto start = TextToDateTime(edtStartDate->Text(), TDateOrder::MonthDayYear);
        const auto end = TextToDateTime(edtEndDate->Text(), TDateOrder::MonthDayYear);
        if (start && end && start->HasDate() && end->HasDate() && start->Date > end->Date) {
            Messages().Error(QStringLiteral("Start Date is greater than End Date"), this,
                             calendar.pos());
            SetFieldFromDialog(field, remembered);
        }
    } else {
        SetFieldFromDialog(field, QString());
    }
    field->setFocus();
}

void TFrmMain::btnSetTime_OnClick(QObject* sender) {
    TMaskedEdit* field = nullptr;
    if (sender == btnStartTime)
        field = edtStartTime;
    else if (sender == btnEndTime)
        field = edtEndTime;
    else if (sender == btnStartWindow)
        field = edtStartWindow;
    else if (sender == btnEndWindow)
        field = edtEndWindow;
    else
        return;
    TFrmTime picker(this);
    picker.move(field->mapToGlobal(QPoint(0, field->height())));
    if (const auto stamp = TextToDateTime(field->Text()))
        picker.SetTime(stamp->Time);
    if (picker.exec() == TPickerDialog::mrSet)
        SetFieldFromDialog(field, StoredTimeText(picker.Time()));
    else
        SetFieldFromDialog(field, QString());
    field->setFocus();
}
