#include "TAudioFileRule.h"

bool TAudioFileRule::IsAudioPath(const QByteArray& path) {
    // The name's last dot begins one of the three extensions (any case); asked of every row of
    // a list as it is read, so it looks at the path's last four bytes and copies nothing.
    const qsizetype size = path.size();
    if (size < 4 || path[size - 4] != '.')
        return false;
    const auto lower = [&](qsizetype at) {
        const char c = path[at];
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const char a = lower(size - 3);
    const char b = lower(size - 2);
    const char c = lower(size - 1);
    return (a == 'w' && b == 'a' && c == 'v') || (a == 'm' && b == 'p' && (c == '2' || c == '3'));
}

bool TAudioFileRule::IsMpegSuffix(const QString& suffix) {
    const QString ext = suffix.left(3).toUpper();
    return ext.size() == 3 && ext.startsWith(QLatin1String("MP")) &&
           (ext[2] == QLatin1Char('3') || ext[2] == QLatin1Char('2') || ext[2] == QLatin1Char('G'));
}
