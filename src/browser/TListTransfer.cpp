#include "TListTransfer.h"

#include "TFileSystemCalls.h"
#include "TListClipboard.h"
#include "TListDragDrop.h"
#include "TListItemMenu.h"
#include "TListRename.h"
#include "TXListView.h"

TListTransfer::TListTransfer(TXListView& list, QObject* parent) : QObject(parent), List(list) {
    const auto afterChange = [this](const QList<QByteArray>& touched) { AfterChange(touched); };
    // The rename's filter sees the list's keys; the drag's sees the viewport's mouse and drops.
    RenamePart = new TListRename(List, this);
    DragDropPart = new TListDragDrop(List, afterChange, this);
    ClipboardPart = new TListClipboard(List, afterChange, this);
    ItemMenuPart =
        new TListItemMenu(List, *ClipboardPart, *RenamePart, *DragDropPart, afterChange, this);
    connect(RenamePart, &TListRename::OnItemRenamed, this, &TListTransfer::OnItemRenamed);
}

bool TListTransfer::DragArmed() const {
    return DragDropPart->Armed();
}

QLineEdit* TListTransfer::NameEditor() const {
    return RenamePart->NameEditor();
}

void TListTransfer::CopySelection() {
    ClipboardPart->CopySelection();
}

void TListTransfer::CutSelection() {
    ClipboardPart->CutSelection();
}

void TListTransfer::PasteFiles() {
    ClipboardPart->PasteFiles();
}

void TListTransfer::DeleteSelection() {
    ItemMenuPart->DeleteSelection();
}

void TListTransfer::EditSelectedName() {
    RenamePart->EditSelectedName();
}

void TListTransfer::ClearCutMarks() {
    ClipboardPart->ClearCutMarks();
}

void TListTransfer::TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode) {
    DragDropPart->TransferDroppedFiles(files, mode);
}

void TListTransfer::AfterChange(const QList<QByteArray>& touched) {
    QList<QByteArray> gone;
    for (const QByteArray& path : touched) {
        TFileStatus status;
        if (TFileSystemCalls::Native().Status(path, status) != 0)
            gone.append(path);
    }
    if (!gone.isEmpty())
        emit OnItemsGone(gone);
    // The rows follow at once; the monitor's later notice then finds nothing new.
    List.RefreshFolder(false);
}
