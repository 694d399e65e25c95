#include "TListDragDrop.h"

#include "TDropRule.h"
#include "TFileClipboard.h"
#include "TFileOperationUi.h"
#include "TListRowPaths.h"
#include "TMessages.h"
#include "TXListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

#include <memory>

namespace {

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

TListDragDrop::TListDragDrop(TXListView& list, TAfterChange afterChange, QObject* parent)
    : QObject(parent), List(list), AfterChange(std::move(afterChange)) {
    Elapsed.start();
    // Pressing on a selected row keeps the other selected rows until the release, so several
    // rows can be dragged; the view's own drag never starts (its moves are taken here).
    List.setDragEnabled(true);
    List.setAcceptDrops(true);
    List.viewport()->setAcceptDrops(true);
    Viewport = List.viewport();
    Viewport->installEventFilter(this);
}

qint64 TListDragDrop::Now() const {
    return Clock ? Clock() : Elapsed.elapsed();
}

bool TListDragDrop::eventFilter(QObject* watched, QEvent* event) {
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

void TListDragDrop::Disarm() {
    Drag.Disarm();
    MenuHeld = false;
}

bool TListDragDrop::MouseEvent(QMouseEvent* event) {
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

void TListDragDrop::StartDrag() {
    const QList<QByteArray> paths = ListRowPaths(List.ListModel(), List.SelectedRows(), saCanCopy);
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

bool TListDragDrop::DropEvent(QEvent* event) {
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

void TListDragDrop::HandleDrop(const QList<QByteArray>& files, Qt::MouseButtons buttons) {
    TTransferMode mode = TDropRule::DefaultMode(files, List.FolderPath());
    if (buttons & (Qt::RightButton | Qt::MiddleButton)) {
        TDropMenu menu(&List);
        menu.SetRunner(DropMenuRunner);
        const auto chosen = menu.Choose(mode, QCursor::pos());
        if (!chosen)
            return;
        mode = *chosen;
    }
    TransferDroppedFiles(files, mode);
}

void TListDragDrop::TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode) {
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
