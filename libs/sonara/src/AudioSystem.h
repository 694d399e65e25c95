#pragma once

#include <string>

// SDL's audio subsystem, started on first use, and its list of playback devices.
class TAudioSystem {
public:
    // Starts SDL audio once; false with SDL's reason when no audio driver works.
    static bool Ensure(std::string& error);
    // Stops SDL audio (its driver threads included) if it was started.
    static void Shutdown();
    // Playback devices SDL names (0 when audio cannot start).
    static int DeviceCount();
    // SDL's name of a playback device; empty for an index out of range.
    static std::string DeviceName(int index);
};
