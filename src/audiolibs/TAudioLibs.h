#pragma once

#include "riffkit.h"
#include "sonara.h"

#include <cstdint>
#include <optional>
#include <string>

// The one table of operations bound in the two service libraries. Every caller
// goes through AudioLibs() (AudioLibs().OpenWavFile(...)), never through the
// libraries' symbols directly; tests fill the table with a scripted fake.
// Members are named and typed exactly like the exported operations.
struct TAudioLibs {
    // Playback library (libsonara.so), in binding order.
    decltype(&::SN_GetWaveFileFormat) SN_GetWaveFileFormat = nullptr;
    decltype(&::SN_GetNumPlayHandles) SN_GetNumPlayHandles = nullptr;
    decltype(&::SN_GetLastError) SN_GetLastError = nullptr;
    decltype(&::SN_GetNumOutputDevices) SN_GetNumOutputDevices = nullptr;
    decltype(&::SN_GetOutputDeviceName) SN_GetOutputDeviceName = nullptr;
    decltype(&::SN_GetHandlePlay) SN_GetHandlePlay = nullptr;
    decltype(&::SN_SetBuffers) SN_SetBuffers = nullptr;
    decltype(&::SN_FreeHandlePlay) SN_FreeHandlePlay = nullptr;
    decltype(&::SN_FreeHandlePlayAll) SN_FreeHandlePlayAll = nullptr;
    decltype(&::SN_PlayGetLengthMsFile) SN_PlayGetLengthMsFile = nullptr;
    decltype(&::SN_PlayGetLengthMs) SN_PlayGetLengthMs = nullptr;
    decltype(&::SN_PlayStartXY) SN_PlayStartXY = nullptr;
    decltype(&::SN_PlayPause) SN_PlayPause = nullptr;
    decltype(&::SN_PlayResume) SN_PlayResume = nullptr;
    decltype(&::SN_PlayStop) SN_PlayStop = nullptr;
    decltype(&::SN_PlayGetTimeMs) SN_PlayGetTimeMs = nullptr;
    decltype(&::SN_PlayGetTimeMsS) SN_PlayGetTimeMsS = nullptr;
    decltype(&::SN_Status) SN_Status = nullptr;
    decltype(&::SN_ForceCodec) SN_ForceCodec = nullptr;
    // Optional: decoding for analysis (null when the library lacks it).
    decltype(&::SN_DecodeOpen) SN_DecodeOpen = nullptr;
    decltype(&::SN_DecodeRead) SN_DecodeRead = nullptr;
    decltype(&::SN_DecodeSeek) SN_DecodeSeek = nullptr;
    decltype(&::SN_DecodeClose) SN_DecodeClose = nullptr;

    // Tagging library (libriffkit.so), in binding order.
    decltype(&::OpenWavFile) OpenWavFile = nullptr;
    decltype(&::CloseWavFile) CloseWavFile = nullptr;
    decltype(&::GetTagInfo) GetTagInfo = nullptr;
    decltype(&::SetTagInfo) SetTagInfo = nullptr;
    decltype(&::GetChunkInfo) GetChunkInfo = nullptr;
    decltype(&::SetChunkInfo) SetChunkInfo = nullptr;
    decltype(&::HasId3v2) HasId3v2 = nullptr;
    decltype(&::AddId3v2) AddId3v2 = nullptr;
    decltype(&::RemoveTag) RemoveTag = nullptr;

