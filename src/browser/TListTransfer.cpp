#include "TListTransfer.h"

#include "ItemProp.h"
#include "PidlHelp.h"
#include "TDropMenu.h"
#include "TDropRule.h"
#include "TFileClipboard.h"
#include "TFileOperationUi.h"
#include "TFileOperations.h"
#include "TMessages.h"
#include "TNoticesOff.h"
#include "TXListView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QTimer>

#include <cstdlib>
#include <memory>

namespace {

bool Exists(const QByteArray& path) {
    TFileStatus status;
    return TFileSystemCalls::Native().Status(path, status) == 0;
}

// The local files of a drag's URL list (other formats are not files).
QList<QByteArray> DroppedPaths(const QMimeData* data) {
    if (!data || !data->hasFormat(TFileClipboard::UriListType))
        return {};
    QMimeData uris;
    uris.setData(TFileClipboard::UriListType, data->data(TFileClipboard::UriListType));
    const auto contents = TFileClipboard::Read(&uris);
    return contents ? contents->Paths : QList<QByteArray>{};
}

} // namespace

TListTransfer::TListTransfer(TXListView& list, QObject* parent) : QObject(parent), List(list) {
    Elapsed.start();
    // Pressing on a selected row keeps the other selected rows until the release, so several
    // rows can be dragged; the view's own drag never starts (its moves are taken here).
    List.setDragEnabled(true);
    List.setAcceptDrops(true);
    List.viewport()->setAcceptDrops(true);
    List.installEventFilter(this);
    Viewport = List.viewport();
    Viewport->installEventFilter(this);

    connect(&List, &TXListView::OnDefaultAction, this,
            [this](TXListView*, const QByteArray& path) { DefaultAction(path); });
    connect(&List, &TXListView::OnContextMenu, this,
            [this](TXListView*, const QPoint& globalPos, const QList<int>& rows) {
                ShowContextMenu(globalPos, rows);
            });
    connect(&List, &TXListView::OnDeleteKey, this, [this](TXListView*) { DeleteSelection(); });
    connect(&List, &TXListView::OnEscapeKey, this, [this](TXListView*) { EscapePressed(); });
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &TListTransfer::ClearCutMarks);
}

void TListTransfer::SetDragRunner(TDragRunner runner) {
    DragRunner = std::move(runner);
}

void TListTransfer::SetClock(TClock clock) {
    Clock = std::move(clock);
}

qint64 TListTransfer::Now() const {
    return Clock ? Clock() : Elapsed.elapsed();
}

