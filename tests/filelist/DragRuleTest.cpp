// The folder list's drag rule: armed by a press on a row (or with rows selected), a drag only
// past the start distance and after the delay, and disarmed by a move without buttons or off
// a selected row.
#include "TDragRule.h"

#include <gtest/gtest.h>

namespace {

using TMove = TDragRule::TMove;
constexpr int Distance = 10;

TEST(DragRule, DragsOnlyPastTheDistanceAndAfterTheDelay) {
    struct TCase {
        QPoint To;
        qint64 AfterMs;
        TMove Expected;
    };
    const qint64 delay = TDragRule::DelayMs;
    const TCase cases[] = {
        {{110, 50}, delay, TMove::Wait},       // exactly the distance: not past it
        {{111, 50}, delay - 1, TMove::Wait},   // past it, but too early
        {{111, 50}, delay, TMove::Drag},       // past it in x, at the delay
        {{100, 39}, delay + 500, TMove::Drag}, // past it in y
        {{89, 61}, delay, TMove::Drag},        // backwards counts too
        {{105, 55}, delay + 500, TMove::Wait}, // late but within the distance
    };
    for (const TCase& c : cases) {
        TDragRule rule;
        rule.Press(3, false, {100, 50}, 1000, Qt::LeftButton);
        EXPECT_EQ(rule.Move(c.To, 1000 + c.AfterMs, true, true, Distance), c.Expected)
            << c.To.x() << "," << c.To.y() << " after " << c.AfterMs;
        EXPECT_TRUE(rule.Armed());
    }
}

TEST(DragRule, ArmedByARowOrASelectionAndDisarmedByMovesItCannotDrag) {
    TDragRule rule;
    EXPECT_EQ(rule.Move({200, 200}, 5000, true, true, Distance), TMove::Ignore);

    rule.Press(-1, false, {0, 0}, 0, Qt::LeftButton); // empty space, nothing selected
    EXPECT_FALSE(rule.Armed());

    rule.Press(-1, true, {0, 0}, 0, Qt::RightButton); // empty space with a selection
    EXPECT_TRUE(rule.Armed());
    EXPECT_EQ(rule.PressButton(), Qt::RightButton);
    EXPECT_EQ(rule.Move({50, 0}, 500, true, true, Distance), TMove::Disarm); // no row pressed
    EXPECT_FALSE(rule.Armed());
    EXPECT_EQ(rule.PressButton(), Qt::NoButton);

    rule.Press(2, false, {0, 0}, 0, Qt::LeftButton);
    EXPECT_EQ(rule.Move({50, 0}, 500, false, true, Distance), TMove::Disarm); // no button held
    EXPECT_FALSE(rule.Armed());

    rule.Press(2, false, {0, 0}, 0, Qt::LeftButton);
    EXPECT_EQ(rule.PressRow(), 2);
    EXPECT_EQ(rule.Move({50, 0}, 500, true, false, Distance), TMove::Disarm); // row not selected
    EXPECT_EQ(rule.PressRow(), -1);
}

} // namespace
