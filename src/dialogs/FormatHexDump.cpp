#include "FormatHexDump.h"

namespace {

QString Characters(const QByteArray& bytes, qsizetype from, qsizetype count) {
    QString text;
    for (qsizetype i = from; i < from + count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        text += byte >= 32 && byte <= 126 ? QChar(byte) : QLatin1Char('.');
    }
    return text;
}

} // namespace

QString FormatHexDump(const QByteArray& bytes) {
    QString text;
    const qsizetype count = bytes.size();
    for (qsizetype lineStart = 0; lineStart < count; lineStart += 16) {
        const qsizetype present = std::min<qsizetype>(16, count - lineStart);
        text += QStringLiteral("%1: ").arg(lineStart, 4, 16, QLatin1Char('0')).toUpper();
        for (qsizetype i = 0; i < present; ++i) {
            const auto byte = static_cast<unsigned char>(bytes.at(lineStart + i));
            text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
            text += i == 7 ? QLatin1Char('-') : QLatin1Char(' ');
        }
        text += QString(3 * (16 - present), QLatin1Char(' '));
        text += Characters(bytes, lineStart, present);
        text += QStringLiteral("\r\n");
    }
    return text;
}
