#include "FormatHexDump.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(FormatHexDump, FullLineHasOffsetPairsDashAndCharacters) {
    QByteArray bytes("RIFF");
    bytes.append(char(0x24)).append(char(0x08)).append(char(0)).append(char(0));
    bytes.append("WAVEfmt ");
    bytes.append(QByteArray(16, '\x7f'));
    EXPECT_EQ(FormatHexDump(bytes),
              "0000: 52 49 46 46 24 08 00 00-57 41 56 45 66 6D 74 20 RIFF$...WAVEfmt \r\n"
              "0010: 7F 7F 7F 7F 7F 7F 7F 7F-7F 7F 7F 7F 7F 7F 7F 7F ................\r\n");
}

TEST(FormatHexDump, ShortLastLineIsPaddedSoCharactersLineUp) {
    QByteArray bytes(16, 'A');
    bytes.append("\xff"
                 "BC");
    const QString text = FormatHexDump(bytes);
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 3); // two lines and the empty rest after the last CR LF
    EXPECT_EQ(lines[1], "0010: FF 42 43 " + QString(13 * 3, ' ') + ".BC");
    EXPECT_EQ(lines[0].indexOf("AAAA"), lines[1].indexOf(".BC"));
    EXPECT_EQ(FormatHexDump(QByteArray()), "");
}

TEST(FormatHexDump, OffsetsCountInUpperCaseHex) {
    const QStringList lines = FormatHexDump(QByteArray(256, ' ')).split("\r\n");
    ASSERT_EQ(lines.size(), 17);
    EXPECT_TRUE(lines[10].startsWith("00A0: 20 "));
    EXPECT_TRUE(lines[15].startsWith("00F0: "));
}
