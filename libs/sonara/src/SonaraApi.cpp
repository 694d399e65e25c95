// The exported C operations of libsonara.so: argument checks, the handle table and the
// last-error text; the work is done by the probe, decoders and playback classes. No C++
// exception crosses the C interface: each operation turns one into its failure result.
#include "sonara.h"

#include "AudioSystem.h"
#include "DeviceCloser.h"
#include "FileReader.h"
#include "FormatProbe.h"
#include "Guarded.h"
#include "HandleTable.h"
#include "LastError.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <string>

namespace {

// The device buffer's length in time, the same at every rate, so the position is as close
// to the sound at 8 kHz as at 48 kHz.
constexpr int kDefaultBufferMicros = 20000;
std::atomic<int> BufferMicros{kDefaultBufferMicros};

// Copies text into a caller's buffer, cut to fit, always NUL-terminated.
void CopyText(const std::string& text, char* buffer, int32_t size) {
    if (!buffer || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

// The texts and length of a probed file into the caller's buffers; 0 (with the reason as the
// last error) when it is not a recognised audio file.
int16_t Answer(const TAudioFileInfo& info, char* textA, int32_t sizeA, char* textB, int32_t sizeB,
               uint32_t* lengthMs) {
    CopyText("", textA, sizeA);
    CopyText("", textB, sizeB);
    if (lengthMs)
        *lengthMs = 0;
    if (info.Kind == TAudioKind::None) {
        TLastError::Set(info.Error);
        return 0;
    }
    CopyText(info.TextA, textA, sizeA);
    CopyText(info.TextB, textB, sizeB);
    if (lengthMs)
        *lengthMs = info.LengthMs();
    return 1;
}

std::shared_ptr<THandle> FindOrFail(uint32_t handle) {
    auto found = THandleTable::Instance().Find(handle);
    if (!found)
        TLastError::Set("Unknown play handle " + std::to_string(handle));
    return found;
}

// When the program unloads the library, no device, decoder or SDL driver thread may outlive
// it (SDL's hot-plug thread would run code that is about to be unmapped).
__attribute__((destructor)) void UnloadLibrary() {
    try {
        THandleTable::Instance().RemoveAll();
        TDeviceCloser::Instance().Drain();
        TAudioSystem::Shutdown();
    } catch (...) {
    }
}

} // namespace

extern "C" {

int16_t SN_GetWaveFileFormat(const char* path, char* textA, int32_t sizeA, char* textB,
                             int32_t sizeB) {
    return Guarded<int16_t>(0, [&]() -> int16_t {
        return Answer(TFormatProbe::Probe(path ? path : ""), textA, sizeA, textB, sizeB, nullptr);
    });
}

int16_t SN_GetWaveFileFormatAndLength(const char* path, char* textA, int32_t sizeA, char* textB,
                                      int32_t sizeB, uint32_t* lengthMs) {
    return Guarded<int16_t>(0, [&]() -> int16_t {
        return Answer(TFormatProbe::Probe(path ? path : ""), textA, sizeA, textB, sizeB, lengthMs);
    });
}

int16_t SN_GetOpenFileFormatAndLength(int32_t fd, uint64_t size, const void* head, int32_t headSize,
                                      char* textA, int32_t sizeA, char* textB, int32_t sizeB,
                                      uint32_t* lengthMs) {
    return Guarded<int16_t>(0, [&]() -> int16_t {
        if (fd < 0 || headSize < 0) {
            TAudioFileInfo none;
            none.Error = "No open file was given";
            return Answer(none, textA, sizeA, textB, sizeB, lengthMs);
        }
        const TFileReader file(fd, size, head, static_cast<size_t>(headSize));
        return Answer(TFormatProbe::Probe(file), textA, sizeA, textB, sizeB, lengthMs);
    });
}

int16_t SN_GetNumPlayHandles(void) {
    return Guarded<int16_t>(0, [&]() -> int16_t {
        return static_cast<int16_t>(std::min<size_t>(THandleTable::Instance().Count(), INT16_MAX));
    });
}

int16_t SN_GetLastError(char* buffer, int32_t size) {
    return Guarded<int16_t>(0, [&]() -> int16_t {
        const std::string text = TLastError::Get();
        CopyText(text, buffer, size);
        return static_cast<int16_t>(std::min<size_t>(text.size(), INT16_MAX));
    });
}

int16_t SN_GetNumOutputDevices(void) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        return static_cast<int16_t>(std::min(TAudioSystem::DeviceCount(), INT16_MAX - 1) + 1);
    });
}

