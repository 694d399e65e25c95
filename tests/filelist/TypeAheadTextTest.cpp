// Type-ahead's timing rule: letters within the interval of the one before extend the text,
// later ones (and the first after a reset) start a new one.
#include "TTypeAheadText.h"

#include <gtest/gtest.h>

namespace {

TEST(TypeAheadText, ExtendsWithinTheIntervalOfTheLastLetterAndRestartsAfterIt) {
    struct TStep {
        const char* Letter;
        qint64 AtMs;
        bool Extended;
        const char* Text;
    };
    // Interval 500 ms, measured from the letter before, not from the first one.
    const TStep steps[] = {
        {"b", 1000, false, "b"},  {"e", 1400, true, "be"}, {"t", 1899, true, "bet"},
        {"a", 2399, false, "a"},  {"l", 2400, true, "al"}, {"p", 2899, true, "alp"},
        {"x", 10000, false, "x"},
    };
    TTypeAheadText typing(500);
    for (const TStep& step : steps) {
        EXPECT_EQ(typing.Type(QString::fromLatin1(step.Letter), step.AtMs), step.Extended)
            << step.Letter << " at " << step.AtMs;
        EXPECT_EQ(typing.Text(), QString::fromLatin1(step.Text)) << step.AtMs;
    }
}

TEST(TypeAheadText, TheFirstLetterAndTheOneAfterAResetStartANewText) {
    TTypeAheadText typing(500);
    EXPECT_FALSE(typing.Type("a", 0)); // the clock may start at zero
    EXPECT_TRUE(typing.Type("b", 10));
    typing.Reset();
    EXPECT_FALSE(typing.Type("c", 20));
    EXPECT_EQ(typing.Text(), "c");
}

} // namespace
