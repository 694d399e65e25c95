// Find and type-ahead over a row source standing in for the list: containment with the
// locale's lower case, the wrap, the last-row match, blocks of eleven rows read as the search
// reaches them, and type-ahead's ASCII-only prefix rule.

#include "TListFinder.h"
#include "TListRowSource.h"
#include "TypeAhead.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <utility>
#include <vector>

namespace {

// Rows with one information column (number 3); values are hidden until the row is read.
class TFakeRows : public TListRowSource {
public:
    explicit TFakeRows(QStringList names, QStringList artists = {})
        : Names(std::move(names)), Artists(std::move(artists)), Read(Names.size(), false) {}

    int RowCount() const override { return int(Names.size()); }
    QString RowName(int row) const override { return Names[row]; }
    bool RowStale(int row) const override { return !Read[row]; }
    void ReadRows(int first, int last) override {
        Reads.push_back({first, last});
        for (int i = first; i <= last; ++i)
            Read[i] = true;
    }
    QString RowValue(int row, int column) const override {
        if (column != 3 || !Read[row] || row >= Artists.size())
            return {};
        return Artists[row];
    }

    QStringList Names;
    QStringList Artists;
    std::vector<bool> Read;
    std::vector<std::pair<int, int>> Reads;
};

TEST(ListFinderTest, FindsContainedTextIgnoringCaseAndWraps) {
    TFakeRows rows({"Intro.wav", "Remix Final.wav", "jingle.mp3", "MIXDOWN.mp3", "Outro.wav"});
    TListFinder finder;
    struct Step {
        bool First;
        TFindOutcome Outcome;
        int Row;
    };
    // First match from the top, then below it, then wrapped to the top again.
    const Step steps[] = {
        {true, TFindOutcome::Found, 1},
        {false, TFindOutcome::Found, 3},
        {false, TFindOutcome::Found, 1},
    };
    for (const Step& s : steps) {
        const TFindResult r =
            s.First ? finder.FindFirst(rows, 0, QStringLiteral("MiX")) : finder.FindNext(rows);
        EXPECT_EQ(r.Outcome, s.Outcome);
        EXPECT_EQ(r.Row, s.Row);
    }
    EXPECT_EQ(finder.FindPattern, QStringLiteral("mix"));
    EXPECT_EQ(finder.FindRow, 2);
}

TEST(ListFinderTest, LastRowMatchEndsFindNextQuietly) {
    TFakeRows rows({"a.wav", "b.wav", "jingle.wav"});
    TListFinder finder;
    EXPECT_EQ(finder.FindFirst(rows, 0, QStringLiteral("jingle")).Row, 2);
    EXPECT_EQ(finder.FindNext(rows).Outcome, TFindOutcome::PastEnd);
    EXPECT_EQ(finder.FindRow, 3);
}

TEST(ListFinderTest, NothingFoundTellsThePatternLowerCased) {
    TFakeRows rows({"a.wav"});
    TListFinder finder;
    const TFindResult r = finder.FindFirst(rows, 0, QStringLiteral("Jingle"));
    EXPECT_EQ(r.Outcome, TFindOutcome::NotFound);
    EXPECT_EQ(finder.FindRow, 0);
    EXPECT_EQ(TListFinder::NotFoundText(finder.FindPattern),
              QStringLiteral("Search text 'jingle' not found"));
}

TEST(ListFinderTest, EmptyTextOrEmptyListChangesNothing) {
    TFakeRows rows({"a.wav"});
    TFakeRows none({});
    TListFinder finder;
    finder.FindFirst(rows, 0, QStringLiteral("a"));
    EXPECT_EQ(finder.FindFirst(rows, 3, QString()).Outcome, TFindOutcome::NothingToSearch);
    EXPECT_EQ(finder.FindFirst(none, 3, QStringLiteral("x")).Outcome,
              TFindOutcome::NothingToSearch);
    EXPECT_EQ(finder.FindColumn, 0);
    EXPECT_EQ(finder.FindPattern, QStringLiteral("a"));
    EXPECT_EQ(finder.FindRow, 1);
}

TEST(ListFinderTest, LocaleFoldsAccentsThatTypeAheadKeeps) {
    TFakeRows rows({"x.wav", "\u00c4rger.wav"});
    TListFinder finder;
    finder.Locale = QLocale(QLocale::German);
    EXPECT_EQ(finder.FindFirst(rows, 0, QStringLiteral("\u00e4rger")).Row, 1);
    EXPECT_EQ(TypeAheadRow(rows, u"\u00e4", 0, true), -1);
    EXPECT_EQ(TypeAheadRow(rows, u"\u00c4", 0, true), 1);
}

TEST(ListFinderTest, ReadsUnreadRowsInBlocksAsTheSearchReachesThem) {
    QStringList names, artists;
    for (int i = 0; i < 40; ++i) {
        names.append(QStringLiteral("track%1.wav").arg(i));
        artists.append(i == 15 ? QStringLiteral("The Jingle Band") : QStringLiteral("Other"));
    }
    TFakeRows rows(names, artists);
    TListFinder finder;
    const TFindResult r = finder.FindFirst(rows, 3, QStringLiteral("jingle"));
    EXPECT_EQ(r.Row, 15);
    // Rows 0..10 and 11..21: the search stopped early and read no further.
    const std::vector<std::pair<int, int>> expected = {{0, 10}, {11, 21}};
    EXPECT_EQ(rows.Reads, expected);
    // The name column reads nothing; the end of the list clamps the block.
    rows.Reads.clear();
    finder.FindFirst(rows, 0, QStringLiteral("track3"));
    EXPECT_TRUE(rows.Reads.empty());
    finder.FindFirst(rows, 3, QStringLiteral("nobody"));
    const std::vector<std::pair<int, int>> rest = {{22, 32}, {33, 39}};
    EXPECT_EQ(rows.Reads, rest);
}

TEST(TypeAheadTest, FindsTheNextNameStartingWithTheText) {
    TFakeRows rows({"alpha.wav", "Beat.wav", "bravo.wav", "charlie.wav"});
    struct Case {
        const char16_t* Text;
        int Start;
        bool Wrap;
        int Expected;
    };
    const Case cases[] = {
        {u"b", 0, false, 1},                         // case folded
        {u"b", 2, false, 2},                         // the start row itself counts
        {u"BR", 0, false, 2},                        // several letters
        {u"a", 3, true, 0},                          // wraps to the top
        {u"a", 3, false, -1},                        // no wrap: no match, the current row stays
        {u"zulu", 1, true, -1},                      // no match anywhere
        {u"", 0, true, -1},     {u"a", 9, true, -1}, // start outside the rows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Start << " " << c.Wrap);
        EXPECT_EQ(TypeAheadRow(rows, QStringView(c.Text), c.Start, c.Wrap), c.Expected);
    }
}

} // namespace
