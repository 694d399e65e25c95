#include "Loudness.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace riffkit {

namespace {

std::int16_t Get16(std::string_view body, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(body.data() + at);
    return static_cast<std::int16_t>(p[0] | p[1] << 8);
}

void Put16(std::string& body, std::size_t at, std::int16_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    body[at] = static_cast<char>(v & 0xFF);
    body[at + 1] = static_cast<char>(v >> 8);
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A decimal number, locale-free; the rest of the text must be empty or `unit`.
std::optional<double> Number(std::string_view text, std::string_view unit) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    const std::string_view rest = Trimmed(text.substr(static_cast<std::size_t>(end - text.data())));
    if (!rest.empty() && !TReplayGain::SameKey(rest, unit))
        return std::nullopt;
    return value;
}

std::optional<std::int16_t> Hundredths(double value) {
    const double h = std::round(value * 100);
    if (!(h > std::numeric_limits<std::int16_t>::min() && h < TBextLoudness::NotMeasured))
        return std::nullopt;
    return static_cast<std::int16_t>(h);
}

} // namespace

std::string TBextLoudness::Written(const std::optional<std::string>& body,
                                   const TLoudness& loudness) {
    std::string out = body.value_or(std::string());
    if (out.size() < V2Size)
        out.resize(V2Size, '\0');
    if (static_cast<std::uint16_t>(Get16(out, VersionAt)) < 2)
        Put16(out, VersionAt, 2);
    const std::optional<std::int16_t> figures[] = {loudness.Integrated, loudness.Range,
                                                   loudness.TruePeak, loudness.MaxMomentary,
                                                   loudness.MaxShortTerm};
    for (std::size_t i = 0; i < 5; ++i)
        Put16(out, FieldsAt + 2 * i, figures[i].value_or(NotMeasured));
    return out;
}

std::optional<TLoudness> TBextLoudness::Read(std::string_view body) {
    if (body.size() < FieldsAt + 10 || static_cast<std::uint16_t>(Get16(body, VersionAt)) < 2)
        return std::nullopt;
    const auto figure = [&](std::size_t i) -> std::optional<std::int16_t> {
        const std::int16_t v = Get16(body, FieldsAt + 2 * i);
        return v == NotMeasured ? std::nullopt : std::optional(v);
    };
    return TLoudness{figure(0), figure(1), figure(2), figure(3), figure(4)};
}

std::string TBextLoudness::Text(std::int16_t hundredths) {
    const int v = hundredths;
    const int a = std::abs(v);
    std::string s = v < 0 ? "-" : "";
    s += std::to_string(a / 100) + "." + (a % 100 < 10 ? "0" : "") + std::to_string(a % 100);
    return s;
}

std::string TReplayGain::GainText(std::int16_t integrated) {
    const int gain = -1800 - integrated;
    return (gain < 0 ? "" : "+") + TBextLoudness::Text(static_cast<std::int16_t>(gain)) + " dB";
}

std::string TReplayGain::PeakText(std::int16_t truePeak) {
    const double linear = std::pow(10.0, truePeak / 2000.0);
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, linear, std::chars_format::fixed, 6);
    return error == std::errc() ? std::string(buffer, end) : std::string("0.000000");
}

std::optional<std::int16_t> TReplayGain::IntegratedFromGain(std::string_view text) {
    const auto gain = Number(text, "dB");
    return gain ? Hundredths(-18.0 - *gain) : std::nullopt;
}

std::optional<std::int16_t> TReplayGain::TruePeakFromPeak(std::string_view text) {
    const auto peak = Number(text, "");
    if (!peak || !(*peak > 0))
        return std::nullopt;
    return Hundredths(20.0 * std::log10(*peak));
}

bool TReplayGain::IsKey(std::string_view key) {
    return SameKey(key, GainKey) || SameKey(key, PeakKey);
}

bool TReplayGain::SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace riffkit
