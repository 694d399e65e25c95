#include "TAudioLibs.h"

#include <algorithm>

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

// The operations in binding order; one list drives the names and the binding.
#define CUEMARK_PLAYBACK_OPERATIONS(X)                                                             \
    X(SN_GetWaveFileFormat)                                                                        \
    X(SN_GetNumPlayHandles)                                                                        \
    X(SN_GetLastError)                                                                             \
    X(SN_GetNumOutputDevices)                                                                      \
    X(SN_GetOutputDeviceName)                                                                      \
    X(SN_GetHandlePlay)                                                                            \
    X(SN_SetBuffers)                                                                               \
    X(SN_FreeHandlePlay)                                                                           \
    X(SN_FreeHandlePlayAll)                                                                        \
    X(SN_PlayGetLengthMsFile)                                                                      \
    X(SN_PlayGetLengthMs)                                                                          \
    X(SN_PlayStartXY)                                                                              \
    X(SN_PlayPause)                                                                                \
    X(SN_PlayResume)                                                                               \
    X(SN_PlayStop)                                                                                 \
    X(SN_PlayGetTimeMs)                                                                            \
    X(SN_PlayGetTimeMsS)                                                                           \
    X(SN_Status)                                                                                   \
    X(SN_ForceCodec)

#define CUEMARK_TAGGING_OPERATIONS(X)                                                              \
    X(OpenWavFile)                                                                                 \
    X(CloseWavFile)                                                                                \
    X(GetTagInfo)                                                                                  \
    X(SetTagInfo)                                                                                  \
    X(GetChunkInfo)                                                                                \
    X(SetChunkInfo)                                                                                \
    X(HasId3v2)                                                                                    \
    X(AddId3v2)                                                                                    \
    X(RemoveTag)

#define CUEMARK_NAME(op) #op,
const char* const TAudioLibsBinder::PlaybackOperations[19] = {
    CUEMARK_PLAYBACK_OPERATIONS(CUEMARK_NAME)};
const char* const TAudioLibsBinder::TaggingOperations[9] = {
    CUEMARK_TAGGING_OPERATIONS(CUEMARK_NAME)};
#undef CUEMARK_NAME

namespace {

TAudioLibs& Table() {
    static TAudioLibs table;
    return table;
}

// Looks one name up; on failure records "<name> not found".
template <typename F> bool BindOne(void* handle, const char* name, F& slot, std::string& missing) {
    void* address = dlsym(handle, name);
    if (address == nullptr) {
        missing = name;
        return false;
    }
    slot = reinterpret_cast<F>(address);
    return true;
}

// dlopen by file name through the loader's search. When that finds nothing, the
// executable's own folder is tried as well: the loader applies RUNPATH $ORIGIN
// only for calls from the executable itself, and a dlopen that is routed through
// another object (a sanitizer runtime's interceptor) loses it. The loader's text
// of the first attempt is what the caller reports.
void* OpenLibrary(const char* name, std::string& failure) {
    dlerror();
    if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL))
        return handle;
    const char* text = dlerror();
    failure = text != nullptr ? text : "unknown loader error";
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return nullptr;
    const std::string besideExe = (exe.parent_path() / name).string();
    if (!std::filesystem::exists(besideExe, error))
        return nullptr;
    void* handle = dlopen(besideExe.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        text = dlerror();
        failure = text != nullptr ? text : failure;
    }
    return handle;
}

} // namespace

const TAudioLibs& AudioLibs() {
    return Table();
}

void SetAudioLibs(const TAudioLibs& table) {
    Table() = table;
}

