#pragma once

#include "TAudioLibs.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A scripted stand-in for both service libraries, for GUI tests that need no
// sound device and no timing. Constructing it installs its table with
// SetAudioLibs (the previous table comes back on destruction); only one may
// exist at a time.
//
// Playback: every answer is a field the test sets; every call is recorded as a
// line such as "SN_PlayStartXY(1,0,5000)".
// Tagging: files live in an in-memory map by path. OpenWavFile works on a copy
// of the file's tags that CloseWavFile commits (as the real library writes at
// close).
class TScriptedAudioLibs {
public:
    struct TFile {
        std::map<std::string, std::string> Tags;   // INFO keys
        std::map<std::string, std::string> Chunks; // "DISP"
        bool HasId3v2 = true;
        uint32_t LengthMs = 0; // SN_PlayGetLengthMsFile for this file when not 0
    };

    TScriptedAudioLibs();
    ~TScriptedAudioLibs();
    TScriptedAudioLibs(const TScriptedAudioLibs&) = delete;
    TScriptedAudioLibs& operator=(const TScriptedAudioLibs&) = delete;

    // --- playback answers
    bool FormatKnown = true;                                    // SN_GetWaveFileFormat non-zero
    std::string FormatA = "PCM 16 bit";                         // its first text
    std::string FormatB = "44100 Hz Stereo";                    // its second text
    std::vector<std::string> DeviceNames = {"Scripted Device"}; // SN_GetOutputDeviceName
    int16_t NumOutputDevices = -1;                              // -1: DeviceNames.size() + 1
    uint32_t NextHandle = 1;         // SN_GetHandlePlay (0 = fails); counts up
    uint32_t LengthMs = 0;           // SN_PlayGetLengthMsFile / SN_PlayGetLengthMs
    int16_t StartResult = 0;         // SN_PlayStartXY (0 = started)
    int16_t Status = SN_STATUS_DONE; // SN_Status
    uint32_t PositionMs = 0;         // SN_PlayGetTimeMs
    uint32_t PositionSamples = 0;    // SN_PlayGetTimeMsS
    std::string LastError;           // SN_GetLastError
    int16_t NumPlayHandles = 0;      // SN_GetNumPlayHandles

    // --- tagging
    std::map<std::string, TFile> Files;
    int16_t OpenResultForUnknown = 1; // OpenWavFile of a path not in Files
    int16_t CloseResult = 0;          // CloseWavFile (non-zero: changes dropped)
    int16_t AddId3v2Result = 0;       // AddId3v2 (-1 fails; else the file gains ID3v2)
    std::string FailureReason;        // GetTagLastError after a failed open or close

    // --- calls of either library, in order
    std::vector<std::string> Calls;
    // Number of recorded calls of one operation.
    int CallCount(const std::string& name) const;
    // The path open in the tagging fake ("" when none).
    const std::string& OpenPath() const { return Open; }

    static TScriptedAudioLibs* Current() { return Instance; }

private:
    friend struct TScriptedAudioLibsOps;
    static TScriptedAudioLibs* Instance;
    TAudioLibs Previous;
    std::string Open; // path of the open file
    TFile Working;    // its tags while open
    bool LastHasId3v2 = false;
    std::string LastReason; // what GetTagLastError reports now
};
