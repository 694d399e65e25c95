#include "TFolderRefresher.h"

#include "TDirMonitorThread.h"
#include "TFolderListModel.h"

#include <QTimer>

TFolderRefresher::TFolderRefresher(TFolderListModel& model, QObject* parent)
    : QObject(parent), Model(model) {
    connect(&Model, &TFolderListModel::FolderAboutToOpen, this, [this] { StopWatching(); });
    connect(&Model, &TFolderListModel::FolderOpened, this, [this] { WatchFolder(); });
    connect(&Model, &TFolderListModel::PassEnded, this, [this] { PassEnded(); });
}

TFolderRefresher::~TFolderRefresher() {
    StopWatching();
}

void TFolderRefresher::StopWatching() {
    // No notices of the folder left arrive while the next one opens.
    FolderMonitor.reset();
}

void TFolderRefresher::WatchFolder() {
    FolderIdentity = TFolderWhereabouts::IdentityOf(Model.FolderParsingName());
    FolderMonitor = std::make_unique<TDirMonitorThread>(this);
    const QByteArray& watched = Model.FolderParsingName();
    FolderMonitor->SetFolder(std::string(watched.constData(), static_cast<size_t>(watched.size())));
    FolderMonitor->Start();
}

void TFolderRefresher::SetChangeNotices(bool on) {
    if (FolderMonitor)
        FolderMonitor->SetActive(on);
}

void TFolderRefresher::Refresh(bool resort) {
    if (Model.IsReading()) {
        // Entries must not go away under a running pass; one re-read follows it.
        RefreshPending = true;
        PendingResort = PendingResort || resort;
        return;
    }
    if (FollowMovedFolder())
        return;
    emit RefreshBegins();
    Model.RefreshFolder(resort);
    ++Refreshes;
    emit RefreshEnded();
}

void TFolderRefresher::PassEnded() {
    if (!RefreshPending || Model.IsReading())
        return;
    RefreshPending = false;
    const bool resort = PendingResort;
    PendingResort = false;
    // After the pass has unwound: its caller still looks at the rows it read.
    QTimer::singleShot(0, this, [this, resort] { Refresh(resort); });
}

bool TFolderRefresher::FollowMovedFolder() {
    if (!FolderIdentity)
        return false;
    const QByteArray old = Model.FolderParsingName();
    const TFolderWhereabouts::TResult where = TFolderWhereabouts::Locate(old, *FolderIdentity);
    if (where.Kind == TFolderWhereabouts::TKind::Unchanged)
        return false;
    emit FolderMoved(where.Path);
    if (where.Kind == TFolderWhereabouts::TKind::Gone)
        emit FolderGone(old, where.Path);
    return true;
}

bool TFolderRefresher::event(QEvent* e) {
    if (e->type() == MSG_REFRESH_FOLDER) {
        Refresh(false);
        return true;
    }
    return QObject::event(e);
}
