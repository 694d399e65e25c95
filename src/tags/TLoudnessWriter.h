#pragma once

#include "TLoudnessFigures.h"

#include <QByteArray>
#include <QString>

// Stores a measured loudness in an audio file through the tagging library: a WAV file's
// bext chunk (as the broadcast chunks setting allows), an MPEG file's ReplayGain frames when
// the user asked for them (an MPEG file without an ID3v2 tag gets one first).
class TLoudnessWriter {
public:
    enum class TOutcome {
        Stored,    // in the file now
        NotStored, // nothing to store by the settings (an MPEG file, a WAV file without bext)
        Failed     // the file could not be written; Reason says why
    };
    struct TResult {
        TOutcome Outcome = TOutcome::NotStored;
        QString Reason;
    };

    static TResult Write(const QByteArray& path, const TLoudnessFigures& figures,
                         bool replayGainForMpeg);

    // A figure as the library takes it: hundredths, rounded; "not measured" for silence.
    static int32_t Hundredths(double value);
};
