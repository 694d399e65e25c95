#include "TLoudnessColumns.h"

#include "TShellItem.h"

#include <QList>

#include <cmath>

namespace {

QString Figure(double value, const char* unit) {
    if (std::isinf(value))
        return QStringLiteral("%1inf %2").arg(value < 0 ? "-" : "").arg(QLatin1String(unit));
    // QString::number is locale-free: the same text under every locale.
    QString text = QString::number(value, 'f', 1);
    // "-0.0" reads as a sign where there is none.
    if (text == QLatin1String("-0.0"))
        text.remove(0, 1);
    return text + QLatin1Char(' ') + QLatin1String(unit);
}

} // namespace

QString TLoudnessColumns::Caption(int number) {
    switch (number) {
    case Loudness:
        return QStringLiteral("Loudness");
    case Range:
        return QStringLiteral("Loudness range");
    case TruePeak:
        return QStringLiteral("True peak");
    default:
        return {};
    }
}

QString TLoudnessColumns::Text(int number, const TLoudnessFigures& figures) {
    switch (number) {
    case Loudness:
        return Figure(figures.Integrated, "LUFS");
    case Range:
        return Figure(figures.Range, "LU");
    case TruePeak:
        return Figure(figures.TruePeak, "dBTP");
    default:
        return {};
    }
}

std::optional<double> TLoudnessColumns::ValueOf(QStringView text) {
    const qsizetype blank = text.indexOf(u' ');
    const QByteArray number = text.left(blank < 0 ? text.size() : blank).toLatin1();
    if (number.isEmpty())
        return std::nullopt;
    if (number == "-inf")
        return -HUGE_VAL;
    return TLoudnessFigures::ParseNumber(number.constData(), number.constData() + number.size());
}

void TLoudnessRows::Load(TTagCache& cache, const QByteArray& folder) {
    Cache = &cache;
    Folder = folder;
    Rows = cache.FolderAnalyses(folder, TLoudnessColumns::CacheKind);
    IsLoaded = true;
}

void TLoudnessRows::Clear() {
    Cache = nullptr;
    Rows.clear();
    IsLoaded = false;
}

void TLoudnessRows::Fill(TShellItem& entry, const QByteArray& name, const TFileStamp& stamp) {
    const auto found = name.isEmpty() ? Rows.end() : Rows.find(name);
    if (found != Rows.end() && found->second.Stamp != stamp && Cache != nullptr) {
        if (auto now = Cache->Analysis(Folder, name, TLoudnessColumns::CacheKind, stamp))
            found->second = {stamp, std::move(*now)};
    }
    const std::optional<TLoudnessFigures> figures =
        found != Rows.end() && found->second.Stamp == stamp
            ? TLoudnessFigures::Decode(found->second.Data)
            : std::nullopt;
    if (figures) {
        Show(entry, *figures);
        return;
    }
    for (int n = TLoudnessColumns::First; n <= TLoudnessColumns::Last; ++n)
        entry.SetValue(n, QString());
}

void TLoudnessRows::Show(TShellItem& entry, const TLoudnessFigures& figures) {
    for (int n = TLoudnessColumns::First; n <= TLoudnessColumns::Last; ++n)
        entry.SetValue(n, TLoudnessColumns::Text(n, figures));
}
