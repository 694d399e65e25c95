#include "TEditorPages.h"

#include "Calendar.h"
#include "ControlMarks.h"
#include "MP3Genres.h"
#include "TAboutPage.h"
#include "TBroadcastPage.h"
#include "TContrastText.h"
#include "TMainSettings.h"
#include "TMaskedEdit.h"
#include "TMemo.h"
#include "TMessages.h"
#include "TagCatalogue.h"
#include "TextForms.h"
#include "Time.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor DisabledColour(0xE0, 0xE0, 0xE0);
constexpr int EditorWidth = 320;
constexpr int CategoryLimit = 16;
// What an ID3v1 tag holds: 30 bytes of text a field, a 4-digit year, a genre number.
constexpr int Id3v1TextLimit = 30;

// Marks that decide what EnableFullTagControls and EnablePageControls do with a control.
const char* const Id3v1Mark = ControlMarks::Id3v1Field;
const char* const DisplayOnlyMark = ControlMarks::DisplayOnly;
const char* const NeverDisabledMark = ControlMarks::NeverDisabled;

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
    TContrastText::Apply(w, QPalette::Base, QPalette::Text);
}

// A one-line field may show a stored value longer than its typing limit; the limit then
// grows to the value so that the value is kept whole.
void SetLimitedText(QLineEdit* edit, const QString& text, int limit) {
    edit->setMaxLength(limit > 0 ? std::max<int>(limit, int(text.size())) : 32767);
    edit->setText(text);
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

// Accepts a genre of the list, exactly as listed, and every beginning of one (so it can
// be typed); the empty text removes the genre.
QRegularExpression GenreListPattern() {
    QStringList names;
    for (const char* name : TMP3Genres::Table())
        names.append(QRegularExpression::escape(QString::fromLatin1(name)));
    return QRegularExpression(QStringLiteral("(?:") + names.join(QLatin1Char('|')) +
                              QStringLiteral(")?"));
}

} // namespace

TEditorPages::TEditorPages(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("PageControl"));
    setFixedWidth(EditorWidth);
    setMinimumHeight(440);

    tabDescription = new QWidget;
    tabTimes = new QWidget;
    tabAuthoring = new QWidget;
    tabCommercial = new QWidget;
    tabImage = new QWidget;
    tabMusic = new QWidget;
    AboutPage = new TAboutPage;
    tabAbout = AboutPage;
    chkUseCodec = AboutPage->chkUseCodec;
    addTab(tabDescription, TTagCatalogue::PageCaption(TTagPage::Description));
    addTab(tabTimes, TTagCatalogue::PageCaption(TTagPage::Times));
    addTab(tabAuthoring, TTagCatalogue::PageCaption(TTagPage::Authoring));
    addTab(tabCommercial, TTagCatalogue::PageCaption(TTagPage::Commercial));
    addTab(tabImage, QStringLiteral("Image"));
    // Hidden and disabled: Ctrl+Tab steps over disabled pages only.
    setTabVisible(piImage, false);
    setTabEnabled(piImage, false);
    addTab(tabMusic, TTagCatalogue::PageCaption(TTagPage::Music));
    addTab(tabAbout, QStringLiteral("A&bout"));
    BroadcastPage = new TBroadcastPage;
    addTab(BroadcastPage, QStringLiteral("B&roadcast"));

    BuildDescriptionPage();
    BuildTimesPage();
    BuildSimplePage(tabAuthoring, int(TTagPage::Authoring));
    BuildSimplePage(tabCommercial, int(TTagPage::Commercial));
    BuildSimplePage(tabMusic, int(TTagPage::Music));
    {
        const TMP3Genres genres;
        for (int i = 0; i < genres.Count(); ++i)
            cboGenre->addItem(genres.Name(i));
    }

    for (QToolButton* button : {btnStartDate, btnEndDate})
        connect(button, &QToolButton::clicked, this,
                [this, button] { btnSetDate_OnClick(button); });
    for (QToolButton* button : {btnStartTime, btnEndTime, btnStartWindow, btnEndWindow})
        connect(button, &QToolButton::clicked, this,
                [this, button] { btnSetTime_OnClick(button); });
    ConnectChangeTracking();
}

void TEditorPages::ReadSettings(const TMainSettings& settings) {
    for (const QString& category : settings.Categories)
        AddCategory(category);
    if (Categories().isEmpty())
        AddCategory(QStringLiteral("AUDIO"));
    ShowPage(settings.ActivePage);
    chkUseCodec->setChecked(settings.UseCodec);
}

