#pragma once

#include "sonara.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The playback library's decode operations (bound by the program or linked by a tool).
struct TDecodeOps {
    decltype(&::SN_DecodeOpen) Open = nullptr;
    decltype(&::SN_DecodeRead) Read = nullptr;
    decltype(&::SN_DecodeClose) Close = nullptr;
    decltype(&::SN_GetLastError) LastError = nullptr;
};

// EBU R128 figures of a file. A loudness of nothing but silence (below the absolute gate) is
// not a number: HasLoudness() is false.
struct TLoudness {
    double Integrated = 0;   // LUFS
    double Range = 0;        // LU
    double MaxMomentary = 0; // LUFS
    double MaxShortTerm = 0; // LUFS
    double SamplePeak = 0;   // dBFS, of the loudest channel
    double TruePeak = 0;     // dBTP, of the loudest channel
    bool HasLoudness() const;
};

// Minimum and maximum per channel of every block of SamplesPerPixel frames, in the order of
// audiowaveform's data files (pixel by pixel, each channel's min then max).
struct TPeakOverview {
    static constexpr int DefaultSamplesPerPixel = 256;
    int SampleRate = 0;
    int Channels = 0;
    int SamplesPerPixel = DefaultSamplesPerPixel;
    std::vector<int16_t> MinMax;
    size_t Pixels() const { return Channels > 0 ? MinMax.size() / (2 * Channels) : 0; }
    // The audiowaveform .dat version 2 form (16-bit values) and back; nothing for a file
    // that is not one.
    std::string ToDat() const;
    static std::optional<TPeakOverview> FromDat(const std::string& bytes);
};

// What one decode of a file yields.
struct TAudioAnalysis {
    static constexpr int CurveStepMs = 100;
    // The name its Encode form is kept under in the tag cache.
    static constexpr const char* CacheKind = "analysis";
    int SampleRate = 0;
    int Channels = 0;
    uint64_t Frames = 0; // decoded
    TLoudness Loudness;
    TPeakOverview Peaks;
    // Momentary loudness (400 ms) every CurveStepMs from the start, LUFS (-HUGE_VAL in
    // silence), for the suggested cue points.
    std::vector<double> Momentary;

    uint64_t LengthMs() const { return SampleRate > 0 ? Frames * 1000 / SampleRate : 0; }

    // Called with 0..100 as the decode goes on; false cancels.
    using TProgress = std::function<bool(int percent)>;
    // Decodes the file once through the playback decoders. Nothing, with the reason in
    // `error`, when the file cannot be decoded or the analysis was cancelled ("Cancelled").
    // Without `loudness` only the peaks are taken (the figures stay at 0, the curve empty).
    static std::optional<TAudioAnalysis> Run(const std::string& path, const TDecodeOps& ops,
                                             const TProgress& progress, std::string& error,
                                             bool loudness = true);

    // A compact binary form for the cache, and back (nothing for damaged bytes).
    std::string Encode() const;
    static std::optional<TAudioAnalysis> Decode(const std::string& bytes);
};
