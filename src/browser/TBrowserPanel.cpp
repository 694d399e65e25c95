#include "TBrowserPanel.h"

#include "TBatchTagSelection.h"
#include "TBrowserIcons.h"
#include "TBrowserNavigation.h"
#include "TFavoritesMenu.h"
#include "TListDelegate.h"
#include "TListItemMenu.h"
#include "TListSearch.h"
#include "TListSorter.h"
#include "TListStatus.h"
#include "TListTransfer.h"
#include "TLoudnessMeasure.h"
#include "TLoudnessWriter.h"
#include "TPathText.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TSortHeaderView.h"
#include "TStartFolder.h"
#include "TSystemComboBox.h"
#include "TSystemImageList.h"
#include "TTagCache.h"
#include "TValidityFilter.h"
#include "TXListView.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TBrowserPanel::TBrowserPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlBrowser"));

    cboSystem = new TSystemComboBox(this);

    ToolBarBrowser = new QToolBar(this);
    ToolBarBrowser->setObjectName(QStringLiteral("ToolBarBrowser"));
    ToolBarBrowser->setMovable(false);
    ToolBarBrowser->setFloatable(false);
    ToolBarBrowser->setIconSize(QSize(16, 16));
    ToolBarBrowser->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Buttons side by side as designed, so all fifteen fit the panel's designed width.
    ToolBarBrowser->layout()->setSpacing(0);
    // A flat bar. Its indent and the edge line below it belong to the frame around it: a
    // style sheet's padding on the bar itself would pad every side, and a style sheet
    // replaces the bar's own contents margins.
    ToolBarBrowser->setStyleSheet(
        QStringLiteral("QToolBar { border: none; padding: 0px; spacing: 0px; }"));
    ToolBarFrame = new QFrame(this);
    ToolBarFrame->setObjectName(QStringLiteral("ToolBarFrame"));
    ToolBarFrame->setStyleSheet(QStringLiteral(
        "QFrame#ToolBarFrame { border: none; border-bottom: 1px solid palette(mid); }"));
    auto* toolBarLayout = new QVBoxLayout(ToolBarFrame);
    toolBarLayout->setContentsMargins(ToolBarIndent, 0, 0, 1);
    toolBarLayout->setSpacing(0);
    toolBarLayout->addWidget(ToolBarBrowser);

    ListView = new TXListView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->SetIconLookup([](int index) { return TSystemImageList::Instance().Icon(index); });
    Sorter = new TListSorter(*ListView);
    // The header and row delegate before any column is set.
    InstallSortLook();
    Search = new TListSearch(*ListView, Sorter);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setMinimumHeight(19);
    ListStatus = new TListStatus(*ListView, *StatusBar, this);

    ActionUp = MakeAction("ActionUp", QStringLiteral("Go up to parent folder"), {}, 0);
    // The file managers' keys for Up, only while the list has the focus (elsewhere Backspace
    // edits text).
    auto* upKeys = new QAction(ListView);
    upKeys->setShortcuts({QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)});
    upKeys->setShortcutContext(Qt::WidgetShortcut);
    ListView->addAction(upKeys);
    connect(upKeys, &QAction::triggered, ActionUp, &QAction::trigger);
    ActionRefresh = MakeAction("ActionRefresh", QStringLiteral("Refresh current folder"), {}, 1);
    ActionRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    ActionGotoSelection =
        MakeAction("ActionGotoSelection", QStringLiteral("Go to selected item"), {}, 8);
    ActionFind = MakeAction("ActionFind", QStringLiteral("Find"), {}, 10);
    ActionFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    ActionFindNext = MakeAction("ActionFindNext", QStringLiteral("Find Next"), {}, 11);
    ActionFindNext->setShortcut(QKeySequence(Qt::Key_F3));
    ActionFindNext->setEnabled(false);
    ActionCopy = MakeAction("ActionCopy", QStringLiteral("Copy"), {}, 2);
    ActionCut = MakeAction("ActionCut", QStringLiteral("Cut"), {}, 3);
    ActionPaste = MakeAction("ActionPaste", QStringLiteral("Paste"), {}, 4);
    ActionDelete = MakeAction("ActionDelete", QStringLiteral("Delete"), {}, 9);
    ActionSelectColumns =
        MakeAction("ActionSelectColumns", QStringLiteral("Select Columns"), {}, 5);
    // The favorites menu's commands are the panel's actions, with the toolbar's hint and image.
    Favorites = new TFavoritesMenu(this);
    ActionAddToFavorites = Favorites->ActionAddToFavorites;
    ActionAddToFavorites->setToolTip(QStringLiteral("Add current folder to favorites"));
    ActionAddToFavorites->setStatusTip(ActionAddToFavorites->toolTip());
    ActionAddToFavorites->setIcon(TBrowserIcons::Image(6, style()));
    ActionEditFavorites = Favorites->ActionEditFavorites;
    Favorites->IsFileSystemFolder = [this] { return ListView->IsFileSystemFolder(); };
    Favorites->FolderParsingName = [this] {
        return TPathText::ToText(ListView->FolderParsingName());
    };
    Favorites->BrowseToPath = [this](const QString& path) {
        ListView->BrowseToPath(TPathText::FromText(path));
        ListView->setFocus(Qt::OtherFocusReason);
    };
    Favorites->ListControl = ListView;
    ActionExplore = MakeAction("ActionExplore", QStringLiteral("Explore current folder"),
                               QStringLiteral("Explore this folder"), 7);

    AddButton(ActionUp);
    AddButton(ActionRefresh);
    AddButton(ActionGotoSelection);
    AddButton(ActionFind);
    AddButton(ActionFindNext);
    AddSeparator();
    AddButton(ActionCopy);
    AddButton(ActionCut);
    AddButton(ActionPaste);
    AddButton(ActionDelete);
    AddSeparator();
    AddButton(ActionSelectColumns);
    // The face adds the current folder; the arrow opens the favorites menu.
    btnFavorites = new QToolButton(ToolBarBrowser);
    Favorites->AttachTo(btnFavorites);
    btnFavorites->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnFavorites->setAutoRaise(true);
    btnFavorites->setFixedHeight(ButtonHeight);
    ToolBarBrowser->addWidget(btnFavorites);
    AddSeparator();
    AddButton(ActionExplore);

    // The validity filter on a bar of its own under the buttons (the fifteen buttons already
    // fill the panel's designed width), in the same frame.
    ToolBarFilter = new QToolBar(this);
    ToolBarFilter->setObjectName(QStringLiteral("ToolBarFilter"));
    ToolBarFilter->setMovable(false);
    ToolBarFilter->setFloatable(false);
    ToolBarFilter->setStyleSheet(ToolBarBrowser->styleSheet());
    auto* showLabel = new QLabel(QStringLiteral("Show: "), ToolBarFilter);
    ToolBarFilter->addWidget(showLabel);
    Validity = new TValidityFilter(*ListView, *ToolBarFilter, *StatusBar);
    showLabel->setBuddy(Validity->cboValidity);
    ToolBarFilter->addSeparator();
    ActionMeasureLoudness = MakeAction("ActionMeasureLoudness",
                                       QStringLiteral("Measure the loudness of the selected files"),
                                       QStringLiteral("Measure loudness"), -1);
    ToolBarFilter->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBarFilter->addAction(ActionMeasureLoudness);
    // Whether MPEG files get ReplayGain frames, in the button's menu (off unless chosen).
    ActionWriteReplayGain = new QAction(QStringLiteral("Write ReplayGain to MPEG files"), this);
    ActionWriteReplayGain->setObjectName(QStringLiteral("ActionWriteReplayGain"));
    ActionWriteReplayGain->setCheckable(true);
    connect(ActionWriteReplayGain, &QAction::toggled, this, &TBrowserPanel::SetWriteReplayGain);
    if (auto* button =
            qobject_cast<QToolButton*>(ToolBarFilter->widgetForAction(ActionMeasureLoudness))) {
        auto* menu = new QMenu(button);
        menu->addAction(ActionWriteReplayGain);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(cboSystem);
    toolBarLayout->addWidget(ToolBarFilter);
    layout->addWidget(ToolBarFrame);
    layout->addWidget(ListView, 1);
    layout->addWidget(StatusBar);

    Transfer = new TListTransfer(*ListView, this);
    BatchTagging = new TBatchTagSelection(*ListView, this);
    BatchTagging->SetProgress(ListStatus);
    Loudness = new TLoudnessMeasure(*ListView, this);
    Loudness->SetProgress(ListStatus);
    Loudness->SetWriter([this](const QByteArray& path, const TLoudnessFigures& figures) {
        return TLoudnessWriter::Write(path, figures, WriteReplayGain);
    });
    connect(Loudness, &TLoudnessMeasure::OnStatus, this, &TBrowserPanel::ShowStatus);
    connect(ActionMeasureLoudness, &QAction::triggered, Loudness,
            &TLoudnessMeasure::MeasureSelection);
    Transfer->ItemMenu().SetExtraActions({ActionMeasureLoudness});
    // After the parts whose signals it handles.
    Nav = new TBrowserNavigation(*this, this);
    connect(ActionCopy, &QAction::triggered, Transfer, &TListTransfer::CopySelection);
    connect(ActionCut, &QAction::triggered, Transfer, &TListTransfer::CutSelection);
    connect(ActionPaste, &QAction::triggered, Transfer, &TListTransfer::PasteFiles);
    connect(ActionDelete, &QAction::triggered, Transfer, &TListTransfer::DeleteSelection);
}

