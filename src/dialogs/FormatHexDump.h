#pragma once

#include <QByteArray>
#include <QString>

// Renders bytes as the header dump shows them: lines of 16 bytes, each led by its offset
// ("0000: "), the bytes as hexadecimal pairs with "-" after the eighth, then the bytes as
// characters (32..126 as themselves, others as "."), lines ended by CR LF. A short last
// line is padded so that its characters line up with the lines above.
QString FormatHexDump(const QByteArray& bytes);
