#pragma once

#include "TDragRule.h"
#include "TTransferMode.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class QLineEdit;
class TListClipboard;
class TListDragDrop;
class TListItemMenu;
class TListRename;
class TXListView;

// The folder list as a small file manager for the shown folder, made of its parts: the
// clipboard with its cut marks (TListClipboard), dragging out and dropping in (TListDragDrop),
// renaming in place (TListRename), and the item menu with the default action and Delete
// (TListItemMenu). It gives the toolbar its actions and announces what left the folder. The
// parts attach to the list through the list's public interface, its signals and event filters.
class TListTransfer : public QObject {
    Q_OBJECT

public:
    explicit TListTransfer(TXListView& list, QObject* parent = nullptr);

    TListClipboard& Clipboard() { return *ClipboardPart; }
    TListDragDrop& DragDrop() { return *DragDropPart; }
    TListRename& Rename() { return *RenamePart; }
    TListItemMenu& ItemMenu() { return *ItemMenuPart; }

    // A mouse button went down over the rows and a drag may follow.
    bool DragArmed() const;
    // The line edit of a running rename, null when none.
    QLineEdit* NameEditor() const;

    // Time a button must be held before a move outside the drag distance starts a drag.
    static constexpr qint64 DragDelayMs = TDragRule::DelayMs;

public slots:
    // The toolbar's actions.
    void CopySelection();
    void CutSelection();
    void PasteFiles();
    void DeleteSelection();
    // Starts editing the first selected row's name (F2, the item menu's Rename).
    void EditSelectedName();
    // Clears every cut mark unless the clipboard still holds exactly the items cut here.
    void ClearCutMarks();
    // Copies or moves files into the shown folder as a drop does; files that already lie
    // there are left out and "At least one file has been skipped" is shown.
    void TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode);

signals:
    // Items this list moved or deleted: they are no longer at these paths (the editor lets
    // go of such a file).
    void OnItemsGone(const QList<QByteArray>& paths);
    // An item was renamed in place.
    void OnItemRenamed(const QByteArray& oldPath, const QByteArray& newPath);

private:
    TXListView& List;
    TListClipboard* ClipboardPart;
    TListDragDrop* DragDropPart;
    TListRename* RenamePart;
    TListItemMenu* ItemMenuPart;

    // Announces the paths that no longer exist and re-reads the folder.
    void AfterChange(const QList<QByteArray>& touched);
};
