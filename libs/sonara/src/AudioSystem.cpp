#include "AudioSystem.h"

#include <SDL.h>

#include <mutex>

namespace {
std::mutex& InitLock() {
    static std::mutex lock;
    return lock;
}
bool Started = false;
} // namespace

bool TAudioSystem::Ensure(std::string& error) {
    std::lock_guard guard(InitLock());
    if (Started)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    Started = true;
    return true;
}

void TAudioSystem::Shutdown() {
    std::lock_guard guard(InitLock());
    if (!Started)
        return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Started = false;
}

int TAudioSystem::DeviceCount() {
    std::string error;
    if (!Ensure(error))
        return 0;
    const int count = SDL_GetNumAudioDevices(0);
    return count > 0 ? count : 0;
}

std::string TAudioSystem::DeviceName(int index) {
    std::string error;
    if (index < 0 || !Ensure(error) || index >= SDL_GetNumAudioDevices(0))
        return {};
    const char* name = SDL_GetAudioDeviceName(index, 0);
    return name ? name : "";
}