void TEditorPages::WriteSettings(TMainSettings& settings) {
    KeepTypedCategory();
    settings.Categories = Categories();
    settings.ActivePage = currentIndex();
    settings.UseCodec = chkUseCodec->isChecked();
}

bool TEditorPages::UseCodec() const {
    return chkUseCodec->isChecked();
}

void TEditorPages::ShowPage(int index) {
    if (index < 0 || index > piBroadcast || index == piImage)
        index = piDescription;
    setCurrentIndex(index);
}

QWidget* TEditorPages::CreateField(const QString& key, QWidget* parent) {
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

QLabel* TEditorPages::NewLabel(const QString& key, const QString& caption, QWidget* buddy,
                               QWidget* parent, bool id3v1) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    if (id3v1)
        label->setProperty(Id3v1Mark, true);
    if (!key.isEmpty())
        Labels.insert(key, label);
    return label;
}

void TEditorPages::BuildDescriptionPage() {
    auto* grid = new QGridLayout(tabDescription);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const char* key : {"DISP", "IART", "ISRC"}) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(key));
        QWidget* field = CreateField(info->KeyText(), tabDescription);
        QLabel* label =
            NewLabel(info->KeyText(), info->Caption(), field, tabDescription, info->Id3v1Field);
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
        display->setProperty(DisplayOnlyMark, true);
        SetColour(display, DisabledColour);
    }
    // The location is shortened (its tooltip has the path); the format is often longer than
    // the field, so a click lets it be selected and copied.
    txtLocation->setFocusPolicy(Qt::NoFocus);
    txtFormat->setFocusPolicy(Qt::ClickFocus);
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

void TEditorPages::BuildTimesPage() {
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
    // Created in the visual order, which is also the tab order.
    edtStartDate = masked("IGNR");
    btnStartDate = clockButton(QStringLiteral("btnStartDate"), QStringLiteral("Pick a date"));
    edtStartTime = masked("BSTM");
    btnStartTime = clockButton(QStringLiteral("btnStartTime"), QStringLiteral("Pick a time"));
    edtEndDate = masked("IKEY");
    btnEndDate = clockButton(QStringLiteral("btnEndDate"), QStringLiteral("Pick a date"));
    edtEndTime = masked("BETM");
    btnEndTime = clockButton(QStringLiteral("btnEndTime"), QStringLiteral("Pick a time"));
    edtStartWindow = masked("BSTW");
    btnStartWindow = clockButton(QStringLiteral("btnStartWindow"), QStringLiteral("Pick a time"));
    edtEndWindow = masked("BETW");
    btnEndWindow = clockButton(QStringLiteral("btnEndWindow"), QStringLiteral("Pick a time"));

    int row = 0;
    const auto dateRow = [&](const char* dateKey, const char* timeKey, TMaskedEdit* date,
                             QToolButton* dateButton, TMaskedEdit* time, QToolButton* timeButton) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(dateKey));
        QLabel* label = NewLabel(QLatin1String(dateKey), info->Caption(), date, tabTimes, false);
        Labels.insert(QLatin1String(timeKey), label);
        grid->addWidget(label, row++, 0, 1, 5);
        grid->addWidget(date, row, 0);
        grid->addWidget(dateButton, row, 1);
        grid->addWidget(time, row, 2);
        grid->addWidget(timeButton, row++, 3);
    };
    dateRow("IGNR", "BSTM", edtStartDate, btnStartDate, edtStartTime, btnStartTime);
    dateRow("IKEY", "BETM", edtEndDate, btnEndDate, edtEndTime, btnEndTime);

    QLabel* windowLabel = NewLabel(QStringLiteral("BSTW"),
                                   TTagCatalogue::FindKey(std::string_view("BSTW"))->Caption(),
                                   edtStartWindow, tabTimes, false);
    QLabel* toLabel = NewLabel(QStringLiteral("BETW"),
                               TTagCatalogue::FindKey(std::string_view("BETW"))->Caption(),
                               edtEndWindow, tabTimes, false);
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
        QLabel* label =
            NewLabel(info->KeyText(), info->Caption(), field, tabTimes, info->Id3v1Field);
        grid->addWidget(label, row++, 0, 1, 5);
        grid->addWidget(field, row++, 0, 1, 5);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(row, 1);
    cboGenre = qobject_cast<QComboBox*>(Fields.value(QStringLiteral("IGRE")));
}

