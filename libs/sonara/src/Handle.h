#pragma once

#include "AudioFileInfo.h"
#include "Playback.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// One play handle: a probed file, the chosen device and decoder path, and at most one running
// playback. The playback (device and decoder) is released as soon as its range has played out.
class THandle {
public:
    THandle(std::string path, TAudioFileInfo info, int deviceIndex);

    void SetForceSndfile(bool force);
    // Plays [startMs, endMs) (endMs 0: to the end). A start at or past the end plays nothing
    // and leaves the handle done; that still counts as started.
    bool Start(uint32_t startMs, uint32_t endMs, int bufferMicros, std::string& error);
    bool Pause();
    bool Resume();
    bool Playing();
    uint64_t PositionFrames();
    uint32_t PositionMs();
    uint32_t LengthMs() const { return Info.LengthMs(); }
    // Closes the device and decoder once the range has played out.
    void ReleaseIfFinished();

private:
    void ReleaseLocked();
    void ReleaseFinishedLocked();

    const std::string Path;
    const TAudioFileInfo Info;
    const int DeviceIndex;
    std::mutex Mutex;
    bool ForceSndfile = false;
    std::unique_ptr<TPlayback> Playback;
    uint64_t LastFrames = 0;
    int LastRate = 0;
};