QList<QByteArray> TListTransfer::PathsOf(const QList<int>& rows,
                                         const std::function<bool(int row)>& allowed) const {
    const TFolderListModel& model = List.ListModel();
    QList<QByteArray> paths;
    for (int row : rows) {
        if (row < 0 || row >= model.Count() || (allowed && !allowed(row)))
            continue;
        const QByteArray path = model.PathOfRow(row);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

// --- clipboard

void TListTransfer::CopySelection() {
    const TFolderListModel& model = List.ListModel();
    const QList<QByteArray> paths =
        PathsOf(List.SelectedRows(), [&](int row) { return model.Entry(row).CanCopy; });
    if (paths.isEmpty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setMimeData(TFileClipboard::MimeData(paths, false).release());
}

void TListTransfer::CutSelection() {
    const TFolderListModel& model = List.ListModel();
    const QList<QByteArray> paths =
        PathsOf(List.SelectedRows(), [&](int row) { return model.Entry(row).CanDelete; });
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (paths.isEmpty() || !clipboard)
        return;
    clipboard->setMimeData(TFileClipboard::MimeData(paths, true).release());
    // After the clipboard's change notice, which clears the marks of an earlier cut.
    SetCutMarks(paths);
}

void TListTransfer::SetCutMarks(const QList<QByteArray>& paths) {
    CutPaths = paths;
    List.ListModel().SetCutMarks(paths);
}

void TListTransfer::ClearCutMarks() {
    // The platform may announce our own change after the fact: the marks stay while our cut
    // is still on the clipboard. Another program's data is never read here (some hand a list
    // out only once).
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!CutPaths.isEmpty() && clipboard && clipboard->ownsClipboard()) {
        const auto contents = TFileClipboard::Read(clipboard->mimeData());
        if (contents && contents->Mode == TTransferMode::Move && contents->Paths == CutPaths)
            return;
    }
    CutPaths.clear();
    List.ListModel().SetCutMarks({});
}

void TListTransfer::PasteFiles() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto contents = clipboard ? TFileClipboard::Read(clipboard->mimeData()) : std::nullopt;
    if (!contents || !List.IsFileSystemFolder())
        return;
    const TFileOpResult result =
        TFileOperationUi(&List).Transfer(contents->Paths, List.FolderPath(), contents->Mode);
    QList<QByteArray> sources;
    for (const auto& done : result.Done)
        sources.append(done.first);
    // Cut items that have moved are no longer where the clipboard says: as the desktop's file
    // managers do, the clipboard lets go of them.
    if (contents->Mode == TTransferMode::Move && !result.Done.isEmpty())
        clipboard->clear();
    AfterChange(sources);
}

void TListTransfer::EscapePressed() {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear();
    CutPaths.clear();
    ClearCutMarks();
}

// --- deletion

void TListTransfer::DeleteSelection() {
    TFolderListModel& model = List.ListModel();
    QList<QByteArray> paths;
    QItemSelection deselect;
    for (int row : List.SelectedRows()) {
        if (!model.Entry(row).CanDelete)
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

void TListTransfer::AfterChange(const QList<QByteArray>& touched) {
    QList<QByteArray> gone;
    for (const QByteArray& path : touched)
        if (!Exists(path))
            gone.append(path);
    if (!gone.isEmpty())
        emit OnItemsGone(gone);
    // The rows follow at once; the monitor's later notice then finds nothing new.
    List.RefreshFolder(false);
}

// --- item menu and default action

void TListTransfer::DefaultAction(const QByteArray& path) {
    ItemProp::PerformDefaultAction(path, &List);
}

void TListTransfer::ShowContextMenu(const QPoint& globalPos, const QList<int>& rows) {
    if (Drag.Armed())
        return;
    const QList<QByteArray> paths = PathsOf(rows);
    if (paths.isEmpty())
        return;
    const TFolderListModel& model = List.ListModel();
    const bool allowRename = rows.size() == 1 && model.Entry(rows.front()).CanRename;
    const QByteArray folder = TFileOperations::FolderOf(paths.front());
    QList<QByteArray> names;
    for (const QByteArray& path : paths)
        if (TFileOperations::FolderOf(path) == folder)
            names.append(TFileOperations::FileName(path));
    bool renameChosen = false;
    bool cutChosen = false;
    const bool ran = ItemProp::DisplayContextMenu(folder, names, &List, globalPos, allowRename,
                                                  &renameChosen, &cutChosen);
    if (!ran)
        return;
    if (cutChosen) {
        QList<QByteArray> cut;
        for (const QByteArray& name : names)
            cut.append(TFileOperations::Join(folder, name));
        SetCutMarks(cut);
    }
    if (renameChosen) {
        EditSelectedName();
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

// --- renaming in place

void TListTransfer::EditSelectedName() {
    const QList<int> rows = List.SelectedRows();
    if (rows.isEmpty() || Editor)
        return;
    const int row = rows.front();
    const TShellItem& entry = List.ListModel().Entry(row);
    const QByteArray path = List.ListModel().PathOfRow(row);
    if (!entry.CanRename || path.isEmpty())
        return;
    List.scrollTo(List.model()->index(row, 0));
    QRect cell = List.visualRect(List.model()->index(row, 0));
    const int icon = List.iconSize().isValid()
                         ? List.iconSize().width()
                         : List.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &List);
    cell.setLeft(cell.left() + icon + 4);
    EditPath = path;
    Editor = new QLineEdit(List.viewport());
    Editor->setObjectName(QStringLiteral("edtName"));
    const QString name = QFile::decodeName(TFileOperations::FileName(path));
    Editor->setText(name);
    Editor->setGeometry(cell);
    // The name without its extension is selected, as file managers do.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && !entry.IsFolder)
        Editor->setSelection(0, dot);
    else
        Editor->selectAll();
    Editor->installEventFilter(this);
    Editor->show();
    Editor->setFocus(Qt::OtherFocusReason);
}

void TListTransfer::CommitName(bool accept) {
    if (!Editor || Committing)
        return;
    Committing = true;
    QLineEdit* editor = Editor;
    Editor = nullptr;
    const QString text = editor->text();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    List.setFocus(Qt::OtherFocusReason);
    const QByteArray oldPath = EditPath;
    const QByteArray newName = QFile::encodeName(text);
    if (accept && !newName.isEmpty() && newName != TFileOperations::FileName(oldPath)) {
        std::optional<QByteArray> newPath;
        {
            const TNoticesOff quiet(List);
            newPath = TFileOperationUi(&List).Rename(oldPath, newName);
        }
        if (newPath && *newPath != oldPath) {
            UpdateRenamedEntry(oldPath, *newPath);
            emit OnItemRenamed(oldPath, *newPath);
        }
    }
    Committing = false;
}

void TListTransfer::UpdateRenamedEntry(const QByteArray& oldPath, const QByteArray& newPath) {
    TFolderListModel& model = List.ListModel();
    const int row = model.RowOfPath(oldPath);
    // Within a folder the entry keeps its row; elsewhere (the desktop) the folder is re-read.
    if (row < 0 || !model.RenameEntry(row, TFileOperations::FileName(newPath)))
        List.RefreshFolder(false);
}

// --- events: keys, the drag rule, drops

bool TListTransfer::eventFilter(QObject* watched, QEvent* event) {
    if (Editor && watched == Editor) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                CommitName(key != Qt::Key_Escape);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            CommitName(true);
        }
        return false;
    }
    if (watched == &List) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
                EditSelectedName();
                return true;
            }
        }
        return false;
    }
    if (watched != Viewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return MouseEvent(static_cast<QMouseEvent*>(event));
    case QEvent::ContextMenu:
        // Where the platform asks for the menu as the right button goes down, the menu waits
        // for the release: the button may still start a drag.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse &&
            Drag.Armed() && Drag.PressButton() == Qt::RightButton) {
            MenuHeld = true;
            return true;
        }
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return DropEvent(event);
    default:
        return false;
    }
}

