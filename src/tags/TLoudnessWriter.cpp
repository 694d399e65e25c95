#include "TLoudnessWriter.h"

#include "TAudioLibs.h"

#include <cmath>
#include <limits>

namespace {

bool IsMpegPath(const QByteArray& path) {
    const QByteArray lower = path.toLower();
    return lower.endsWith(".mp3") || lower.endsWith(".mp2");
}

QString LastError(const QString& fallback) {
    const QString reason = QString::fromStdString(TagLastError());
    return reason.isEmpty() ? fallback : reason;
}

TLoudnessWriter::TResult Failure(const QString& reason) {
    return {TLoudnessWriter::TOutcome::Failed, reason};
}

} // namespace

int32_t TLoudnessWriter::Hundredths(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 327.66)
        return RIFFKIT_NOT_MEASURED;
    return static_cast<int32_t>(std::lround(value * 100));
}

TLoudnessWriter::TResult TLoudnessWriter::Write(const QByteArray& path,
                                                const TLoudnessFigures& figures,
                                                bool replayGainForMpeg) {
    const bool mpeg = IsMpegPath(path);
    if (mpeg && !replayGainForMpeg)
        return {};
    const TAudioLibs& libs = AudioLibs();
    if (!libs.SetLoudness || !libs.OpenWavFile || !libs.CloseWavFile)
        return Failure(QStringLiteral("the tagging library cannot store loudness"));
    if (libs.OpenWavFile(path.constData(), 0, 0) != 0)
        return Failure(LastError(QStringLiteral("the file could not be opened")));
    if (mpeg && libs.HasId3v2 && libs.HasId3v2() == 0) {
        // ReplayGain lives in an ID3v2 tag: one carrying the ID3v1 values is added first.
        libs.CloseWavFile();
        if (!libs.AddId3v2 || libs.AddId3v2(path.constData()) != 0)
            return Failure(QStringLiteral("no ID3v2 tag could be added"));
        if (libs.OpenWavFile(path.constData(), 0, 0) != 0)
            return Failure(LastError(QStringLiteral("the file could not be opened")));
    }
    const TLoudnessStore set = StoreLoudness(
        {Hundredths(figures.Integrated), Hundredths(figures.Range), Hundredths(figures.TruePeak),
         Hundredths(figures.MaxMomentary), Hundredths(figures.MaxShortTerm)});
    const QString refused =
        set != TLoudnessStore::Stored ? LastError(QStringLiteral("nothing to store")) : QString();
    const int16_t closed = libs.CloseWavFile();
    if (set == TLoudnessStore::NotStored)
        return {TOutcome::NotStored, refused};
    if (set != TLoudnessStore::Stored)
        return Failure(refused);
    if (closed != 0)
        return Failure(LastError(QStringLiteral("the file could not be written")));
    return {TOutcome::Stored, {}};
}
