// The list's ordering rules: ASCII-only folding, grouping of folders and non-file-system
// items, sizes beyond 4 GiB, dates, and information columns whose empty values come first.

#include "CompareText.h"
#include "SortRules.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(CompareTextTest, FoldsOnlyAsciiLettersAndOrdersByCodePoint) {
    struct Case {
        const char16_t* A;
        const char16_t* B;
        int Expected;
    };
    const Case cases[] = {
        {u"abc", u"ABC", 0},
        {u"abc", u"abd", -1},
        {u"ab", u"abc", -1}, // the shorter text first
        {u"", u"a", -1},
        {u"", u"", 0},
        {u"\u00c4", u"\u00e4", -1}, // Ä and ä stay apart
        {u"a_b", u"aZb", 1},        // '_' (0x5F) after 'Z' (0x5A), 'z' folded to 'Z'
        {u"[", u"a", 1},            // '[' (0x5B) after 'a' folded to 'A' (0x41)
        {u"zeta", u"\u00e9clair", -1},
        // Code point order: U+FFFD before U+1F600, though its UTF-16 unit is larger.
        {u"\ufffd", u"\U0001F600", -1},
        // Long shared starts, and differences past them in case only or in order.
        {u"track00012.wav", u"TRACK00012.WAV", 0},
        {u"track00012.wav", u"track00013.wav", -1},
        {u"Artist 1234567", u"artist 1234567x", -1},
        {u"abcdefgh_", u"ABCDEFGHz", 1},
    };
    for (const Case& c : cases) {
        const QString a = QString::fromUtf16(c.A);
        const QString b = QString::fromUtf16(c.B);
        SCOPED_TRACE(a.toStdString() + " vs " + b.toStdString());
        EXPECT_EQ(Sign(CompareText(a, b)), c.Expected);
        EXPECT_EQ(Sign(CompareText(b, a)), -Sign(CompareText(a, b)));
    }
}

TEST(CompareTextTest, PrefixUsesTheSameFolding) {
    EXPECT_TRUE(StartsWithText(u"Beat.wav", u"b"));
    EXPECT_TRUE(StartsWithText(u"beat.wav", u"BEA"));
    EXPECT_FALSE(StartsWithText(u"\u00c4rger.wav", u"\u00e4"));
    EXPECT_FALSE(StartsWithText(u"be", u"bea"));
    EXPECT_TRUE(StartsWithText(u"x", u""));
}

struct TRow {
    QString Name;
    bool Folder = false;
    bool NotFs = false;
    qint64 Size = 0;
    qint64 Time = 0;
    QString Value;

    TSortFields Fields() const {
        TSortFields f;
        f.NotFileSystem = NotFs;
        f.IsFolder = Folder;
        f.DisplayName = Name;
        f.Size = Size;
        if (Time != 0)
            f.ModifiedTime = QDateTime::fromMSecsSinceEpoch(Time * 1000);
        f.Value = Value;
        return f;
    }
};

QStringList Sorted(std::vector<TRow> rows, int column, bool ascending) {
    const TSortKind kind = SortKindOfColumn(column);
    // The views must not outlive their texts: the paths live as long as the sort.
    std::vector<QByteArray> paths;
    for (const TRow& r : rows)
        paths.push_back("/music/" + r.Name.toUtf8());
    std::vector<int> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        TSortFields fa = rows[a].Fields();
        TSortFields fb = rows[b].Fields();
        fa.ParsingName = paths[a];
        fb.ParsingName = paths[b];
        return CompareSortFields(kind, fa, fb, ascending) < 0;
    });
    QStringList names;
    for (int i : order)
        names.append(rows[i].Name);
    return names;
}

