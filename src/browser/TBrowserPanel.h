#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QFrame;
class QStatusBar;
class QToolBar;
class QToolButton;
class TBatchTagSelection;
class TBrowserNavigation;
class TEditorLink;
class TFavoritesMenu;
class TListDelegate;
class TListSearch;
class TListSorter;
class TListStatus;
class TListTransfer;
class TLoudnessMeasure;
class TProfileFile;
class TSortHeaderView;
class TSystemComboBox;
class TValidityFilter;
class TXListView;

// The folder browser on the left of the main window (pnlBrowser): the folder combo box, the
// toolbar with the browser's actions, the folder list and the status bar that hosts the list's
// progress bar. The navigation handlers (TBrowserNavigation) keep them in step and run the
// find and column actions; the editor is reached only through TEditorLink. The list's order and
// drawing (Sorter), its searches (Search), file management (Transfer) and the favorites menu on
// btnFavorites are parts of the panel.
class TBrowserPanel : public QWidget {
    Q_OBJECT

public:
    // Toolbar geometry.
    static constexpr int ButtonWidth = 27;
    static constexpr int ButtonHeight = 24;
    static constexpr int ToolBarIndent = 10;
    static constexpr int SeparatorWidth = 8;

    explicit TBrowserPanel(QWidget* parent = nullptr);
    ~TBrowserPanel() override;

    TBrowserNavigation& Navigation() { return *Nav; }
    // The editor the selection drives (not owned); null leaves it alone.
    void SetEditor(TEditorLink* editor);
    // The window's settings file (not owned): the column choice and the favorites' edit
    // dialog write to it. Null until browser mode starts.
    void SetSettings(TProfileFile* settings);
    TProfileFile* Settings() const { return SettingsFile; }
    // A message in the status bar under the list, where the toolbar's hints do not reach.
    void ShowStatus(const QString& text);

    // Browser mode's start from the window's settings file, which is kept (SetSettings): the
    // list's columns and the favorites.
    void ReadSettings(TProfileFile& settings);
    // Opens the start folder (`folder`: the stored "Folder", "" when none) sorted by the
    // stored sort column; a big folder fills with the list's progress.
    void OpenStartFolder(const QString& folder);
    // What the browser keeps at the end of a run beside the window's own values.
    struct TStoredValues {
        QString Folder;          // the shown folder's "Folder" value; "" keeps the stored one
        QList<int> ColumnWidths; // every list column's width, the fixed ones included
    };
    // The values the window stores with its own.
    TStoredValues StoredValues() const;
    // Writes the browser's own sections (the favorites) into the settings file, in the
    // window's batch after its values.
    void WriteSettings(TProfileFile& settings) const;

    // The editor writes into the shown folder: the folder monitor's notices go off (false)
    // while it writes and on again (true) after.
    void SetChangeNotices(bool on);
    // The editor stored this file: its row is read again.
    void RefreshEntry(const QByteArray& path);
    // The keyboard focus to the list.
    void FocusList();

    TSystemComboBox* cboSystem;
    QToolBar* ToolBarBrowser;
    QFrame* ToolBarFrame;    // holds the bars: their indent and the edge line below them
    QToolBar* ToolBarFilter; // "Show:" and the validity filter's box
    TXListView* ListView;
    QStatusBar* StatusBar;
    QToolButton* btnFavorites;

    QAction* ActionUp;
    QAction* ActionRefresh;
    QAction* ActionGotoSelection;
    QAction* ActionFind;
    QAction* ActionFindNext;
    QAction* ActionCopy;
    QAction* ActionCut;
    QAction* ActionPaste;
    QAction* ActionDelete;
    QAction* ActionSelectColumns;
    QAction* ActionAddToFavorites; // Favorites' own commands
    QAction* ActionEditFavorites;
    QAction* ActionExplore;
    QAction* ActionMeasureLoudness; // on the second bar and in the item menu
    QAction* ActionWriteReplayGain; // checkable, in the measure button's menu

    // The list's file management (the Copy, Cut, Paste and Delete actions run its slots) and
    // batch tagging from its header.
    TListTransfer* Transfer;
    TBatchTagSelection* BatchTagging;
    // The list's sorting, and its header and row delegate, which show the sort; find and
    // type-ahead over it.
    TListSorter* Sorter;
    TSortHeaderView* SortHeader;
    TListDelegate* RowDelegate;
    TListSearch* Search;
    // The list's progress, its cancelling by Escape and its folder messages in the status bar.
    TListStatus* ListStatus;
    // "Measure loudness" on the selected files.
    TLoudnessMeasure* Loudness;
    // The validity filter's box on the toolbar and its count in the status bar.
    TValidityFilter* Validity;
    // PopupMenuFavorites on btnFavorites; the window loads it at start and saves it at the end.
    TFavoritesMenu* Favorites;

private:
    QAction* MakeAction(const char* name, const QString& hint, const QString& caption, int image);
    void AddButton(QAction* action);
    void AddSeparator();
    // Gives the list its sort header and row delegate, which follow the sorter's state.
    void InstallSortLook();

    TBrowserNavigation* Nav;
    TProfileFile* SettingsFile = nullptr;
    bool WriteReplayGain = false; // "Loudness"/"WriteReplayGain": MPEG files get ReplayGain
    void SetWriteReplayGain(bool on);
};
