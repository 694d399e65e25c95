#include "DeviceCloser.h"

TDeviceCloser& TDeviceCloser::Instance() {
    // Never destroyed: the unload hook drains it, whatever the order of static destructors.
    static TDeviceCloser* closer = new TDeviceCloser;
    return *closer;
}

void TDeviceCloser::Close(SDL_AudioDeviceID device) {
    if (!device)
        return;
    std::unique_lock guard(Mutex);
    if (Stopping) {
        guard.unlock();
        std::lock_guard sdl(OpenCloseLock);
        SDL_CloseAudioDevice(device);
        return;
    }
    Queue.push_back(device);
    if (!Worker.joinable()) {
        try {
            Worker = std::thread(&TDeviceCloser::Run, this);
        } catch (...) {
            // No thread to be had: close here rather than leak the device.
            Queue.pop_back();
            guard.unlock();
            std::lock_guard sdl(OpenCloseLock);
            SDL_CloseAudioDevice(device);
            return;
        }
    }
    Wake.notify_one();
}

bool TDeviceCloser::WaitIdle() {
    std::unique_lock guard(Mutex);
    if (Queue.empty() && !Closing)
        return false;
    Idle.wait(guard, [this] { return Queue.empty() && !Closing; });
    return true;
}

void TDeviceCloser::Drain() {
    {
        std::lock_guard guard(Mutex);
        Stopping = true;
    }
    Wake.notify_one();
    if (Worker.joinable())
        Worker.join();
    std::lock_guard guard(Mutex);
    Worker = std::thread();
    Stopping = false;
}

void TDeviceCloser::Run() {
    std::unique_lock guard(Mutex);
    for (;;) {
        Wake.wait(guard, [this] { return Stopping || !Queue.empty(); });
        if (Queue.empty())
            return; // stopping with nothing left
        const SDL_AudioDeviceID device = Queue.front();
        Queue.pop_front();
        Closing = true;
        guard.unlock();
        {
            std::lock_guard sdl(OpenCloseLock);
            SDL_CloseAudioDevice(device);
        }
        guard.lock();
        Closing = false;
        if (Queue.empty())
            Idle.notify_all();
    }
}
