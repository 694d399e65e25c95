#include "Playback.h"

#include "DeviceCloser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

TPlayback::TPlayback(std::unique_ptr<TDecoder> decoder, uint64_t startFrame, uint64_t endFrame)
    : Decoder(std::move(decoder)), StartFrame(startFrame), EndFrame(endFrame) {
    Rate = Decoder->SampleRate();
    Channels = Decoder->Channels();
    DeviceChannels = Channels;
}

TPlayback::~TPlayback() {
    if (!Device)
        return;
    // Pausing waits for a running callback and keeps SDL from calling it again, so the
    // decoder can go now; closing waits out the device's buffers and happens elsewhere.
    SDL_PauseAudioDevice(Device, 1);
    TDeviceCloser::Instance().Close(Device);
}

int TPlayback::BufferFramesFor(int rate, int bufferMicros) {
    const double frames = double(rate) * bufferMicros / 1e6;
    const int exponent = static_cast<int>(std::lround(std::log2(std::max(frames, 1.0))));
    return 1 << std::clamp(exponent, 6, 13);
}

bool TPlayback::Start(const std::string& deviceName, int bufferMicros, std::string& error) {
    // A rate this low is a damaged header, not audio: each buffer of a device would last
    // seconds, and so would stopping it.
    constexpr int LowestPlayableRate = 1000;
    if (Rate < LowestPlayableRate) {
        error = "The sample rate of this file (" + std::to_string(Rate) +
                " Hz) is too low to be played";
        return false;
    }
    if (!Decoder->Seek(StartFrame)) {
        error = "Cannot seek to the start position in this file";
        return false;
    }
    const int bufferFrames = BufferFramesFor(Rate, bufferMicros);
    // Pre-decode the first buffer so the device has samples the moment it starts.
    Pending.resize(static_cast<size_t>(bufferFrames) * Channels);
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(bufferFrames, EndFrame - StartFrame));
    const size_t got = Decoder->Read(Pending.data(), want);
    if (got == 0 && want > 0) {
        error = "The audio of this file cannot be decoded at the start position";
        return false;
    }
    Pending.resize(got * Channels);
    Decoded = got;
    Exhausted = got < want || Decoded >= EndFrame - StartFrame;

    SDL_AudioSpec wanted{};
    wanted.freq = Rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(std::clamp(Channels, 1, 8));
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = &TPlayback::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    auto open = [&] {
        std::lock_guard sdl(TDeviceCloser::Instance().SdlLock());
        Device = SDL_OpenAudioDevice(deviceName.empty() ? nullptr : deviceName.c_str(), 0, &wanted,
                                     &obtained, 0);
        if (!Device && !deviceName.empty()) // the named device may have gone: use the default
            Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    };
    open();
    // The device of the previous audition may still be closing.
    if (!Device && TDeviceCloser::Instance().WaitIdle())
        open();
    if (!Device) {
        error = std::string("No audio output device is available: ") + SDL_GetError();
        return false;
    }
    {
        std::lock_guard guard(Mutex); // the device is paused, but the fields are shared
        DeviceChannels = std::max<int>(obtained.channels, 1);
        DeviceBufferFrames = obtained.samples;
        if (DeviceChannels != Channels)
            Scratch.resize(static_cast<size_t>(std::max<int>(obtained.samples, 256)) * Channels);
        AnchorTime = std::chrono::steady_clock::now();
    }
    SDL_PauseAudioDevice(Device, 0);
    return true;
}

void TPlayback::Pause() {
    if (!Device)
        return;
    SDL_PauseAudioDevice(Device, 1);
    std::lock_guard guard(Mutex);
    const auto now = std::chrono::steady_clock::now();
    AnchorFrames = static_cast<int64_t>(PositionLocked(now) - StartFrame);
    AnchorTime = now;
    Paused = true;
}

void TPlayback::Resume() {
    if (!Device)
        return;
    {
        std::lock_guard guard(Mutex);
        AnchorTime = std::chrono::steady_clock::now();
        Paused = false;
    }
    SDL_PauseAudioDevice(Device, 0);
}