    // Bound when the tagging library has it (older builds do not): the reason for the last
    // failed open or close. Callers check for null.
    decltype(&::GetTagLastError) GetTagLastError = nullptr;
    // Also optional: the broadcast chunks' options, stored fields and shortened copies.
    decltype(&::SetBroadcastOptions) SetBroadcastOptions = nullptr;
    decltype(&::GetBroadcastFields) GetBroadcastFields = nullptr;
    decltype(&::GetBroadcastInfo) GetBroadcastInfo = nullptr;
    decltype(&::GetShortenedFields) GetShortenedFields = nullptr;
    // Also optional: measured loudness stored in and read from the open file.
    decltype(&::SetLoudness) SetLoudness = nullptr;
    decltype(&::GetLoudness) GetLoudness = nullptr;
    // Optional in the tagging library: the tags of a file the caller has open.
    decltype(&::OpenWavFileOnDescriptor) OpenWavFileOnDescriptor = nullptr;
    // Optional in the playback library: format and length from one open of the file.
    decltype(&::SN_GetWaveFileFormatAndLength) SN_GetWaveFileFormatAndLength = nullptr;
    // Optional in the playback library: the same of a file the caller has open.
    decltype(&::SN_GetOpenFileFormatAndLength) SN_GetOpenFileFormatAndLength = nullptr;
};

// The reason the tagging library gives for its last failed open or close ("" when it gives
// none or cannot be asked).
std::string TagLastError();

// Loudness figures as the tagging library takes them: value x 100, rounded (LUFS, LU, dBTP);
// RIFFKIT_NOT_MEASURED for a figure not measured.
struct TStoredLoudness {
    int32_t Integrated = RIFFKIT_NOT_MEASURED;
    int32_t Range = RIFFKIT_NOT_MEASURED;
    int32_t TruePeak = RIFFKIT_NOT_MEASURED;
    int32_t MaxMomentary = RIFFKIT_NOT_MEASURED;
    int32_t MaxShortTerm = RIFFKIT_NOT_MEASURED;
    bool operator==(const TStoredLoudness&) const = default;
};

enum class TLoudnessStore {
    Stored,      // written at CloseWavFile
    NotStored,   // the file or the broadcast options keep it out; TagLastError() says why
    Unsupported, // the tagging library has no such operation
    Failed,      // no open file, or a figure out of range
};

// Hands the figures to the file open in the tagging library.
TLoudnessStore StoreLoudness(const TStoredLoudness& figures);
// The figures the open file holds (after StoreLoudness, the ones given); nullopt when it holds
// none or the library cannot tell.
std::optional<TStoredLoudness> StoredLoudness();

// The table in use (all members null until bound or set).
const TAudioLibs& AudioLibs();
// Replace the table (tests install a fake; the binder installs the real one).
void SetAudioLibs(const TAudioLibs& table);

// Loads the two libraries by file name through the loader's search (the
// executable's RUNPATH $ORIGIN; LD_LIBRARY_PATH is honoured) and binds every
// operation by name, in the fixed order, into the table.
class TAudioLibsBinder {
public:
    static constexpr const char* PlaybackLibraryName = "libsonara.so";
    static constexpr const char* TaggingLibraryName = "libriffkit.so";

    // What start-up does with the outcome.
    enum class TOutcome {
        Bound,            // both libraries loaded and every operation bound
        PlaybackNotFound, // "Cannot load playback DLL " + loader text, exit code 0
        TaggingNotFound,  // "Cannot load tagging DLL " + loader text, exit code 0
        OperationMissing, // "<name> not found", exit code -1
    };
    struct TResult {
        TOutcome Outcome = TOutcome::Bound;
        std::string Message; // the error box text; empty when bound
        int ExitCode = 0;    // the process exit code for a failure
    };

    TAudioLibsBinder() = default;
    ~TAudioLibsBinder() = default; // libraries stay loaded unless Release() is called
    TAudioLibsBinder(const TAudioLibsBinder&) = delete;
    TAudioLibsBinder& operator=(const TAudioLibsBinder&) = delete;

    // Load and bind: playback library, its operations, tagging library, its
    // operations; stops at the first failure (later steps are not tried; a
    // library already loaded stays loaded). On success the table is installed
    // with SetAudioLibs.
    TResult Load();
    // Release the tagging library, then the playback library, and clear the table.
    void Release();

    // Operation names in binding order.
    static const char* const PlaybackOperations[19];
    static const char* const TaggingOperations[9];

private:
    void* PlaybackHandle = nullptr;
    void* TaggingHandle = nullptr;
};
