#pragma once

#include "ItemIdList.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

class TBrowserPanel;
class TEditorLink;
class TXListView;
struct TStartFolder;

// The browser's handlers: they keep the folder combo box, the list and the toolbar in step
// after every change of folder or selection, move through the namespace (combo box, Up,
// Refresh, Go to selection, Explore), run Find, Find Next and Select Columns, follow the
// clipboard for Paste, and make the editor follow the selected file (and let go of it when the
// list deletes or moves it away).
class TBrowserNavigation : public QObject {
    Q_OBJECT

public:
    TBrowserNavigation(TBrowserPanel& panel, QObject* parent = nullptr);

    void SetEditor(TEditorLink* editor) { Editor = editor; }
    // How Explore opens a folder in the desktop's file manager: QDesktopServices by default;
    // tests put their own here. The answer (opened or not) is ignored.
    std::function<bool(const QUrl&)> OpenFolderUrl;

    // The first folder shown, as chosen from the settings.
    void BrowseToStart(const TStartFolder& start);
    // The "Folder" value for the folder shown now ("" before the first).
    QString FolderSetting() const;

    // --- handlers
    void ListView_OnFolderChange(TXListView* sender);
    void ListView_OnSelectionChange(TXListView* sender, const QByteArray& path, bool isFile);
    void cboSystem_OnChange();
    void ActionUp_OnExecute();
    void ActionRefresh_OnExecute();
    void ActionGotoSelection_OnExecute();
    void ActionExplore_OnExecute();
    void ActionFind_OnExecute();
    void ActionFindNext_OnExecute();
    void ActionSelectColumns_OnExecute();
    // The clipboard changed: Paste follows whether it offers local files.
    void Clipboard_OnChange();

    // The list deleted or moved these items away, or renamed one: the editor lets go of its
    // file, or follows it to its new name.
    void Transfer_OnItemsGone(const QList<QByteArray>& paths);
    void Transfer_OnItemRenamed(const QByteArray& oldPath, const QByteArray& newPath);
    void BatchTagging_OnFilesWritten(const QList<QByteArray>& paths, int column);
    void Loudness_OnFilesWritten(const QList<QByteArray>& paths);

    // Clears the selection and returns the order to the Name column.
    void ResetView();
    // Scrolls the first selected row fully into view, or the next selected one when the first
    // is already the top row.
    void ScrollToSelection();

    // Whether the editor loads a file with this path (".wav", ".mp2", ".mp3" in any case).
    static bool IsEditorFile(const QByteArray& path);

private:
    TBrowserPanel& Panel;
    TEditorLink* Editor = nullptr;
    bool Reverting = false; // the selection is being put back on the edited file

    // After a wanted save failed: the selection goes back to the edited file's row.
    void ReturnToEditedFile();
    void UpdateSelectionActions();
};