TBrowserPanel::~TBrowserPanel() {
    // The parts that filter the list's events go before the list: its own destruction still
    // sends events to them, when it is no longer a view.
    delete Nav;
    delete Loudness;
    delete BatchTagging;
    delete Transfer;
    delete Search;
    delete Sorter;
    delete ListStatus;
}

void TBrowserPanel::InstallSortLook() {
    SortHeader = new TSortHeaderView(ListView);
    RowDelegate = new TListDelegate(ListView);
    // The new header takes over the columns with their widths.
    const std::vector<TListColumn> columns = ListView->Columns();
    SortHeader->setStretchLastSection(false);
    SortHeader->setSectionsMovable(false);
    ListView->setHeader(SortHeader);
    ListView->SetColumns(columns);
    // After setHeader, which makes sections clickable only for the view's own sorting.
    SortHeader->setSectionsClickable(true);
    ListView->setItemDelegate(RowDelegate);
    connect(SortHeader, &QHeaderView::sectionClicked, Sorter, &TListSorter::SortByColumn);
    auto show = [this] {
        RowDelegate->SetSortColumn(Sorter->SortColumn());
        SortHeader->SetSortSection(Sorter->SortColumn());
        SortHeader->SetSortAscending(Sorter->SortAscending());
        SortHeader->SetSortCaption(Sorter->SortCaption());
        SortHeader->viewport()->update();
    };
    connect(Sorter, &TListSorter::SortChanged, this, show);
    show();
}