void TEditorPages::BuildSimplePage(QWidget* pageWidget, int page) {
    auto* layout = new QVBoxLayout(pageWidget);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(2);
    bool hasMemo = false;
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        if (int(info.Page) != page)
            continue;
        QWidget* field = CreateField(info.KeyText(), pageWidget);
        QLabel* label =
            NewLabel(info.KeyText(), info.Caption(), field, pageWidget, info.Id3v1Field);
        layout->addWidget(label);
        layout->addWidget(field, info.Kind == TFieldKind::Memo ? 1 : 0);
        hasMemo = hasMemo || info.Kind == TFieldKind::Memo;
    }
    if (!hasMemo)
        layout->addStretch();
}

void TEditorPages::ConnectChangeTracking() {
    // Only the user's own edits (and the dialogs' writes, SetFieldFromDialog) count as
    // changes: the signals used here are not raised for text the program sets.
    for (auto it = Fields.cbegin(); it != Fields.cend(); ++it) {
        QWidget* field = it.value();
        if (auto* memo = qobject_cast<TMemo*>(field)) {
            connect(memo, &QPlainTextEdit::textChanged, this, &TEditorPages::Changed);
        } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            connect(edit, &QLineEdit::textEdited, this, &TEditorPages::Changed);
        } else if (auto* box = qobject_cast<QCheckBox*>(field)) {
            connect(box, &QCheckBox::clicked, this, &TEditorPages::Changed);
        } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
            if (combo == cboCategory || combo == cboGenre) {
                const auto handler = [this, combo] {
                    if (combo == cboCategory)
                        cboCategory_OnChange();
                    else
                        cbo_OnChange(combo);
                };
                connect(combo->lineEdit(), &QLineEdit::textEdited, this, handler);
                connect(combo, &QComboBox::activated, this, handler);
                // The keys reach the combo box, which hands them to its line edit directly
                // (past any filter on the line edit): watch both.
                combo->installEventFilter(this);
                combo->lineEdit()->installEventFilter(this);
            } else {
                connect(combo->lineEdit(), &QLineEdit::textEdited, this, &TEditorPages::Changed);
                connect(combo, &QComboBox::activated, this, &TEditorPages::Changed);
            }
        }
    }
}

bool TEditorPages::eventFilter(QObject* watched, QEvent* event) {
    // The shortened location follows the field's width.
    if (watched == txtLocation && event->type() == QEvent::Resize &&
        !txtLocation->toolTip().isEmpty())
        SetLocation(txtLocation->toolTip());
    if (event->type() == QEvent::KeyPress &&
        (watched == cboCategory || watched == cboGenre || watched == cboCategory->lineEdit() ||
         watched == cboGenre->lineEdit()))
        LastComboKey = static_cast<QKeyEvent*>(event)->key();
    return QTabWidget::eventFilter(watched, event);
}

QList<QWidget*> TEditorPages::EditorContainers() const {
    return {tabDescription, pnlTransport, tabTimes, tabAuthoring, tabCommercial, tabMusic};
}

