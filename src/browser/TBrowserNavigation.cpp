#include "TBrowserNavigation.h"

#include "PidlHelp.h"
#include "TAudioFileRule.h"
#include "TBatchTagSelection.h"
#include "TBrowserExchanges.h"
#include "TBrowserPanel.h"
#include "TEditorLink.h"
#include "TFileClipboard.h"
#include "TListSearch.h"
#include "TListSorter.h"
#include "TListTransfer.h"
#include "TLoudnessMeasure.h"
#include "TStartFolder.h"
#include "TSystemComboBox.h"
#include "TXListView.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>

TBrowserNavigation::TBrowserNavigation(TBrowserPanel& panel, QObject* parent)
    : QObject(parent), Panel(panel) {
    OpenFolderUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    TXListView* list = Panel.ListView;
    connect(list, &TXListView::OnFolderChange, this, &TBrowserNavigation::ListView_OnFolderChange);
    connect(list, &TXListView::OnSelectionChange, this,
            &TBrowserNavigation::ListView_OnSelectionChange);
    connect(Panel.cboSystem, &TSystemComboBox::OnChange, this,
            &TBrowserNavigation::cboSystem_OnChange);
    connect(Panel.ActionUp, &QAction::triggered, this, &TBrowserNavigation::ActionUp_OnExecute);
    connect(Panel.ActionRefresh, &QAction::triggered, this,
            &TBrowserNavigation::ActionRefresh_OnExecute);
    connect(Panel.ActionGotoSelection, &QAction::triggered, this,
            &TBrowserNavigation::ActionGotoSelection_OnExecute);
    connect(Panel.ActionExplore, &QAction::triggered, this,
            &TBrowserNavigation::ActionExplore_OnExecute);
    connect(Panel.ActionFind, &QAction::triggered, this, &TBrowserNavigation::ActionFind_OnExecute);
    connect(Panel.ActionFindNext, &QAction::triggered, this,
            &TBrowserNavigation::ActionFindNext_OnExecute);
    connect(Panel.ActionSelectColumns, &QAction::triggered, this,
            &TBrowserNavigation::ActionSelectColumns_OnExecute);
    connect(Panel.Transfer, &TListTransfer::OnItemsGone, this,
            &TBrowserNavigation::Transfer_OnItemsGone);
    connect(Panel.Transfer, &TListTransfer::OnItemRenamed, this,
            &TBrowserNavigation::Transfer_OnItemRenamed);
    connect(Panel.BatchTagging, &TBatchTagSelection::OnFilesWritten, this,
            &TBrowserNavigation::BatchTagging_OnFilesWritten);
    connect(Panel.Loudness, &TLoudnessMeasure::OnFilesWritten, this,
            &TBrowserNavigation::Loudness_OnFilesWritten);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &TBrowserNavigation::Clipboard_OnChange);
    Clipboard_OnChange();
}

void TBrowserNavigation::BrowseToStart(const TStartFolder& start) {
    if (start.Desktop) {
        PItemIDList desktop = CreatePIDL(2);
        Panel.ListView->BrowseTo(desktop);
        FreePIDL(desktop);
        return;
    }
    Panel.ListView->BrowseToPath(start.Path);
}

QString TBrowserNavigation::FolderSetting() const {
    PCItemIDList folder = Panel.ListView->FolderID();
    if (folder == nullptr)
        return QString();
    return TStartFolder::FolderSetting(folder, Panel.ListView->FolderParsingName());
}

void TBrowserNavigation::ListView_OnFolderChange(TXListView*) {
    // Nothing keeps playing from the folder that was left.
    if (Editor)
        Editor->EditorStopAudition();
    Panel.cboSystem->SetActiveFolderIDList(Panel.ListView->FolderPIDL());
    Panel.ActionUp->setEnabled(PIDLCount(Panel.ListView->FolderID()) > 0);
}

void TBrowserNavigation::ListView_OnSelectionChange(TXListView*, const QByteArray& path,
                                                    bool isFile) {
    if (Reverting)
        return;
    if (Editor && !Editor->EditorPromptSaveChanges()) {
        // The edits could not be saved: they stay in the editor, and the list shows the file
        // they belong to again, so nothing else is loaded over them.
        ReturnToEditedFile();
        UpdateSelectionActions();
        return;
    }
    UpdateSelectionActions();
    if (!Editor)
        return;
    if (path.isEmpty() || !isFile) {
        Editor->EditorClear();
        return;
    }
    if (path == Editor->EditorCurrentFile())
        return;
    if (IsEditorFile(path))
        Editor->EditorLoadFile(path);
    else
        Editor->EditorClear();
}

void TBrowserNavigation::ReturnToEditedFile() {
    // The view finishes its own selection step after this notice (and may announce it
    // again), so the selection is put back once that is over; notices until then are
    // part of the refused move and are ignored.
    Reverting = true;
    QTimer::singleShot(0, this, [this] {
        const QByteArray edited = Editor ? Editor->EditorCurrentFile() : QByteArray();
        TFolderListModel& model = Panel.ListView->ListModel();
        if (const int row = model.RowOfPath(edited); row >= 0) {
            Panel.ListView->SelectRow(row);
            Panel.ListView->scrollTo(model.index(row, 0));
        }
        // A file not in this folder (the folder changed) stays in the editor all the same.
        Reverting = false;
        UpdateSelectionActions();
    });
}