void TBrowserPanel::SetEditor(TEditorLink* editor) {
    Nav->SetEditor(editor);
}

void TBrowserPanel::SetSettings(TProfileFile* settings) {
    SettingsFile = settings;
    Favorites->Settings = settings;
    Validity->SetSettings(settings);
    // "Browser"/"TagCache" (on unless 0) and CUEMARK_NO_CACHE=1: the persistent cache of
    // what the list reads from audio files.
    const bool cacheOn =
        settings == nullptr ||
        settings->ReadInteger(QStringLiteral("Browser"), QStringLiteral("TagCache"), 1) != 0;
    ListView->ListModel().SetTagCache(cacheOn ? TTagCache::Shared() : nullptr);
    WriteReplayGain =
        settings != nullptr && settings->ReadInteger(QStringLiteral("Loudness"),
                                                     QStringLiteral("WriteReplayGain"), 0) != 0;
    const QSignalBlocker quiet(ActionWriteReplayGain);
    ActionWriteReplayGain->setChecked(WriteReplayGain);
}

void TBrowserPanel::SetWriteReplayGain(bool on) {
    WriteReplayGain = on;
    if (SettingsFile != nullptr)
        SettingsFile->WriteInteger(QStringLiteral("Loudness"), QStringLiteral("WriteReplayGain"),
                                   on ? 1 : 0);
}