void TEditorPages::EnablePageControls(QWidget* container, bool enable) {
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

void TEditorPages::EnableFullTagControls(QWidget* container, bool enable) {
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

void TEditorPages::RestrictToId3v1(bool restricted) {
    Id3v1Only = restricted;
    for (QWidget* container : EditorContainers())
        EnableFullTagControls(container, !restricted);
    ApplyId3v1Limits();
}

void TEditorPages::ApplyId3v1Limits() {
    for (const char* key : {"DISP", "IART", "IALB"}) {
        auto* edit = qobject_cast<QLineEdit*>(Fields.value(QLatin1String(key)));
        const int limit =
            Id3v1Only ? Id3v1TextLimit : TTagCatalogue::FindKey(std::string_view(key))->Limit;
        // A longer value already shown is kept whole; the save then reports it.
        edit->setMaxLength(std::max<int>(limit, int(edit->text().size())));
    }
    auto* year = qobject_cast<QLineEdit*>(Fields.value(QStringLiteral("IYER")));
    if (Id3v1Only) {
        year->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]{0,4}")), year));
        cboGenre->lineEdit()->setValidator(
            new QRegularExpressionValidator(GenreListPattern(), cboGenre->lineEdit()));
    } else {
        for (QLineEdit* edit : {year, cboGenre->lineEdit()}) {
            const QValidator* validator = edit->validator();
            edit->setValidator(nullptr);
            delete validator;
        }
    }
}

QString TEditorPages::FieldText(const QString& key) const {
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

void TEditorPages::SetFieldText(const QString& key, const QString& text) {
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

TEditorValues TEditorPages::Values() const {
    TEditorValues values;
    for (auto it = Fields.cbegin(); it != Fields.cend(); ++it)
        if (it.value() != chkNoFade)
            values.SetField(it.key(), FieldText(it.key()));
    values.NoFade = chkNoFade->isChecked();
    return values;
}

void TEditorPages::ShowValues(const TEditorValues& values) {
    SetFieldText(QStringLiteral("DISP"), values.Field(QStringLiteral("DISP")));
    SetFieldText(QStringLiteral("IART"), values.Field(QStringLiteral("IART")));
    for (const char* key : {"IGNR", "IKEY", "BSTM", "BETM", "BSTW", "BETW", "ISRC"})
        SetFieldText(QLatin1String(key), values.Field(QLatin1String(key)));
    chkNoFade->setChecked(values.NoFade);
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        if (info.Form == TValueForm::Text && !info.IsChunk && info.Page != TTagPage::Description)
            SetFieldText(info.KeyText(), values.Field(info.KeyText()));
    }
}

void TEditorPages::SetLocation(const QString& path) {
    const int width = std::max(0, txtLocation->width() - 20);
    txtLocation->setText(ShortenPath(path, txtLocation->fontMetrics(), width));
    txtLocation->setCursorPosition(0);
    txtLocation->setToolTip(path);
}

void TEditorPages::SetFormat(const QString& text) {
    txtFormat->setText(text);
    txtFormat->setCursorPosition(0);
    txtFormat->setToolTip(text);
}

void TEditorPages::ResetSelections() {
    if (cboCategory->count() > 0)
        cboCategory->setCurrentIndex(0);
    chkNoFade->setChecked(false);
    txtLocation->setToolTip(QString());
    txtFormat->setToolTip(QString());
}

void TEditorPages::ShowValidationFailure(const TEditorValidation::TFailure& failure) {
    setCurrentWidget(tabTimes);
    if (QWidget* field = Fields.value(failure.FocusKey))
        field->setFocus();
}

QStringList TEditorPages::Categories() const {
    QStringList entries;
    for (int i = 0; i < cboCategory->count(); ++i)
        entries.append(cboCategory->itemText(i));
    return entries;
}

void TEditorPages::AddCategory(const QString& category) {
    cboCategory->addItem(category);
}

void TEditorPages::SelectCategory(const QString& text) {
    int index = cboCategory->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        cboCategory->addItem(text);
        index = cboCategory->count() - 1;
    }
    cboCategory->lineEdit()->setMaxLength(std::max<int>(CategoryLimit, int(text.size())));
    cboCategory->setCurrentIndex(index);
    cboCategory->setEditText(text);
}

void TEditorPages::KeepTypedCategory() {
    const QString text = cboCategory->currentText();
    if (cboCategory->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        cboCategory->addItem(text);
}

void TEditorPages::cbo_OnChange(QComboBox* combo) {
    emit Changed();

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

void TEditorPages::cboCategory_OnChange() {
    QLineEdit* edit = cboCategory->lineEdit();
    const QString upper = edit->text().toUpper();
    if (upper != edit->text()) {
        const int caret = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(caret);
    }
    cbo_OnChange(cboCategory);
}

void TEditorPages::SetFieldFromDialog(TMaskedEdit* field, const QString& text) {
    const QString before = field->Text();
    field->SetText(text);
    if (field->Text() != before)
        emit Changed();
}

void TEditorPages::btnSetDate_OnClick(QObject* sender) {
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
    TFrmCalendar calendar(window());
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

void TEditorPages::btnSetTime_OnClick(QObject* sender) {
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
    TFrmTime picker(window());
    picker.move(field->mapToGlobal(QPoint(0, field->height())));
    if (const auto stamp = TextToDateTime(field->Text()))
        picker.SetTime(stamp->Time);
    if (picker.exec() == TPickerDialog::mrSet)
        SetFieldFromDialog(field, StoredTimeText(picker.Time()));
    else
        SetFieldFromDialog(field, QString());
    field->setFocus();
}