void TListTransfer::Disarm() {
    Drag.Disarm();
    MenuHeld = false;
}

bool TListTransfer::MouseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QModelIndex index = List.indexAt(pos);
        Drag.Press(index.isValid() ? index.row() : -1, List.SelectedCount() > 0, pos, Now(),
                   event->button());
        MenuHeld = false;
        return false;
    }
    case QEvent::MouseMove: {
        const int row = Drag.PressRow();
        const bool rowSelected = row >= 0 && List.selectionModel()->isRowSelected(row);
        switch (Drag.Move(pos, Now(), event->buttons() != Qt::NoButton, rowSelected,
                          QApplication::startDragDistance())) {
        case TDragRule::TMove::Ignore:
            return false;
        case TDragRule::TMove::Disarm:
            Disarm();
            return false;
        case TDragRule::TMove::Wait:
            return true;
        case TDragRule::TMove::Drag:
            StartDrag();
            return true;
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const bool showMenu = MenuHeld && event->button() == Qt::RightButton;
        const QPoint global = event->globalPosition().toPoint();
        Disarm();
        if (showMenu)
            QCoreApplication::postEvent(
                List.viewport(), new QContextMenuEvent(QContextMenuEvent::Mouse, pos, global));
        return false;
    }
    default:
        return false;
    }
}

void TListTransfer::StartDrag() {
    const TFolderListModel& model = List.ListModel();
    const QList<QByteArray> paths =
        PathsOf(List.SelectedRows(), [&](int row) { return model.Entry(row).CanCopy; });
    Disarm();
    if (paths.isEmpty())
        return;
    std::unique_ptr<QMimeData> data = TFileClipboard::MimeData(paths, false);
    data->removeFormat(QString::fromLatin1(TFileClipboard::GnomeType));
    auto* drag = new QDrag(List.viewport());
    drag->setMimeData(data.release());
    const Qt::DropAction action =
        DragRunner ? DragRunner(*drag)
                   : drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    drag->deleteLater();
    if (action == Qt::MoveAction) {
        List.selectionModel()->clearSelection();
        AfterChange(paths);
    }
}

bool TListTransfer::DropEvent(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QList<QByteArray> files = DroppedPaths(drop->mimeData());
    if (files.isEmpty() || !List.IsFileSystemFolder()) {
        drop->ignore();
        return true;
    }
    if (event->type() != QEvent::Drop)
        DropButtons = drop->buttons();
    // The source is told "copy": the list moves the files itself when it moves them.
    if (drop->possibleActions() & Qt::CopyAction)
        drop->setDropAction(Qt::CopyAction);
    else
        drop->setDropAction(drop->proposedAction());
    drop->accept();
    if (event->type() == QEvent::Drop) {
        const Qt::MouseButtons buttons = DropButtons | drop->buttons();
        DropButtons = Qt::NoButton;
        // The menu and the transfer run once the drop itself has ended.
        QTimer::singleShot(0, this, [this, files, buttons] { HandleDrop(files, buttons); });
    }
    return true;
}

void TListTransfer::HandleDrop(const QList<QByteArray>& files, Qt::MouseButtons buttons) {
    TTransferMode mode = TDropRule::DefaultMode(files, List.FolderPath());
    if (buttons & (Qt::RightButton | Qt::MiddleButton)) {
        TDropMenu menu(&List);
        const auto chosen = menu.Choose(mode, QCursor::pos());
        if (!chosen)
            return;
        mode = *chosen;
    }
    TransferDroppedFiles(files, mode);
}

void TListTransfer::TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode) {
    if (files.isEmpty() || !List.IsFileSystemFolder())
        return;
    const QByteArray folder = List.FolderPath();
    const TDropRule::TSplit split = TDropRule::SplitSkipped(files, folder);
    if (!split.Transfer.isEmpty()) {
        const TFileOpResult result = TFileOperationUi(&List).Transfer(split.Transfer, folder, mode);
        QList<QByteArray> sources;
        for (const auto& done : result.Done)
            sources.append(done.first);
        AfterChange(sources);
    }
    if (split.Skipped)
        Messages().Information(QStringLiteral("At least one file has been skipped"), &List,
                               QCursor::pos());
}
