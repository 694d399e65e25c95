#pragma once

#include "TFolderListModel.h"
#include "TFolderRefresher.h"
#include "TListColumns.h"

#include <QByteArray>
#include <QList>
#include <QTreeView>

#include <functional>
#include <memory>
#include <vector>

class TProfileFile;

// The folder list of the browser: a report view (Name, Size, Modified and the information
// columns shown) over the entries of one namespace folder, kept in step with the folder by
// the model's refresher. Row texts come from the entries only when painted, and the details of a
// row are read just before it is first painted, so a large folder opens without reading its audio
// files.
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
    void SetChangeNotices(bool on) { Refresher->SetChangeNotices(on); }
    // What keeps the model in step with its folder (owned by the model).
    TFolderRefresher& FolderRefresher() const { return *Refresher; }

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

    // Whether a name is being edited in the list.
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    // Whether the rows about to be painted are being read (a pass's progress then waits for
    // the paint rather than letting the window repaint).
    bool IsPaintReading() const { return InPaintRead; }
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
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    TFolderListModel* Model;
    TFolderRefresher* Refresher;
    bool InPaintRead = false;

    void SelectionChanged();
    // Opens the selected rows in row order: files get their default action, the first
    // folder is shown and ends the walk.
    void OpenSelection(bool firstOnly);
    void ReadVisibleRows();
    // Continues the row delegate's sort-column tint below the last row.
    void PaintBelowRows();
};
