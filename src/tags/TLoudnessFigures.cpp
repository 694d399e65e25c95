#include "TLoudnessFigures.h"

#include <QList>

#include <array>
#include <charconv>
#include <cmath>

namespace {

constexpr int FigureCount = 6;
constexpr char Version[] = "1";

QByteArray Number(double value) {
    if (std::isinf(value))
        return value < 0 ? QByteArray("-inf") : QByteArray("inf");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

} // namespace

QByteArray TLoudnessFigures::Encode() const {
    QByteArray bytes = Version;
    for (double value : {Integrated, Range, TruePeak, SamplePeak, MaxMomentary, MaxShortTerm})
        bytes += ' ' + Number(value);
    return bytes;
}

std::optional<TLoudnessFigures> TLoudnessFigures::Decode(const QByteArray& bytes) {
    const QList<QByteArray> parts = bytes.split(' ');
    if (parts.size() != FigureCount + 1 || parts.front() != Version)
        return std::nullopt;
    std::array<double, FigureCount> values{};
    for (int i = 0; i < FigureCount; ++i) {
        const QByteArray& part = parts[i + 1];
        const auto value =
            TLoudnessFigures::ParseNumber(part.constData(), part.constData() + part.size());
        if (!value)
            return std::nullopt;
        values[static_cast<size_t>(i)] = *value;
    }
    TLoudnessFigures figures;
    figures.Integrated = values[0];
    figures.Range = values[1];
    figures.TruePeak = values[2];
    figures.SamplePeak = values[3];
    figures.MaxMomentary = values[4];
    figures.MaxShortTerm = values[5];
    return figures;
}

std::optional<double> TLoudnessFigures::ParseNumber(const char* first, const char* last) {
    double value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || std::isnan(value))
        return std::nullopt;
    return value;
}
