#include "TListItemMenu.h"

#include "TFileOperationUi.h"
#include "TFileOperations.h"
#include "TListClipboard.h"
#include "TListDragDrop.h"
#include "TListRename.h"
#include "TListRowPaths.h"
#include "TXListView.h"

namespace {

bool Exists(const QByteArray& path) {
    TFileStatus status;
    return TFileSystemCalls::Native().Status(path, status) == 0;
}

} // namespace

TListItemMenu::TListItemMenu(TXListView& list, TListClipboard& clipboard, TListRename& rename,
                             const TListDragDrop& dragDrop, TAfterChange afterChange,
                             QObject* parent)
    : QObject(parent), List(list), Clipboard(clipboard), Rename(rename), DragDrop(dragDrop),
      AfterChange(std::move(afterChange)) {
    connect(&List, &TXListView::OnDefaultAction, this, [this](TXListView*, const QByteArray& path) {
        ItemProp::PerformDefaultAction(path, &List, Runners);
    });
    connect(&List, &TXListView::OnContextMenu, this,
            [this](TXListView*, const QPoint& globalPos, const QList<int>& rows) {
                ShowContextMenu(globalPos, rows);
            });
    connect(&List, &TXListView::OnDeleteKey, this, [this](TXListView*) { DeleteSelection(); });
}

void TListItemMenu::DeleteSelection() {
    TFolderListModel& model = List.ListModel();
    QList<QByteArray> paths;
    QItemSelection deselect;
    for (int row : List.SelectedRows()) {
        if ((model.Capabilities(row) & saCanDelete) == 0)
            continue;
        deselect.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
        const QByteArray path = model.PathOfRow(row);
        if (!path.isEmpty())
            paths.append(path);
    }
    // The monitor must see the deletions.
    List.SetChangeNotices(true);
    List.selectionModel()->select(deselect, QItemSelectionModel::Deselect);
    const TFileOpResult result = TFileOperationUi(&List).DeleteToTrash(paths);
    List.SetChangeNotices(true);
    QList<QByteArray> gone;
    for (const auto& done : result.Done)
        gone.append(done.first);
    AfterChange(gone);
}

void TListItemMenu::ShowContextMenu(const QPoint& globalPos, const QList<int>& rows) {
    if (DragDrop.Armed())
        return;
    const TFolderListModel& model = List.ListModel();
    const QList<QByteArray> paths = ListRowPaths(model, rows);
    if (paths.isEmpty())
        return;
    const bool allowRename =
        rows.size() == 1 && (model.Capabilities(rows.front()) & saCanRename) != 0;
    const QByteArray folder = TFileOperations::FolderOf(paths.front());
    QList<QByteArray> names;
    for (const QByteArray& path : paths)
        if (TFileOperations::FolderOf(path) == folder)
            names.append(TFileOperations::FileName(path));
    bool renameChosen = false;
    bool cutChosen = false;
    const bool ran = ItemProp::DisplayContextMenu(folder, names, &List, globalPos, allowRename,
                                                  &renameChosen, &cutChosen, Runners, ExtraActions);
    if (!ran)
        return;
    if (cutChosen) {
        QList<QByteArray> cut;
        for (const QByteArray& name : names)
            cut.append(TFileOperations::Join(folder, name));
        Clipboard.SetCutMarks(cut);
    }
    if (renameChosen) {
        Rename.EditSelectedName();
        return;
    }
    // The menu's Delete: rows of items that went leave the selection (and the editor).
    QItemSelection deselect;
    QList<QByteArray> gone;
    for (int row : rows) {
        const QByteArray path = model.PathOfRow(row);
        if (!path.isEmpty() && !Exists(path)) {
            gone.append(path);
            deselect.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
        }
    }
    if (gone.isEmpty())
        return;
    List.selectionModel()->select(deselect, QItemSelectionModel::Deselect);
    AfterChange(gone);
}
