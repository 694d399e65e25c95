#include "TAudioFileRule.h"

bool TAudioFileRule::IsAudioPath(const QByteArray& path) {
    // Asked several times for every row of a pass: four bytes at the end, no copies.
    const qsizetype n = path.size();
    if (n < 4 || path[n - 4] != '.')
        return false;
    const auto lower = [&](qsizetype i) {
        const char c = path[i];
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const char a = lower(n - 3), b = lower(n - 2), c = lower(n - 1);
    return (a == 'w' && b == 'a' && c == 'v') || (a == 'm' && b == 'p' && (c == '2' || c == '3'));
}

bool TAudioFileRule::IsMpegSuffix(const QString& suffix) {
    const QString ext = suffix.left(3).toUpper();
    return ext.size() == 3 && ext.startsWith(QLatin1String("MP")) &&
           (ext[2] == QLatin1Char('3') || ext[2] == QLatin1Char('2') || ext[2] == QLatin1Char('G'));
}
