#pragma once

#include <QByteArray>

#include <optional>

// A file's measured loudness as the list keeps it (in the tag cache, kind "loudness"): the
// EBU R128 figures of one analysis of its audio. Silence has no loudness (-inf).
struct TLoudnessFigures {
    double Integrated = 0;   // LUFS
    double Range = 0;        // LU
    double TruePeak = 0;     // dBTP
    double SamplePeak = 0;   // dBFS
    double MaxMomentary = 0; // LUFS
    double MaxShortTerm = 0; // LUFS

    bool operator==(const TLoudnessFigures&) const = default;

    // Text of six numbers, locale-free; nothing for bytes that are not one.
    QByteArray Encode() const;
    static std::optional<TLoudnessFigures> Decode(const QByteArray& bytes);
    // A whole decimal number (or "inf", "-inf"), locale-free; nothing for other text.
    static std::optional<double> ParseNumber(const char* first, const char* last);
};
