#pragma once

#include "Decoder.h"

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One range of one file playing on an SDL output device. The device is opened paused, the
// first buffer is decoded before it is unpaused, and the SDL callback decodes the rest on
// SDL's audio thread. The callback counts the frames it hands over and stamps the time, so
// the position of the sample being heard is those frames less one device buffer plus the
// time since the stamp. Destroying the object closes the device and the decoder.
class TPlayback {
public:
    TPlayback(std::unique_ptr<TDecoder> decoder, uint64_t startFrame, uint64_t endFrame);
    ~TPlayback();
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // deviceName empty: the system's default device. False with a reason for the user.
    bool Start(const std::string& deviceName, int bufferFrames, std::string& error);
    void Pause();
    void Resume();
    // Frames from the start of the file of the sample heard now; never moves backwards.
    uint64_t PositionFrames();
    // True once every frame of the range has been handed over and heard.
    bool Finished();
    int SampleRate() const { return Rate; }

private:
    static void Callback(void* self, Uint8* stream, int length);
    void Fill(int16_t* out, size_t frames);
    uint64_t PositionLocked(std::chrono::steady_clock::time_point now);

    std::unique_ptr<TDecoder> Decoder;
    int Rate = 0;
    int Channels = 0;
    uint64_t StartFrame = 0;
    uint64_t EndFrame = 0;
    SDL_AudioDeviceID Device = 0;
    int DeviceBufferFrames = 0;

    std::mutex Mutex;             // shared with the callback
    std::vector<int16_t> Pending; // decoded ahead before the device starts
    size_t PendingUsed = 0;
    uint64_t Decoded = 0; // frames of the range decoded so far
    uint64_t Handed = 0;  // frames of the range handed to the device
    bool Exhausted = false;
    int SilentCallbacks = 0;
    bool Paused = false;
    int64_t AnchorFrames = 0; // range frames heard at AnchorTime
    std::chrono::steady_clock::time_point AnchorTime;
    uint64_t Reported = 0;
};
