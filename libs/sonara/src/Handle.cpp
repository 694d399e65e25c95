#include "Handle.h"

#include "AudioSystem.h"

#include <algorithm>

THandle::THandle(std::string path, TAudioFileInfo info, int deviceIndex)
    : Path(std::move(path)), Info(std::move(info)), DeviceIndex(deviceIndex) {
    LastRate = Info.SampleRate;
}

void THandle::SetForceSndfile(bool force) {
    std::lock_guard guard(Mutex);
    ForceSndfile = force;
}

bool THandle::Start(uint32_t startMs, uint32_t endMs, int bufferMicros, std::string& error) {
    std::lock_guard guard(Mutex);
    ReleaseLocked();
    auto decoder = TDecoder::Create(Path, Info, ForceSndfile, error);
    if (!decoder)
        return false;
    const uint64_t rate = static_cast<uint64_t>(decoder->SampleRate());
    // The range ends at the length the probe measured, whichever decoder plays it: a decoder
    // that ends sooner ends the range there, and libsndfile's MPEG length is only a guess.
    // Where the probe could not measure (some libsndfile formats), the decoder's count holds.
    uint64_t totalFrames = Info.Frames * rate / static_cast<uint64_t>(std::max(Info.SampleRate, 1));
    if (totalFrames == 0)
        totalFrames = decoder->TotalFrames();
    const uint64_t startFrame = uint64_t(startMs) * rate / 1000;
    uint64_t endFrame =
        endMs == 0 ? totalFrames : std::min(totalFrames, uint64_t(endMs) * rate / 1000);
    LastRate = static_cast<int>(rate);
    if (totalFrames == 0 || startFrame >= endFrame) {
        // Nothing to play: the handle is done at once, at the requested place.
        LastFrames = std::min(startFrame, totalFrames);
        return true;
    }
    std::string reason;
    if (!TAudioSystem::Ensure(reason)) {
        error = "No audio output device is available: " + reason;
        return false;
    }
    const std::string deviceName = TAudioSystem::DeviceName(DeviceIndex);
    auto playback = std::make_unique<TPlayback>(std::move(decoder), startFrame, endFrame);
    LastFrames = startFrame;
    if (!playback->Start(deviceName, bufferMicros, error))
        return false;
    Playback = std::move(playback);
    return true;
}

bool THandle::Pause() {
    std::lock_guard guard(Mutex);
    if (!Playback)
        return false;
    Playback->Pause();
    return true;
}

bool THandle::Resume() {
    std::lock_guard guard(Mutex);
    if (!Playback)
        return false;
    Playback->Resume();
    return true;
}

bool THandle::Playing() {
    std::lock_guard guard(Mutex);
    if (Playback && Playback->Finished())
        ReleaseFinishedLocked();
    return Playback != nullptr;
}

uint64_t THandle::PositionFrames() {
    std::lock_guard guard(Mutex);
    if (Playback)
        LastFrames = Playback->PositionFrames();
    return LastFrames;
}

uint32_t THandle::PositionMs() {
    // Position and rate together: a concurrent start may change both.
    std::lock_guard guard(Mutex);
    if (Playback)
        LastFrames = Playback->PositionFrames();
    if (LastRate <= 0)
        return 0;
    const uint64_t ms = LastFrames * 1000 / static_cast<uint64_t>(LastRate);
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}

void THandle::ReleaseIfFinished() {
    std::lock_guard guard(Mutex);
    if (Playback && Playback->Finished())
        ReleaseFinishedLocked();
}

void THandle::ReleaseFinishedLocked() {
    // Played out: the position rests on the end of the range.
    LastFrames = Playback->EndFrameReached();
    Playback.reset();
}

void THandle::ReleaseLocked() {
    if (!Playback)
        return;
    LastFrames = Playback->PositionFrames();
    Playback.reset();
}
