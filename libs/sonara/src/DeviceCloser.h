#pragma once

#include <SDL.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Closes SDL output devices on a thread of its own. SDL_CloseAudioDevice waits for the
// device's thread to drain its buffers (two buffers' time, far more at low rates), and the
// status poll of the user-interface thread must never wait for that.
class TDeviceCloser {
public:
    static TDeviceCloser& Instance();
    // Closes a device that is already paused (its callback no longer runs).
    void Close(SDL_AudioDeviceID device);
    // Waits until every queued device is closed; true when there was one to wait for.
    // Drivers that offer one device at a time (SDL's dummy and disk) refuse to open another
    // before then.
    bool WaitIdle();
    // Closes every queued device and ends the thread; the library calls it before unloading.
    void Drain();
    // Held while a device is opened, so opening and closing never overlap inside SDL.
    std::mutex& SdlLock() { return OpenCloseLock; }

private:
    void Run();

    std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable Idle;
    bool Closing = false;
    std::deque<SDL_AudioDeviceID> Queue;
    std::thread Worker;
    bool Stopping = false;
    std::mutex OpenCloseLock;
};
