#pragma once

#include "TFolderWhereabouts.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

class TDirMonitorThread;
class TFolderListModel;

// Keeps a folder list model in step with its folder on disk: watches the shown folder with a
// monitor (anew each time the model opens a folder) and re-reads the model on each notice.
// Notices and refreshes that arrive while a pass runs (entries must not go away under it) are
// held and coalesced into one re-read once the pass is over, re-sorting if any of them asked
// for it. When another program renamed or deleted the shown folder, the refresher says where
// it went rather than re-reading; whoever shows the list browses there.
class TFolderRefresher : public QObject {
    Q_OBJECT

public:
    explicit TFolderRefresher(TFolderListModel& model, QObject* parent = nullptr);
    ~TFolderRefresher() override;

    // Re-reads the shown folder (see TFolderListModel::RefreshFolder), later when a pass runs.
    void Refresh(bool resort);
    // Switches the monitor's notices on or off (around the program's own writes).
    void SetChangeNotices(bool on);
    // The monitor of the shown folder; null before the first folder and while one opens.
    TDirMonitorThread* Monitor() const { return FolderMonitor.get(); }
    // Re-reads run so far (tests).
    int RefreshCount() const { return Refreshes; }

signals:
    // A re-read is about to run / has run (the view holds its painting meanwhile).
    void RefreshBegins();
    void RefreshEnded();
    // The shown folder is now at `path` (renamed, swapped, or the nearest folder left).
    void FolderMoved(const QByteArray& path);
    // ... and the shown folder `old` is gone: `path` is the nearest existing folder above it.
    void FolderGone(const QByteArray& old, const QByteArray& path);

protected:
    // The monitor's notice (MSG_REFRESH_FOLDER): a re-read without re-sorting.
    bool event(QEvent* e) override;

private:
    TFolderListModel& Model;
    std::unique_ptr<TDirMonitorThread> FolderMonitor;
    // The shown folder's identity, to follow it when another program renames or deletes it.
    std::optional<TFolderWhereabouts::TIdentity> FolderIdentity;
    bool RefreshPending = false;
    bool PendingResort = false;
    int Refreshes = 0;

    void StopWatching();
    void WatchFolder();
    void PassEnded();
    // Reports where the shown folder went when it was renamed or deleted; true when it did.
    bool FollowMovedFolder();
};
