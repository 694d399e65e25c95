#pragma once

#include "TAudioAnalysis.h"

#include <cstdint>

// Cue points proposed from an analysis, never applied by themselves: where the sound starts
// and ends (the first and last peak above a level) and a segue point (where the momentary
// loudness last falls below the integrated loudness by a margin).
struct TCueSuggestions {
    struct TSettings {
        double SoundLevelDbfs = -40; // "above -40 dBFS"
        double SegueBelowLu = 15;    // "15 dB under the integrated loudness"
    };
    int64_t SoundStartMs = -1; // -1: none (silence)
    int64_t SoundEndMs = -1;
    int64_t SegueMs = -1;

    static TCueSuggestions From(const TAudioAnalysis& analysis, const TSettings& settings);
};
