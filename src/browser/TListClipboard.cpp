#include "TListClipboard.h"

#include "TFileClipboard.h"
#include "TFileOperationUi.h"
#include "TListRowPaths.h"
#include "TXListView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

TListClipboard::TListClipboard(TXListView& list, TAfterChange afterChange, QObject* parent)
    : QObject(parent), List(list), AfterChange(std::move(afterChange)) {
    connect(&List, &TXListView::OnEscapeKey, this, [this](TXListView*) { EscapePressed(); });
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &TListClipboard::ClearCutMarks);
}

void TListClipboard::CopySelection() {
    const QList<QByteArray> paths = ListRowPaths(List.ListModel(), List.SelectedRows(), saCanCopy);
    if (paths.isEmpty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setMimeData(TFileClipboard::MimeData(paths, false).release());
}

void TListClipboard::CutSelection() {
    const QList<QByteArray> paths =
        ListRowPaths(List.ListModel(), List.SelectedRows(), saCanDelete);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (paths.isEmpty() || !clipboard)
        return;
    clipboard->setMimeData(TFileClipboard::MimeData(paths, true).release());
    // After the clipboard's change notice, which clears the marks of an earlier cut.
    SetCutMarks(paths);
}

void TListClipboard::SetCutMarks(const QList<QByteArray>& paths) {
    CutPaths = paths;
    List.ListModel().SetCutMarks(paths);
}

void TListClipboard::ClearCutMarks() {
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

void TListClipboard::PasteFiles() {
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

void TListClipboard::EscapePressed() {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear();
    CutPaths.clear();
    ClearCutMarks();
}
