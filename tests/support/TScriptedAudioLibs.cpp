#include "TScriptedAudioLibs.h"

#include <algorithm>
#include <cstring>

TScriptedAudioLibs* TScriptedAudioLibs::Instance = nullptr;

namespace {

// Copies text into a C buffer, cut to size - 1 bytes on a UTF-8 character boundary.
void CopyOut(const std::string& text, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0)
        return;
    size_t n = std::min<size_t>(text.size(), static_cast<size_t>(size) - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string Str(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace

// The C entry points of the fake; each forwards to the one live instance.
struct TScriptedAudioLibsOps {
    static TScriptedAudioLibs& S() { return *TScriptedAudioLibs::Instance; }
    static void Log(const std::string& line) { S().Calls.push_back(line); }
    static std::string N(long long value) { return std::to_string(value); }

    static int16_t SN_GetWaveFileFormat(const char* path, char* a, int32_t sizeA, char* b,
                                        int32_t sizeB) {
        Log("SN_GetWaveFileFormat(" + Str(path) + ")");
        CopyOut(S().FormatKnown ? S().FormatA : "", a, sizeA);
        CopyOut(S().FormatKnown ? S().FormatB : "", b, sizeB);
        return S().FormatKnown ? 1 : 0;
    }
    static int16_t SN_GetNumPlayHandles() {
        Log("SN_GetNumPlayHandles()");
        return S().NumPlayHandles;
    }
    static int16_t SN_GetLastError(char* buffer, int32_t size) {
        Log("SN_GetLastError()");
        CopyOut(S().LastError, buffer, size);
        return static_cast<int16_t>(S().LastError.size());
    }
    static int16_t SN_GetNumOutputDevices() {
        Log("SN_GetNumOutputDevices()");
        return S().NumOutputDevices >= 0 ? S().NumOutputDevices
                                         : static_cast<int16_t>(S().DeviceNames.size() + 1);
    }
    static int16_t SN_GetOutputDeviceName(int16_t index, char* buffer, int32_t size) {
        Log("SN_GetOutputDeviceName(" + N(index) + ")");
        const bool known = index >= 0 && static_cast<size_t>(index) < S().DeviceNames.size();
        CopyOut(known ? S().DeviceNames[index] : "", buffer, size);
        return known ? 1 : 0;
    }
    static uint32_t SN_GetHandlePlay(int32_t reserved, int16_t device, const char* path) {
        Log("SN_GetHandlePlay(" + N(reserved) + "," + N(device) + "," + Str(path) + ")");
        const uint32_t handle = S().NextHandle;
        if (handle != 0)
            ++S().NextHandle;
        return handle;
    }
    static int16_t SN_SetBuffers(int32_t count, int32_t frames) {
        Log("SN_SetBuffers(" + N(count) + "," + N(frames) + ")");
        return 0;
    }
    static int16_t SN_FreeHandlePlay(uint32_t handle) {
        Log("SN_FreeHandlePlay(" + N(handle) + ")");
        return 0;
    }
    static int16_t SN_FreeHandlePlayAll() {
        Log("SN_FreeHandlePlayAll()");
        return 0;
    }
    static uint32_t SN_PlayGetLengthMsFile(const char* path) {
        Log("SN_PlayGetLengthMsFile(" + Str(path) + ")");
        const auto found = S().Files.find(Str(path));
        if (found != S().Files.end() && found->second.LengthMs != 0)
            return found->second.LengthMs;
        return S().LengthMs;
    }
    static uint32_t SN_PlayGetLengthMs(uint32_t handle) {
        Log("SN_PlayGetLengthMs(" + N(handle) + ")");
        return S().LengthMs;
    }
    static int16_t SN_PlayStartXY(uint32_t handle, uint32_t startMs, uint32_t endMs) {
        Log("SN_PlayStartXY(" + N(handle) + "," + N(startMs) + "," + N(endMs) + ")");
        return S().StartResult;
    }
    static int16_t SN_PlayPause(uint32_t handle) {
        Log("SN_PlayPause(" + N(handle) + ")");
        return 0;
    }
    static int16_t SN_PlayResume(uint32_t handle) {
        Log("SN_PlayResume(" + N(handle) + ")");
        return 0;
    }
    static int16_t SN_PlayStop(uint32_t handle) {
        Log("SN_PlayStop(" + N(handle) + ")");
        return 0;
    }
    static uint32_t SN_PlayGetTimeMs(uint32_t handle) {
        Log("SN_PlayGetTimeMs(" + N(handle) + ")");
        return S().PositionMs;
    }
    static uint32_t SN_PlayGetTimeMsS(uint32_t handle) {
        Log("SN_PlayGetTimeMsS(" + N(handle) + ")");
        return S().PositionSamples;
    }
    static int16_t SN_Status(uint32_t handle) {
        Log("SN_Status(" + N(handle) + ")");
        return S().Status;
    }
    static int16_t SN_ForceCodec(uint32_t handle, int16_t force) {
        Log("SN_ForceCodec(" + N(handle) + "," + N(force) + ")");
        return 0;
    }

    static int16_t OpenWavFile(const char* path, int32_t reserved1, int32_t reserved2) {
        Log("OpenWavFile(" + Str(path) + "," + N(reserved1) + "," + N(reserved2) + ")");
        S().LastReason.clear();
        auto found = S().Files.find(Str(path));
        if (found == S().Files.end()) {
            if (S().OpenResultForUnknown != 0) {
                S().LastReason = S().FailureReason;
                return S().OpenResultForUnknown;
            }
            found = S().Files.emplace(Str(path), TScriptedAudioLibs::TFile{}).first;
        }
        S().Open = found->first;
        S().Working = found->second;
        S().LastHasId3v2 = found->second.HasId3v2;
        return 0;
    }
    static int16_t CloseWavFile() {
        Log("CloseWavFile()");
        S().LastReason.clear();
        if (S().Open.empty())
            return 1;
        if (S().CloseResult == 0)
            S().Files[S().Open] = S().Working;
        else
            S().LastReason = S().FailureReason;
        S().Open.clear();
        S().Working = {};
        return S().CloseResult;
    }
    static int32_t GetTagLastError(char* buffer, int32_t size) {
        const std::string& reason = S().LastReason;
        if (buffer != nullptr && size > 0) {
            const size_t n = std::min(reason.size(), static_cast<size_t>(size - 1));
            std::copy_n(reason.data(), n, buffer);
            buffer[n] = '\0';
        }
        return static_cast<int32_t>(reason.size());
    }
    static int16_t Get(std::map<std::string, std::string>& map, const char* key, char* buffer,
                       int32_t size) {
        if (S().Open.empty()) {
            CopyOut("", buffer, size);
            return 1;
        }
        auto found = map.find(Str(key));
        CopyOut(found != map.end() ? found->second : "", buffer, size);
        return 0;
    }
    static int16_t GetTagInfo(const char* key, char* buffer, int32_t size) {
        Log("GetTagInfo(" + Str(key) + ")");
        return Get(S().Working.Tags, key, buffer, size);
    }
    static int16_t GetChunkInfo(const char* id, char* buffer, int32_t size) {
        Log("GetChunkInfo(" + Str(id) + ")");
        return Get(S().Working.Chunks, id, buffer, size);
    }
    static int16_t SetTagInfo(const char* key, const char* text, uint16_t length) {
        const std::string value(text != nullptr ? text : "", text != nullptr ? length : 0);
        Log("SetTagInfo(" + Str(key) + "," + value + ")");
        if (S().Open.empty())
            return 1;
        S().Working.Tags[Str(key)] = value;
        return 0;
    }
    static int16_t SetChunkInfo(const char* id, const char* text, uint16_t length) {
        const std::string value(text != nullptr ? text : "", text != nullptr ? length : 0);
        Log("SetChunkInfo(" + Str(id) + "," + value + ")");
        if (S().Open.empty())
            return 1;
        S().Working.Chunks[Str(id)] = value;
        return 0;
    }
    static int16_t HasId3v2() {
        Log("HasId3v2()");
        return S().LastHasId3v2 ? 1 : 0;
    }
    static int16_t AddId3v2(const char* path) {
        Log("AddId3v2(" + Str(path) + ")");
        if (S().AddId3v2Result == -1)
            return -1;
        auto found = S().Files.find(Str(path));
        if (found == S().Files.end())
            return -1;
        found->second.HasId3v2 = true;
        return S().AddId3v2Result;
    }
    static int16_t RemoveTag(const char* key) {
        Log("RemoveTag(" + Str(key) + ")");
        if (S().Open.empty())
            return 1;
        S().Working.Tags.erase(Str(key));
        return 0;
    }
};

TScriptedAudioLibs::TScriptedAudioLibs() {
    Instance = this;
    Previous = AudioLibs();
    TAudioLibs table;
#define CUEMARK_FAKE(op) table.op = &TScriptedAudioLibsOps::op;
    CUEMARK_FAKE(SN_GetWaveFileFormat)
    CUEMARK_FAKE(SN_GetNumPlayHandles)
    CUEMARK_FAKE(SN_GetLastError)
    CUEMARK_FAKE(SN_GetNumOutputDevices)
    CUEMARK_FAKE(SN_GetOutputDeviceName)
    CUEMARK_FAKE(SN_GetHandlePlay)
    CUEMARK_FAKE(SN_SetBuffers)
    CUEMARK_FAKE(SN_FreeHandlePlay)
    CUEMARK_FAKE(SN_FreeHandlePlayAll)
    CUEMARK_FAKE(SN_PlayGetLengthMsFile)
    CUEMARK_FAKE(SN_PlayGetLengthMs)
    CUEMARK_FAKE(SN_PlayStartXY)
    CUEMARK_FAKE(SN_PlayPause)
    CUEMARK_FAKE(SN_PlayResume)
    CUEMARK_FAKE(SN_PlayStop)
    CUEMARK_FAKE(SN_PlayGetTimeMs)
    CUEMARK_FAKE(SN_PlayGetTimeMsS)
    CUEMARK_FAKE(SN_Status)
    CUEMARK_FAKE(SN_ForceCodec)
    CUEMARK_FAKE(OpenWavFile)
    CUEMARK_FAKE(CloseWavFile)
    CUEMARK_FAKE(GetTagInfo)
    CUEMARK_FAKE(SetTagInfo)
    CUEMARK_FAKE(GetChunkInfo)
    CUEMARK_FAKE(SetChunkInfo)
    CUEMARK_FAKE(HasId3v2)
    CUEMARK_FAKE(AddId3v2)
    CUEMARK_FAKE(RemoveTag)
    CUEMARK_FAKE(GetTagLastError)
#undef CUEMARK_FAKE
    SetAudioLibs(table);
}

TScriptedAudioLibs::~TScriptedAudioLibs() {
    SetAudioLibs(Previous);
    Instance = nullptr;
}

int TScriptedAudioLibs::CallCount(const std::string& name) const {
    const std::string prefix = name + "(";
    return static_cast<int>(std::count_if(
        Calls.begin(), Calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}
