#pragma once

#include <QString>

#include <cstdint>
#include <functional>

struct TTagKeyInfo;

// The four marker points of the file in the editor, with the file's length. Intro and
// segue use 0 for "none"; the hook points use -1 for "unset". The segue is counted back
// from the end of the audio, the hook end from its start. The marker panel edits these
// values; loading and saving convert them from and to the stored keys.
struct TMarkerModel {
    static constexpr int32_t Unset = -1;

    int32_t IntroMs = 0;
    int32_t SegueMs = 0;
    int32_t HookStartMs = Unset;
    int32_t HookEndMs = Unset;
    uint32_t LengthMs = 0;

    // Back to no markers (the length is kept).
    void Reset();

    // Sets the four points from the stored texts of "ISRF", "IMED", "HKST", "HKEN":
    // a text counts only when it is all digits and fits a signed 32-bit value, else the
    // point takes its "none" value; a hook end of 0 also counts as unset.
    void ReadStored(const std::function<QString(const TTagKeyInfo&)>& storedText);
};
