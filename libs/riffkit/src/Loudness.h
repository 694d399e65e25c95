#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace riffkit {

// Measured loudness in hundredths (LUFS, LU, dBTP); nullopt for a figure not measured.
struct TLoudness {
    std::optional<std::int16_t> Integrated;
    std::optional<std::int16_t> Range;
    std::optional<std::int16_t> TruePeak;
    std::optional<std::int16_t> MaxMomentary;
    std::optional<std::int16_t> MaxShortTerm;

    bool Empty() const {
        return !Integrated && !Range && !TruePeak && !MaxMomentary && !MaxShortTerm;
    }
};

// The loudness fields of a bext chunk (version 2): five int16 values x 100 from offset 412,
// 0x7FFF for "not measured".
class TBextLoudness {
public:
    static constexpr std::size_t V2Size = 602; // the fixed part of a version 2 body
    static constexpr std::size_t VersionAt = 346;
    static constexpr std::size_t FieldsAt = 412;
    static constexpr std::int16_t NotMeasured = 0x7FFF;

    // The body with the figures written and the version raised to 2 (never lowered); a
    // body shorter than the fixed part is grown to it. Every other byte is kept.
    // No body: a new one, all zero but the version and the figures.
    static std::string Written(const std::optional<std::string>& body, const TLoudness& loudness);
    // The figures a body holds; nullopt below version 2 or when it is too short.
    static std::optional<TLoudness> Read(std::string_view body);
    // A figure as text with two decimals ("-23.00"), independent of the C locale.
    static std::string Text(std::int16_t hundredths);
};

// ReplayGain 2.0 as user text frames: the track gain against -18 LUFS and the linear true
// peak.
class TReplayGain {
public:
    static constexpr const char* GainKey = "REPLAYGAIN_TRACK_GAIN";
    static constexpr const char* PeakKey = "REPLAYGAIN_TRACK_PEAK";

    // "-5.12 dB" for an integrated loudness of -12.88 LUFS.
    static std::string GainText(std::int16_t integrated);
    // "0.891251" for a true peak of -1.00 dBTP.
    static std::string PeakText(std::int16_t truePeak);
    // The integrated loudness a gain text stands for; nullopt when it is no gain.
    static std::optional<std::int16_t> IntegratedFromGain(std::string_view text);
    // The true peak (dBTP x 100) a peak text stands for; nullopt when it is no positive peak.
    static std::optional<std::int16_t> TruePeakFromPeak(std::string_view text);

    static bool IsKey(std::string_view key);
    // ASCII case folded: other taggers write the descriptions in lower case.
    static bool SameKey(std::string_view a, std::string_view b);
};

} // namespace riffkit