TAudioLibsBinder::TResult TAudioLibsBinder::Load() {
    TResult result;
    TAudioLibs bound;
    std::string missing;

    std::string failure;
    PlaybackHandle = OpenLibrary(PlaybackLibraryName, failure);
    if (PlaybackHandle == nullptr) {
        result.Outcome = TOutcome::PlaybackNotFound;
        result.Message = "Cannot load playback DLL " + failure;
        result.ExitCode = 0;
        return result;
    }
#define CUEMARK_BIND_PLAYBACK(op)                                                                  \
    if (!BindOne(PlaybackHandle, #op, bound.op, missing))                                          \
        goto operationMissing;
    CUEMARK_PLAYBACK_OPERATIONS(CUEMARK_BIND_PLAYBACK)
#undef CUEMARK_BIND_PLAYBACK

    TaggingHandle = OpenLibrary(TaggingLibraryName, failure);
    if (TaggingHandle == nullptr) {
        result.Outcome = TOutcome::TaggingNotFound;
        result.Message = "Cannot load tagging DLL " + failure;
        result.ExitCode = 0;
        return result;
    }
#define CUEMARK_BIND_TAGGING(op)                                                                   \
    if (!BindOne(TaggingHandle, #op, bound.op, missing))                                           \
        goto operationMissing;
    CUEMARK_TAGGING_OPERATIONS(CUEMARK_BIND_TAGGING)
#undef CUEMARK_BIND_TAGGING
    // Optional: a library without it still starts.
    bound.GetTagLastError =
        reinterpret_cast<decltype(bound.GetTagLastError)>(dlsym(TaggingHandle, "GetTagLastError"));
#define CUEMARK_BIND_OPTIONAL(op)                                                                  \
    bound.op = reinterpret_cast<decltype(bound.op)>(dlsym(TaggingHandle, #op));
    CUEMARK_BIND_OPTIONAL(SetBroadcastOptions)
    CUEMARK_BIND_OPTIONAL(GetBroadcastFields)
    CUEMARK_BIND_OPTIONAL(GetBroadcastInfo)
    CUEMARK_BIND_OPTIONAL(GetShortenedFields)
    CUEMARK_BIND_OPTIONAL(SetLoudness)
    CUEMARK_BIND_OPTIONAL(GetLoudness)
    CUEMARK_BIND_OPTIONAL(OpenWavFileOnDescriptor)
#undef CUEMARK_BIND_OPTIONAL
    // Optional playback operations: Format and Time from one open, and decoding for
    // analysis (without it nothing can be measured).
#define CUEMARK_BIND_OPTIONAL_PLAYBACK(op)                                                         \
    bound.op = reinterpret_cast<decltype(bound.op)>(dlsym(PlaybackHandle, #op));
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_GetWaveFileFormatAndLength)
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_GetOpenFileFormatAndLength)
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_DecodeOpen)
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_DecodeRead)
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_DecodeSeek)
    CUEMARK_BIND_OPTIONAL_PLAYBACK(SN_DecodeClose)
#undef CUEMARK_BIND_OPTIONAL_PLAYBACK

    SetAudioLibs(bound);
    return result;

operationMissing:
    result.Outcome = TOutcome::OperationMissing;
    result.Message = missing + " not found";
    result.ExitCode = -1;
    return result;
}

void TAudioLibsBinder::Release() {
    SetAudioLibs(TAudioLibs{});
    if (TaggingHandle != nullptr) {
        dlclose(TaggingHandle);
        TaggingHandle = nullptr;
    }
    if (PlaybackHandle != nullptr) {
        dlclose(PlaybackHandle);
        PlaybackHandle = nullptr;
    }
}

std::string TagLastError() {
    const auto getReason = AudioLibs().GetTagLastError;
    if (getReason == nullptr)
        return {};
    const int32_t length = getReason(nullptr, 0);
    if (length <= 0)
        return {};
    std::string reason(static_cast<size_t>(length) + 1, '\0');
    const int32_t written = getReason(reason.data(), static_cast<int32_t>(reason.size()));
    reason.resize(static_cast<size_t>(std::clamp(written, 0, length)));
    return reason;
}

TLoudnessStore StoreLoudness(const TStoredLoudness& figures) {
    const auto store = AudioLibs().SetLoudness;
    if (store == nullptr)
        return TLoudnessStore::Unsupported;
    switch (store(figures.Integrated, figures.Range, figures.TruePeak, figures.MaxMomentary,
                  figures.MaxShortTerm)) {
    case 0:
        return TLoudnessStore::Stored;
    case 1:
        return TLoudnessStore::NotStored;
    default:
        return TLoudnessStore::Failed;
    }
}

std::optional<TStoredLoudness> StoredLoudness() {
    const auto read = AudioLibs().GetLoudness;
    if (read == nullptr)
        return std::nullopt;
    TStoredLoudness f;
    if (read(&f.Integrated, &f.Range, &f.TruePeak, &f.MaxMomentary, &f.MaxShortTerm) != 0)
        return std::nullopt;
    return f;
}
