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
// time since the stamp. The file's channels are mapped onto those the device opened.
// Destroying the object pauses the device (so its callback is over), releases the decoder
// at once and leaves the slow close of the device to TDeviceCloser.
class TPlayback {
public:
    TPlayback(std::unique_ptr<TDecoder> decoder, uint64_t startFrame, uint64_t endFrame);
    ~TPlayback();
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // deviceName empty: the system's default device. bufferMicros: the device buffer's
    // length in time, rounded to a power of two of frames at the file's rate. False with a
    // reason for the user.
    bool Start(const std::string& deviceName, int bufferMicros, std::string& error);
    void Pause();
    void Resume();
    // Frames from the start of the file of the sample heard now; never moves backwards.
    uint64_t PositionFrames();
    // The frame just after the last one handed to the device.
    uint64_t EndFrameReached();
    // True once every frame of the range has been handed over and heard.
    bool Finished();
    int SampleRate() const { return Rate; }

    // The device buffer in frames for a rate: the power of two nearest to the given time.
    static int BufferFramesFor(int rate, int bufferMicros);

private:
    static void Callback(void* self, Uint8* stream, int length);
    void Fill(int16_t* out, size_t frames);
    // Decodes up to frames frames of the range in the file's layout; fewer only at its end.
    size_t Decode(int16_t* out, size_t frames);
    // Copies frames from the file's channel layout onto the device's.
    void MapChannels(const int16_t* in, int16_t* out, size_t frames) const;
    uint64_t PositionLocked(std::chrono::steady_clock::time_point now);

    std::unique_ptr<TDecoder> Decoder;
    int Rate = 0;
    int Channels = 0;       // the file's
    int DeviceChannels = 0; // what the device opened
    uint64_t StartFrame = 0;
    uint64_t EndFrame = 0;
    SDL_AudioDeviceID Device = 0;
    int DeviceBufferFrames = 0;

    std::mutex Mutex;             // shared with the callback
    std::vector<int16_t> Pending; // decoded ahead before the device starts (file layout)
    size_t PendingUsed = 0;
    std::vector<int16_t> Scratch; // file layout, when it differs from the device's
    uint64_t Decoded = 0;         // frames of the range decoded so far
    uint64_t Handed = 0;          // frames of the range handed to the device
    bool Exhausted = false;
    int SilentCallbacks = 0;
    bool Paused = false;
    int64_t AnchorFrames = 0; // range frames heard at AnchorTime
    std::chrono::steady_clock::time_point AnchorTime;
    uint64_t Reported = 0;
};
