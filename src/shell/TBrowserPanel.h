#pragma once

#include <QWidget>

class QAction;
class QStatusBar;
class QToolBar;
class QToolButton;
class TBatchTagSelection;
class TBrowserNavigation;
class TEditorLink;
class TListTransfer;
class TSystemComboBox;
class TXListView;

// The folder browser on the left of the main window (pnlBrowser): the folder combo box, the
// toolbar with the browser's actions, the folder list and the status bar that hosts the list's
// progress bar. The navigation handlers (TBrowserNavigation) keep them in step; the editor is
// reached only through TEditorLink. Actions whose features are handled elsewhere (clipboard,
// find, columns, favorites) are here with their hints, shortcuts and enabled state; their
// owners connect to triggered().
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

    TSystemComboBox* cboSystem;
    QToolBar* ToolBarBrowser;
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
    QAction* ActionAddToFavorites;
    QAction* ActionEditFavorites;
    QAction* ActionExplore;

    // The list's file management (the Copy, Cut, Paste and Delete actions run its slots) and
    // batch tagging from its header.
    TListTransfer* Transfer;
    TBatchTagSelection* BatchTagging;

private:
    QAction* MakeAction(const char* name, const QString& hint, const QString& caption, int image);
    void AddButton(QAction* action);
    void AddSeparator();

    TBrowserNavigation* Nav;
};