int16_t SN_GetOutputDeviceName(int16_t index, char* buffer, int32_t size) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        const std::string name = TAudioSystem::DeviceName(index);
        if (name.empty()) {
            CopyText("Default output device", buffer, size);
            return 1;
        }
        CopyText(name, buffer, size);
        return 0;
    });
}

uint32_t SN_GetHandlePlay(int32_t /*reserved*/, int16_t device, const char* path) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        THandleTable& table = THandleTable::Instance();
        table.ReleaseFinished();
        const std::string file = path ? path : "";
        TAudioFileInfo info = TFormatProbe::Probe(file);
        if (info.Kind == TAudioKind::None) {
            TLastError::Set(info.Error);
            return 0;
        }
        return table.Add(std::make_shared<THandle>(file, std::move(info), device));
    });
}

int16_t SN_SetBuffers(int32_t /*count*/, int32_t frames) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        // frames counts at 44.1 kHz; every rate gets the same time, 10 to 30 ms.
        BufferMicros = static_cast<int>(int64_t(std::clamp(frames, 441, 1323)) * 1000000 / 44100);
        return 0;
    });
}

int16_t SN_FreeHandlePlay(uint32_t handle) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        auto removed = THandleTable::Instance().Remove(handle);
        if (!removed) {
            TLastError::Set("Unknown play handle " + std::to_string(handle));
            return 1;
        }
        return 0;
    });
}

int16_t SN_FreeHandlePlayAll(void) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        THandleTable::Instance().RemoveAll(); // the handles close as the vector goes
        // The program is closing: its devices are closed before this returns.
        TDeviceCloser::Instance().WaitIdle();
        return 0;
    });
}

uint32_t SN_PlayGetLengthMsFile(const char* path) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        const TAudioFileInfo info = TFormatProbe::Probe(path ? path : "");
        if (info.Kind == TAudioKind::None) {
            TLastError::Set(info.Error);
            return 0;
        }
        return info.LengthMs();
    });
}

uint32_t SN_PlayGetLengthMs(uint32_t handle) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        auto found = FindOrFail(handle);
        return found ? found->LengthMs() : 0;
    });
}

int16_t SN_PlayStartXY(uint32_t handle, uint32_t startMs, uint32_t endMs) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        THandleTable::Instance().ReleaseFinished();
        auto found = FindOrFail(handle);
        if (!found)
            return 1;
        std::string error;
        if (!found->Start(startMs, endMs, BufferMicros, error)) {
            TLastError::Set(error);
            return 1;
        }
        return 0;
    });
}

int16_t SN_PlayPause(uint32_t handle) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        auto found = FindOrFail(handle);
        return found && found->Pause() ? 0 : 1;
    });
}

int16_t SN_PlayResume(uint32_t handle) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        auto found = FindOrFail(handle);
        return found && found->Resume() ? 0 : 1;
    });
}

int16_t SN_PlayStop(uint32_t handle) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        // Stopping ends the handle's life: its device and decoder close now, and the number is
        // unknown from here on (its status reads as done).
        auto removed = THandleTable::Instance().Remove(handle);
        if (!removed) {
            TLastError::Set("Unknown play handle " + std::to_string(handle));
            return 1;
        }
        return 0;
    });
}

uint32_t SN_PlayGetTimeMs(uint32_t handle) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        auto found = FindOrFail(handle);
        return found ? found->PositionMs() : 0;
    });
}

uint32_t SN_PlayGetTimeMsS(uint32_t handle) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        auto found = FindOrFail(handle);
        if (!found)
            return 0;
        const uint64_t frames = found->PositionFrames();
        return frames > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(frames);
    });
}

int16_t SN_Status(uint32_t handle) {
    return Guarded<int16_t>(SN_STATUS_DONE, [&]() -> int16_t {
        auto found = THandleTable::Instance().Find(handle);
        return found && found->Playing() ? SN_STATUS_PLAYING : SN_STATUS_DONE;
    });
}

int16_t SN_ForceCodec(uint32_t handle, int16_t force) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        auto found = FindOrFail(handle);
        if (!found)
            return 1;
        found->SetForceSndfile(force != 0);
        return 0;
    });
}

} // extern "C"