void TBrowserPanel::ReadSettings(TProfileFile& settings) {
    SetSettings(&settings);
    ListView->ReadColumnSettings(settings);
    const TRegistryStore registry;
    Favorites->Load(registry, settings);
}

void TBrowserPanel::OpenStartFolder(const QString& folder) {
    const TRegistryStore registry;
    Nav->BrowseToStart(TStartFolder::Choose(folder, registry));
    // "Main"/"SortColumn": a column number as in "Columns"; when that column is shown, the
    // start folder opens sorted by it (ascending). Read only here, never written.
    const int sortNumber =
        SettingsFile == nullptr
            ? 0
            : SettingsFile->ReadInteger(QStringLiteral("Main"), QStringLiteral("SortColumn"), 0);
    const std::vector<TListColumn> columns = ListView->Columns();
    for (size_t i = 3; sortNumber > 0 && i < columns.size(); ++i)
        if (columns[i].Number == sortNumber) {
            Sorter->SortByColumn(static_cast<int>(i));
            break;
        }
}

TBrowserPanel::TStoredValues TBrowserPanel::StoredValues() const {
    TStoredValues values;
    values.Folder = Nav->FolderSetting();
    for (const TListColumn& column : ListView->Columns())
        values.ColumnWidths.append(column.Width);
    return values;
}

void TBrowserPanel::WriteSettings(TProfileFile& settings) const {
    Favorites->SaveFavorites(settings);
}

void TBrowserPanel::SetChangeNotices(bool on) {
    ListView->SetChangeNotices(on);
}

void TBrowserPanel::RefreshEntry(const QByteArray& path) {
    ListView->RefreshEntry(path);
}

void TBrowserPanel::FocusList() {
    ListView->setFocus(Qt::ActiveWindowFocusReason);
}

QAction* TBrowserPanel::MakeAction(const char* name, const QString& hint, const QString& caption,
                                   int image) {
    auto* action = new QAction(this);
    action->setObjectName(QLatin1String(name));
    action->setText(caption.isEmpty() ? hint : caption);
    action->setToolTip(hint.isEmpty() ? caption : hint);
    action->setStatusTip(hint);
    if (image >= 0)
        action->setIcon(TBrowserIcons::Image(image, style()));
    // Shortcuts work anywhere in the window while the browser is shown.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
}

void TBrowserPanel::ShowStatus(const QString& text) {
    StatusBar->showMessage(text);
}

void TBrowserPanel::AddButton(QAction* action) {
    ToolBarBrowser->addAction(action);
    if (QWidget* button = ToolBarBrowser->widgetForAction(action))
        button->setFixedSize(ButtonWidth, ButtonHeight);
}

void TBrowserPanel::AddSeparator() {
    auto* gap = new QFrame(ToolBarBrowser);
    gap->setFrameShape(QFrame::VLine);
    gap->setFrameShadow(QFrame::Sunken);
    gap->setFixedSize(SeparatorWidth, ButtonHeight - 4);
    ToolBarBrowser->addWidget(gap);
}
