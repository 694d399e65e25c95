#include "TDirMonitorThread.h"

#include <QCoreApplication>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Entries created, deleted or moved in or out, and attribute changes; not content writes.
constexpr std::uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr int WaitMs = 2000;

} // namespace

TDirMonitorThread::TDirMonitorThread(QObject* target)
    : State(std::make_shared<TDeliveryState>()), DeliveryContext(std::make_unique<QObject>()) {
    State->Target = target;
}

TDirMonitorThread::~TDirMonitorThread() {
    {
        std::lock_guard<std::mutex> guard(State->Lock);
        State->Stop = true;
    }
    State->Done.notify_all();
    if (WakeHandle >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(WakeHandle, &one, sizeof one);
    }
    wait();
    // A delivery still queued is dropped with its context; when the target's handler is
    // destroying this monitor from inside a delivery, the context goes once that call returns.
    if (State->Delivering)
        DeliveryContext.release()->deleteLater();
    else
        DeliveryContext.reset();
    CloseHandles();
}

void TDirMonitorThread::SetFolder(const std::string& path) {
    if (path == Watched)
        return;
    Watched = path;
    CloseHandles();
    // Virtual folders ("::" names) have no file-system path to watch.
    if (path.empty() || path.rfind("::", 0) == 0)
        return;
    int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return;
    if (::inotify_add_watch(fd, path.c_str(), WatchMask) < 0) {
        ::close(fd);
        return;
    }
    int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(fd);
        return;
    }
    ChangeHandle = fd;
    WakeHandle = wake;
    WatchGone = false;
}

void TDirMonitorThread::Start() {
    // Active from here on, so a switch-off right after starting is not undone by the thread.
    State->Active = true;
    start();
}

void TDirMonitorThread::SetActive(bool on) {
    if (!on) {
        State->Active.store(false, std::memory_order_relaxed);
        return;
    }
    if (State->Active.load(std::memory_order_relaxed))
        return;
    // Switching back on: what happened while off (the program's own writes) is dropped here,
    // even if the thread has not read it yet.
    std::lock_guard<std::mutex> guard(DrainLock);
    if (ChangeHandle >= 0)
        DrainEvents();
    State->Active.store(true, std::memory_order_relaxed);
}

void TDirMonitorThread::run() {
    Execute();
}

void TDirMonitorThread::Execute() {
    while (ChangeHandle >= 0 && !WatchGone) {
        {
            std::lock_guard<std::mutex> guard(State->Lock);
            if (State->Stop)
                break;
        }
        pollfd fds[2] = {{ChangeHandle, POLLIN, 0}, {WakeHandle, POLLIN, 0}};
        int ready = ::poll(fds, 2, WaitMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break; // the wait itself fails: stop watching rather than spin
        }
        if (ready == 0 || (fds[1].revents & POLLIN))
            continue; // timed out, or woken for a stop request: the loop test decides
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        bool deliver;
        {
            std::lock_guard<std::mutex> guard(DrainLock);
            deliver = DrainEvents() > 0 && State->Active.load(std::memory_order_relaxed);
        }
        // Reading the next changes only after the delivery has run gives one more notice for
        // everything that happened meanwhile, never overlapping re-reads.
        if (deliver)
            DeliverAndWait();
    }
}

int TDirMonitorThread::DrainEvents() {
    alignas(inotify_event) char buffer[4096];
    int count = 0;
    for (;;) {
        ssize_t got = ::read(ChangeHandle, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (char* p = buffer; p < buffer + got;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                WatchGone = true; // the folder itself is gone or elsewhere: a last notice
            ++count;
            p += sizeof(inotify_event) + event->len;
        }
    }
    return count;
}

void TDirMonitorThread::DeliverAndWait() {
    std::shared_ptr<TDeliveryState> state = State;
    {
        std::lock_guard<std::mutex> guard(state->Lock);
        if (state->Stop)
            return;
        state->Pending = true;
    }
    QMetaObject::invokeMethod(
        DeliveryContext.get(), [state] { Deliver(state); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(state->Lock);
    state->Done.wait(lock, [&] { return !state->Pending || state->Stop; });
}

void TDirMonitorThread::Deliver(const std::shared_ptr<TDeliveryState>& state) {
    bool run;
    {
        std::lock_guard<std::mutex> guard(state->Lock);
        run = state->Pending && !state->Stop;
    }
    // Notices are dropped once the application is shutting down, and while notices are off
    // (a notice queued before the program's own writes began).
    if (run && state->Target && state->Active.load(std::memory_order_relaxed) &&
        !QCoreApplication::closingDown()) {
        state->Delivering = true;
        QEvent notice(MSG_REFRESH_FOLDER);
        QCoreApplication::sendEvent(state->Target, &notice);
        state->Delivering = false;
    }
    {
        std::lock_guard<std::mutex> guard(state->Lock);
        state->Pending = false;
    }
    state->Done.notify_all();
}

void TDirMonitorThread::CloseHandles() {
    if (ChangeHandle >= 0)
        ::close(ChangeHandle);
    if (WakeHandle >= 0)
        ::close(WakeHandle);
    ChangeHandle = -1;
    WakeHandle = -1;
}
