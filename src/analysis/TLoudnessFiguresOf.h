#pragma once

#include "TAudioAnalysis.h"
#include "TLoudnessFigures.h"

// An analysis's loudness as the list, the cache and the tag writer keep it.
inline TLoudnessFigures LoudnessFiguresOf(const TLoudness& loudness) {
    TLoudnessFigures figures;
    figures.Integrated = loudness.Integrated;
    figures.Range = loudness.Range;
    figures.TruePeak = loudness.TruePeak;
    figures.SamplePeak = loudness.SamplePeak;
    figures.MaxMomentary = loudness.MaxMomentary;
    figures.MaxShortTerm = loudness.MaxShortTerm;
    return figures;
}