void TPlayback::Callback(void* self, Uint8* stream, int length) {
    auto* playback = static_cast<TPlayback*>(self);
    std::memset(stream, 0, static_cast<size_t>(length));
    std::lock_guard guard(playback->Mutex);
    const size_t frames = static_cast<size_t>(length) /
                          (sizeof(int16_t) * static_cast<size_t>(playback->DeviceChannels));
    playback->Fill(reinterpret_cast<int16_t*>(stream), frames);
}

size_t TPlayback::Decode(int16_t* out, size_t frames) {
    size_t n = 0;
    const size_t channels = static_cast<size_t>(Channels);
    if (PendingUsed < Pending.size()) {
        const size_t take = std::min(frames, (Pending.size() - PendingUsed) / channels);
        std::copy_n(Pending.begin() + static_cast<long>(PendingUsed), take * channels, out);
        PendingUsed += take * channels;
        n = take;
    }
    const uint64_t rangeFrames = EndFrame - StartFrame;
    while (n < frames && !Exhausted) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(frames - n, rangeFrames - Decoded));
        const size_t got = want ? Decoder->Read(out + n * channels, want) : 0;
        n += got;
        Decoded += got;
        if (got < want || Decoded >= rangeFrames || want == 0)
            Exhausted = true;
    }
    return n;
}

void TPlayback::MapChannels(const int16_t* in, int16_t* out, size_t frames) const {
    // The device's channels take the file's in order; a file with more channels than the
    // device (SDL opens at most 8) loses the rest, a device with more stays silent there.
    const size_t from = static_cast<size_t>(Channels);
    const size_t to = static_cast<size_t>(DeviceChannels);
    const size_t common = std::min(from, to);
    for (size_t f = 0; f < frames; ++f)
        std::copy_n(in + f * from, common, out + f * to);
}

void TPlayback::Fill(int16_t* out, size_t frames) {
    const auto now = std::chrono::steady_clock::now();
    // The previous buffer is what the device plays from now on.
    const int64_t heardNow =
        std::max<int64_t>(0, static_cast<int64_t>(Handed) - DeviceBufferFrames);
    if (!Paused) {
        AnchorFrames = std::max(AnchorFrames, heardNow);
        AnchorTime = now;
    }
    size_t n = 0;
    if (DeviceChannels == Channels) {
        n = Decode(out, frames);
    } else {
        const size_t chunk = Scratch.size() / static_cast<size_t>(Channels);
        while (n < frames) {
            const size_t got = Decode(Scratch.data(), std::min(chunk, frames - n));
            MapChannels(Scratch.data(), out + n * static_cast<size_t>(DeviceChannels), got);
            n += got;
            if (got == 0)
                break;
        }
    }
    Handed += n;
    if (n == 0 && Exhausted && PendingUsed >= Pending.size())
        ++SilentCallbacks;
}

uint64_t TPlayback::PositionLocked(std::chrono::steady_clock::time_point now) {
    int64_t heard = AnchorFrames;
    if (!Paused) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(now - AnchorTime);
        heard += elapsed.count() * Rate / 1000000;
    }
    heard = std::clamp<int64_t>(heard, 0, static_cast<int64_t>(Handed));
    Reported = std::max(Reported, StartFrame + static_cast<uint64_t>(heard));
    return Reported;
}

uint64_t TPlayback::PositionFrames() {
    std::lock_guard guard(Mutex);
    return PositionLocked(std::chrono::steady_clock::now());
}

uint64_t TPlayback::EndFrameReached() {
    std::lock_guard guard(Mutex);
    return StartFrame + Handed;
}

bool TPlayback::Finished() {
    std::lock_guard guard(Mutex);
    if (!Exhausted || PendingUsed < Pending.size())
        return false;
    // Everything is decoded. The first callback with nothing left proves the last samples
    // have gone on to the device (closing earlier could drop them); done once the clock says
    // they have been heard, or at the latest one buffer later.
    if (SilentCallbacks == 0)
        return false;
    return SilentCallbacks >= 2 ||
           PositionLocked(std::chrono::steady_clock::now()) >= StartFrame + Handed;
}