TEST(SortRulesTest, ColumnsOrderByTheirRules) {
    const qint64 gib = qint64(1) << 30;
    const std::vector<TRow> rows = {
        {QStringLiteral("beta.wav"), false, false, 5 * gib, 300, QStringLiteral("Zappa")},
        {QStringLiteral("Alpha"), true, false, 0, 200, {}},
        {QStringLiteral("gamma.mp3"), false, false, 3 * gib, 100, {}},
        {QStringLiteral("delta.txt"), false, false, 1023, 400, QStringLiteral("abba")},
        {QStringLiteral("Computer"), true, true, 0, 0, {}},
        {QStringLiteral("Zulu"), true, false, 0, 500, {}},
    };
    struct Case {
        int Column;
        bool Ascending;
        QStringList Expected;
    };
    const Case cases[] = {
        // Name: non-file-system items, then folders, then files.
        {0, true, {"Computer", "Alpha", "Zulu", "beta.wav", "delta.txt", "gamma.mp3"}},
        {0, false, {"gamma.mp3", "delta.txt", "beta.wav", "Zulu", "Alpha", "Computer"}},
        // Size: folders by path, then files by their whole 64-bit size (5 GiB after 3 GiB).
        {1, true, {"Alpha", "Computer", "Zulu", "delta.txt", "gamma.mp3", "beta.wav"}},
        {1, false, {"beta.wav", "gamma.mp3", "delta.txt", "Zulu", "Computer", "Alpha"}},
        // Modified: folders (by time among themselves) before files by time.
        {2, true, {"Computer", "Alpha", "Zulu", "gamma.mp3", "beta.wav", "delta.txt"}},
        // Information column: folders first, then empty values, then case-folded texts.
        {3, true, {"Alpha", "Computer", "Zulu", "gamma.mp3", "delta.txt", "beta.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.Column << " asc " << c.Ascending);
        // Information column: the folders have no value and compare equal among themselves.
        QStringList got = Sorted(rows, c.Column, c.Ascending);
        if (c.Column == 3) {
            QStringList folders = got.mid(0, 3);
            folders.sort();
            got = folders + got.mid(3);
        }
        EXPECT_EQ(got, c.Expected);
    }
}

TEST(SortRulesTest, GroupingAndSizesBeyondFourGiB) {
    TSortFields folder, file, small, big;
    folder.IsFolder = true;
    folder.ParsingName = "/b";
    file.Size = 10;
    small.Size = qint64(1) << 32;     // 4 GiB: low 32 bits are 0
    big.Size = (qint64(1) << 32) + 1; // one more byte
    for (TSortKind kind : {TSortKind::Size, TSortKind::Modified, TSortKind::Value})
        EXPECT_LT(CompareSortFields(kind, folder, file, true), 0);
    EXPECT_GT(CompareSortFields(TSortKind::Size, folder, file, false), 0);
    EXPECT_LT(CompareSortFields(TSortKind::Size, file, small, true), 0);
    EXPECT_LT(CompareSortFields(TSortKind::Size, small, big, true), 0);
    EXPECT_EQ(CompareSortFields(TSortKind::Size, big, big, false), 0);
    // Non-file-system items group only by Name.
    TSortFields drive;
    drive.NotFileSystem = true;
    drive.DisplayName = u"z";
    TSortFields plain;
    plain.DisplayName = u"a";
    EXPECT_LT(CompareSortFields(TSortKind::Name, drive, plain, true), 0);
    EXPECT_EQ(CompareSortFields(TSortKind::Value, drive, plain, true), 0);
    EXPECT_EQ(SortKindOfColumn(7), TSortKind::Value);
    // Bytes that are not UTF-8 compare as bytes; ASCII letters still fold.
    EXPECT_EQ(CompareText(QByteArrayView("/MUSIC/x"), QByteArrayView("/music/X")), 0);
    EXPECT_LT(CompareText(QByteArrayView("/m/\x7f"), QByteArrayView("/m/\xe9")), 0);
    // A time not read yet sorts before a real one.
    TSortFields unread, dated;
    dated.ModifiedTime = QDateTime::fromMSecsSinceEpoch(0);
    EXPECT_LT(CompareSortFields(TSortKind::Modified, unread, dated, true), 0);
}

} // namespace
