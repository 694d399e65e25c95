#pragma once

#include "TFolderListModel.h"
#include "TFolderWhereabouts.h"
#include "TListColumns.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTreeView>

#include <functional>
#include <memory>
#include <vector>

class QProgressBar;
class QStatusBar;
class TDirMonitorThread;
class TProfileFile;

// The folder list of the browser: a report view (Name, Size, Modified and the information
// columns shown) over the entries of one namespace folder, with the folder's monitor. Row
// texts come from the entries only when painted, and the details of a row are read just
// before it is first painted, so a large folder opens without reading its audio files.
//
// Events: OnFolderChange after every change of folder; OnSelectionChange with the first
// selected item's path bytes and whether it is a file-system file. Keys: Enter opens the
// selection, Escape clears it, Delete and the context menu are announced for their handlers.
class TXListView : public QTreeView {
    Q_OBJECT

public:
    explicit TXListView(QWidget* parent = nullptr);
    ~TXListView() override;

    TFolderListModel& ListModel() { return *Model; }
    const TFolderListModel& ListModel() const { return *Model; }

    // --- columns and their settings
    // Replaces the columns (the three fixed ones first); widths of -1 keep the defaults.
    void SetColumns(std::vector<TListColumn> columns);
    // The columns with their current widths.
    std::vector<TListColumn> Columns() const;
    // "Columns" and "ColumnWidths" from the settings file, as at start-up.
    void ReadColumnSettings(const TProfileFile& settings);
    // "ColumnWidths" into the settings file, as at the end.
    bool WriteColumnWidths(TProfileFile& settings) const;

    // --- navigation
    // Shows the folder of an absolute list (copied; the caller keeps its own; null does
    // nothing; the empty list is the desktop). Selects row 0 when there is one, then raises
    // OnFolderChange, then OnSelectionChange("", true) when no row is selected.
    void BrowseTo(PCItemIDList absolute);
    // Parses a path (bytes) on the desktop folder; shows Computer when that fails.
    void BrowseToPath(const QByteArray& path);
    // Re-reads the shown folder: entries still there stay (with their details and their
    // selection), new items are added at the end (or the rows re-sorted), vanished ones go.
    void RefreshFolder(bool resort);
    TPidl FolderPIDL() const { return Model->FolderPIDL(); }
    PCItemIDList FolderID() const { return Model->FolderID(); }
    const QByteArray& FolderPath() const { return Model->FolderPath(); }
    const QByteArray& FolderParsingName() const { return Model->FolderParsingName(); }
    bool IsFileSystemFolder() const { return Model->IsFileSystemFolder(); }
    // Switches the folder monitor's notices on or off (around the program's own writes).
    void SetChangeNotices(bool on);
    TDirMonitorThread* FolderMonitor() const { return Monitor.get(); }
    // Where the monitor's notice (MSG_REFRESH_FOLDER) goes; by default this list, which
    // re-reads the folder without re-sorting.
    void SetNoticeTarget(QObject* target) { NoticeTarget = target; }

    // --- details
    void ReadEntryDetails(int first, int last);
    void MarkAllStale();
    // The first selected row is read again (after its file was saved).
    void RefreshSelectedEntry();
    // The row of this file is read again (after the file was saved, wherever the selection is).
    void RefreshEntry(const QByteArray& path);

    // --- selection
    // Selected rows in row order.
    QList<int> SelectedRows() const;
    int SelectedCount() const;
    // Selects one row (and makes it current); -1 clears the selection.
    void SelectRow(int row);

    // The status bar that hosts the progress bar of long detail reads.
    void SetStatusBar(QStatusBar* statusBar);
    QProgressBar* ReadProgress() const { return Progress; }
    // The same progress bar for other long work on the rows (batch tagging): shown, moved to
    // a percentage (the window keeps painting), removed.
    void BeginProgress() { ProgressBegin(); }
    void StepProgress(int percent) { ProgressStep(percent); }
    void EndProgress() { ProgressEnd(); }
    // The image of an icon index of the namespace's icon table.
    void SetIconLookup(std::function<QIcon(int)> lookup);

signals:
    void OnFolderChange(TXListView* sender);
    void OnSelectionChange(TXListView* sender, const QByteArray& path, bool isFile);
    // A file's default action was asked for (double click, Enter).
    void OnDefaultAction(TXListView* sender, const QByteArray& path);
    // The context menu was asked for on selected rows (rows in row order).
    void OnContextMenu(TXListView* sender, const QPoint& globalPos, const QList<int>& rows);
    // Delete pressed (not while a name is edited); Escape pressed (after the selection went).
    void OnDeleteKey(TXListView* sender);
    void OnEscapeKey(TXListView* sender);

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    // While a pass with progress runs: Escape cancels it, other input is dropped (a click
    // queued for later would act on rows that have moved).
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    TFolderListModel* Model;
    std::unique_ptr<TDirMonitorThread> Monitor;
    QPointer<QObject> NoticeTarget;
    QPointer<QStatusBar> StatusBar;
    QProgressBar* Progress = nullptr;
    bool InPaintRead = false;
    bool CancelPass = false;  // Escape arrived during the running pass
    bool CancelTaken = false; // ... and the pass ended on it
    bool RefreshPending = false;
    bool PendingResort = false;
    qint64 LastProgressPaint = 0;
    QString FolderErrorText; // the reason shown for a folder that could not be read
    // The shown folder's identity, to follow it when another program renames or deletes it.
    std::optional<TFolderWhereabouts::TIdentity> FolderIdentity;

    void SelectionChanged();
    // The reason in the status bar when the shown folder could not be read; else away.
    void ShowFolderError();
    // Browses to where the shown folder went when it was renamed or deleted; true when it did.
    bool FollowMovedFolder();
    // Opens the selected rows in row order: files get their default action, the first
    // folder is shown and ends the walk.
    void OpenSelection(bool firstOnly);
    void ReadVisibleRows();
    void ProgressBegin();
    void ProgressStep(int percent);
    void ProgressEnd();
};
