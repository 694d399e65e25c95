// The entry's column texts, kept in one block: every sequence of sets reads back as a plain
// map of column to text would.
#include "TShellItem.h"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <string>
#include <vector>

namespace {

struct TSet {
    int Column;
    QString Text;
};

void ExpectValues(const TShellItem& item, const std::map<int, QString>& expected,
                  const char* step) {
    for (int n = 0; n <= TShellItem::ValueCount + 1; ++n) {
        const auto found = expected.find(n);
        const QString want = found != expected.end() ? found->second : QString();
        EXPECT_EQ(item.Value(n), want) << step << ", column " << n;
        EXPECT_EQ(item.ValueView(n), want) << step << ", column " << n;
    }
    uint64_t shown = 0;
    for (const auto& [n, text] : expected)
        shown |= uint64_t{1} << n;
    EXPECT_EQ(item.ValueColumns(), shown) << step;
    // All texts of some columns at once, the ones without a text and those out of range too.
    for (uint64_t columns : {~uint64_t{0}, uint64_t{0xAAAAAAAAAAAAAAAA}, shown}) {
        QStringView texts[TShellItem::ValueCount];
        const int count = item.ValueViews(columns, texts);
        int i = 0;
        for (int n = 1; n <= TShellItem::ValueCount; ++n) {
            if ((columns >> n & 1) != 0 && i < count) {
                EXPECT_EQ(texts[i], item.ValueView(n)) << step << ", column " << n;
                ++i;
            }
        }
        EXPECT_EQ(count,
                  std::popcount(columns & ((uint64_t{1} << (TShellItem::ValueCount + 1)) - 2)))
            << step;
    }
}

TEST(TShellItemTest, EverySequenceOfSetsReadsBackLikeAMap) {
    const QString longText(70000, QChar(u'x')); // beyond 16-bit offsets
    const QString wide = QStringLiteral("Ça ira \U0001F3B5 Заря");
    const std::vector<std::vector<TSet>> sequences = {
        // columns set out of order, the first and the last of the range among them
        {{34, "last"}, {1, "first"}, {17, "middle"}, {2, "PCM 44100 Hz"}},
        // a value replaced by a longer one, a shorter one, then cleared
        {{5, "a"}, {6, "b"}, {7, "c"}, {6, "much longer text"}, {6, "s"}, {6, ""}},
        // every value cleared again leaves nothing
        {{3, "x"}, {9, "y"}, {3, ""}, {9, ""}},
        // an empty value where there was none, and outside the range, change nothing
        {{4, "kept"}, {8, ""}, {0, "zero"}, {35, "beyond"}, {-1, "negative"}},
        // texts beyond the basic plane and a long one beside short ones
        {{10, wide}, {11, longText}, {12, "after the long one"}, {10, "short"}},
    };
    for (size_t s = 0; s < sequences.size(); ++s) {
        TShellItem item;
        std::map<int, QString> expected;
        for (const TSet& set : sequences[s]) {
            item.SetValue(set.Column, set.Text);
            if (set.Column >= 1 && set.Column <= TShellItem::ValueCount) {
                if (set.Text.isEmpty())
                    expected.erase(set.Column);
                else
                    expected[set.Column] = set.Text;
            }
            const std::string step =
                "sequence " + std::to_string(s) + " after column " + std::to_string(set.Column);
            ExpectValues(item, expected, step.c_str());
        }
    }
}

TEST(TShellItemTest, AllColumnsAtOnce) {
    TShellItem item;
    std::map<int, QString> expected;
    for (int n = TShellItem::ValueCount; n >= 1; --n) {
        expected[n] = QStringLiteral("value of column %1").arg(n);
        item.SetValue(n, expected[n]);
    }
    ExpectValues(item, expected, "all set");

    // The same texts replacing every value at once (no empty text given).
    TShellItem replaced;
    replaced.SetValue(2, "dropped");
    std::u16string units;
    std::vector<uint32_t> ends;
    uint64_t columns = 0;
    for (const auto& [n, text] : expected) {
        if (n % 3 == 0)
            continue;
        columns |= uint64_t{1} << n;
        units += text.toStdU16String();
        ends.push_back(static_cast<uint32_t>(units.size()));
    }
    std::erase_if(expected, [](const auto& value) { return value.first % 3 == 0; });
    replaced.ReplaceValues(columns, ends.data(), units.data());
    ExpectValues(replaced, expected, "replaced");
}

} // namespace