void TBrowserNavigation::UpdateSelectionActions() {
    const bool selected = Panel.ListView->SelectedCount() > 0;
    Panel.ActionGotoSelection->setEnabled(selected);
    Panel.ActionCopy->setEnabled(selected);
    Panel.ActionCut->setEnabled(selected);
}

bool TBrowserNavigation::IsEditorFile(const QByteArray& path) {
    // The editor takes exactly the files whose columns the list reads.
    return TAudioFileRule::IsAudioPath(path);
}

void TBrowserNavigation::cboSystem_OnChange() {
    // The box keeps its list; BrowseTo copies it.
    PCItemIDList chosen = Panel.cboSystem->GetActiveFolderIDList();
    Panel.ListView->BrowseTo(chosen);
    Panel.ListView->setFocus(Qt::OtherFocusReason);
}

void TBrowserNavigation::ActionUp_OnExecute() {
    const TPidl folder = Panel.ListView->FolderPIDL();
    if (!folder)
        return;
    const TPidl parent(CopyParentPIDL(folder.Get()));
    if (parent && !ComparePIDLs(parent.Get(), folder.Get()))
        Panel.ListView->BrowseTo(parent.Get());
}

void TBrowserNavigation::ActionRefresh_OnExecute() {
    ResetView();
    Panel.ListView->RefreshFolder(true);
}

void TBrowserNavigation::ResetView() {
    // The header's indicator returns to Name with the order.
    Panel.Sorter->ResetView();
}

void TBrowserNavigation::ActionFind_OnExecute() {
    Panel.ActionFindNext->setEnabled(
        TBrowserExchanges::Find(Panel.window(), Panel.ToolBarBrowser, *Panel.Search));
}

void TBrowserNavigation::ActionFindNext_OnExecute() {
    Panel.ActionFindNext->setEnabled(Panel.Search->FindNext());
}

void TBrowserNavigation::ActionSelectColumns_OnExecute() {
    if (TProfileFile* settings = Panel.Settings())
        TBrowserExchanges::SelectColumns(Panel.window(), *Panel.ListView, *Panel.Sorter, *settings);
}

void TBrowserNavigation::Transfer_OnItemsGone(const QList<QByteArray>& paths) {
    // Its edits cannot be saved where the file no longer is.
    if (Editor && !Editor->EditorCurrentFile().isEmpty() &&
        paths.contains(Editor->EditorCurrentFile()))
        Editor->EditorClear();
}

void TBrowserNavigation::Transfer_OnItemRenamed(const QByteArray& oldPath,
                                                const QByteArray& newPath) {
    if (Editor && !oldPath.isEmpty() && Editor->EditorCurrentFile() == oldPath)
        Editor->EditorFileRenamed(newPath);
}

void TBrowserNavigation::BatchTagging_OnFilesWritten(const QList<QByteArray>& paths, int column) {
    // Else the editor's next save would write the old value back over the batch's.
    if (Editor && !Editor->EditorCurrentFile().isEmpty() &&
        paths.contains(Editor->EditorCurrentFile()))
        Editor->EditorColumnWritten(column);
}

void TBrowserNavigation::Loudness_OnFilesWritten(const QList<QByteArray>& paths) {
    // The editor shows the stored loudness fields afresh (or keeps the user's edits).
    if (Editor && !Editor->EditorCurrentFile().isEmpty() &&
        paths.contains(Editor->EditorCurrentFile()))
        Editor->EditorColumnWritten(TLoudnessColumns::Loudness);
}

void TBrowserNavigation::ActionGotoSelection_OnExecute() {
    ScrollToSelection();
}

void TBrowserNavigation::ScrollToSelection() {
    TXListView* list = Panel.ListView;
    const QList<int> rows = list->SelectedRows();
    if (rows.isEmpty())
        return;
    int target = rows.first();
    const QModelIndex top = list->indexAt(QPoint(1, 1));
    if (top.isValid() && top.row() == target) {
        if (rows.size() < 2)
            return;
        target = rows.at(1);
    }
    list->scrollTo(list->ListModel().index(target, 0), QAbstractItemView::EnsureVisible);
}

void TBrowserNavigation::ActionExplore_OnExecute() {
    const TPidl folder = Panel.ListView->FolderPIDL();
    if (!folder || !OpenFolderUrl)
        return;
    const std::string path = GetPathFromPIDL(folder.Get());
    if (path.empty())
        return; // a virtual folder has nothing to open
    OpenFolderUrl(QUrl::fromEncoded(
        TFileClipboard::PathToUri(QByteArray(path.data(), static_cast<qsizetype>(path.size())))));
}

void TBrowserNavigation::Clipboard_OnChange() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    // Our own list is read here in the process; another program's only when pasted.
    bool files = TFileClipboard::OffersFiles(data);
    if (files && clipboard->ownsClipboard())
        files = TFileClipboard::Read(data).has_value();
    Panel.ActionPaste->setEnabled(files);
}
