#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

// The notice by which the folder monitor tells its target that the folder changed: an event of
// this type (WM_APP + 101) sent straight to the target object (QCoreApplication::sendEvent, not
// through the queue), so the target handles it in its customEvent()/event().
constexpr QEvent::Type MSG_REFRESH_FOLDER = static_cast<QEvent::Type>(0x8065);

// Watches one folder for entries that appear, disappear, are renamed or change attributes (not
// content writes, not sub-folders) with inotify, on a thread of its own, and delivers each notice
// synchronously on the user-interface thread: the thread waits until the target has handled the
// notice and only then reads the next changes, so changes made while the target re-reads the
// folder give exactly one more notice, never overlapping re-reads.
//
// Lifecycle: construct on the user-interface thread (suspended), SetFolder once, Start. The
// destructor stops and joins the thread; it never waits for a delivery that has not run yet.
// A folder that cannot be watched (a "::" virtual folder, a missing path) ends the thread at once.
class TDirMonitorThread : public QThread {
    Q_OBJECT
public:
    explicit TDirMonitorThread(QObject* target);
    ~TDirMonitorThread() override;

    // The folder to watch (bytes). The same path again changes nothing.
    void SetFolder(const std::string& path);
    // Starts the thread (it was created suspended).
    void Start();

    // Notices are delivered only while active; a new monitor is active once started. Changes made
    // while inactive are dropped, also those the thread has not read yet when notices come back on.
    void SetActive(bool on);
    bool IsActive() const { return State->Active.load(std::memory_order_relaxed); }

    const std::string& WatchedPath() const { return Watched; }
    // Whether an inotify watch is open on WatchedPath.
    bool IsWatching() const { return ChangeHandle >= 0; }

protected:
    void run() override;
    // The thread body.
    virtual void Execute();

private:
    // What the thread and the delivery step share. Held by shared pointer, so that a delivery
    // still queued, or one whose handler destroys the monitor, never touches a dead object.
    struct TDeliveryState {
        QPointer<QObject> Target;
        std::atomic<bool> Active{false};
        std::mutex Lock;
        std::condition_variable Done;
        bool Pending = false;    // a delivery was posted and has not finished
        bool Stop = false;       // a stop was requested
        bool Delivering = false; // the target is handling a notice (user-interface thread)
    };

    // Reads every pending event; the number read (0 when none). Notes when the folder itself
    // went away. Caller holds DrainLock.
    int DrainEvents();
    // Runs the delivery step on the user-interface thread and waits until it has run or a stop
    // was requested.
    void DeliverAndWait();
    // The delivery step, on the user-interface thread.
    static void Deliver(const std::shared_ptr<TDeliveryState>& state);
    void CloseHandles();

    std::shared_ptr<TDeliveryState> State;
    int ChangeHandle = -1; // the inotify descriptor; -1 when none
    int WakeHandle = -1;   // eventfd that ends a wait at once on a stop request
    std::string Watched;
    std::atomic<bool> WatchGone{false};
    std::mutex DrainLock; // reading events and switching notices on happen one at a time
    // Posted deliveries run in this object's context; destroying it drops any still queued.
    std::unique_ptr<QObject> DeliveryContext;
};
