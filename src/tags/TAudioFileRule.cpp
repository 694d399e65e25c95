#include "TAudioFileRule.h"

bool TAudioFileRule::IsAudioPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || dot < slash)
        return false;
    const QByteArray extension = path.mid(dot).toLower();
    return extension == ".wav" || extension == ".mp2" || extension == ".mp3";
}

bool TAudioFileRule::IsMpegSuffix(const QString& suffix) {
    const QString ext = suffix.left(3).toUpper();
    return ext.size() == 3 && ext.startsWith(QLatin1String("MP")) &&
           (ext[2] == QLatin1Char('3') || ext[2] == QLatin1Char('2') || ext[2] == QLatin1Char('G'));
}
