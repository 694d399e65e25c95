#include "TextForms.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct TSpanCase {
    uint32_t Ms;
    const char* Text;
};

TEST(TimeTextTest, MinuteFormBelowAnHourHourFormFromAnHourOn) {
    const TSpanCase cases[] = {
        {0, "00:00.0"},
        {61234, "01:01.2"},
        {1999, "00:01.9"}, // tenths cut, never rounded
        {3599999, "59:59.9"},
        {3600000, "01:00:00.0"},
        {3723400, "01:02:03.4"},
        {360000000, "100:00:00.0"}, // hour digits are never cut
        {UINT32_MAX, "1193:02:47.2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeText(c.Ms), QString::fromLatin1(c.Text)) << c.Ms;
}

TEST(TextToMsTest, ReadsBothFormsByPosition) {
    const TSpanCase cases[] = {
        {3723400, "01:02:03.4"},
        {123400, "02:03.4"},
        {125000, " 2:05.0"},  // a blank reads as 0
        {0, "  :  . "},       // an empty masked field
        {5400000, "90:00.0"}, // minutes above 59 add up
        {99000, "00:99.0"},   // and so do seconds
        {59900, "00:59.9"},
        {62300, "01:02.3 trailing"}, // read by position; the rest is not looked at
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToMs(QString::fromLatin1(c.Text)), c.Ms) << c.Text;
}

TEST(TextToMsTest, UnreadableTextGivesZero) {
    for (const char* text : {"", "ab:cd.e", "01:02", "0102.3", "01-02.3", "01:02:03", "01:02:034",
                             "1:02.3", "+1:02.3", "01:02:0x.4"})
        EXPECT_EQ(TextToMs(QString::fromLatin1(text)), 0u) << text;
}

TEST(TextToMsTest, RoundTripsTimeTextBelowOneHundredHours) {
    for (uint32_t ms : {0u, 100u, 61200u, 3599900u, 3600000u, 359999900u})
        EXPECT_EQ(TextToMs(TimeText(ms)), ms) << ms;
}

TEST(IsDigitsOnlyTest, Cases) {
    EXPECT_FALSE(IsDigitsOnly(QString()));
    EXPECT_TRUE(IsDigitsOnly(QStringLiteral("0")));
    EXPECT_TRUE(IsDigitsOnly(QStringLiteral("0123456789")));
    for (const char* text : {"-500", "+5", "1.5", " 5", "5 ", "1e3", "x"})
        EXPECT_FALSE(IsDigitsOnly(QString::fromLatin1(text))) << text;
    // Digits of other scripts are not "0" to "9".
    EXPECT_FALSE(IsDigitsOnly(QString::fromUtf8("\u0661\u0662")));
}

std::optional<TTimestamp> Read(const char* text) {
    return TextToDateTime(QString::fromLatin1(text));
}

TEST(TextToDateTimeTest, AcceptsBothDateOrdersAsTheSameTimestamp) {
    const auto shown = Read("12/16/2003");
    const auto stored = Read("2003/12/16");
    ASSERT_TRUE(shown && stored);
    EXPECT_EQ(*shown, *stored);
    EXPECT_EQ(shown->Date, QDate(2003, 12, 16));
    EXPECT_EQ(shown->Time, QTime(0, 0));
}

TEST(TextToDateTimeTest, DatesWithTimesAndTimesAlone) {
    struct {
        const char* Text;
        QDate Date;
        QTime Time;
    } cases[] = {
        {"12/31/2003 23:00", QDate(2003, 12, 31), QTime(23, 0)},
        {"2004/01/31 08:30", QDate(2004, 1, 31), QTime(8, 30)},
        {"1/5/2004 8:05:09", QDate(2004, 1, 5), QTime(8, 5, 9)},
        {"  2/29/2004", QDate(2004, 2, 29), QTime(0, 0)}, // leap year, leading blanks
        {" 1/ 5/2004", QDate(2004, 1, 5), QTime(0, 0)},   // blanks before each number
        {"08:30", QDate(), QTime(8, 30)},                 // a time on no particular date
        {"23:59", QDate(), QTime(23, 59)},
        {"00:00", QDate(), QTime(0, 0)},
        {"07:15 ", QDate(), QTime(7, 15)},
    };
    for (const auto& c : cases) {
        const auto result = Read(c.Text);
        ASSERT_TRUE(result.has_value()) << c.Text;
        EXPECT_EQ(result->Date, c.Date) << c.Text;
        EXPECT_EQ(result->HasDate(), c.Date.isValid()) << c.Text;
        EXPECT_EQ(result->Time, c.Time) << c.Text;
    }
}

TEST(TextToDateTimeTest, RefusesWhatIsNoDateOrTime) {
    for (const char* text : {"",
                             "   ",
                             "  /  /    ",
                             "  :  ",
                             "2/29/2003",
                             "2003/02/29",
                             "13/01/2004",
                             "0/10/2004",
                             "4/31/2004",
                             "24:00",
                             "12:60",
                             "12:30:60",
                             "12/16/2003 24:00",
                             "12/16/200308:30",
                             "12/16",
                             "12/16/2003 x",
                             "abc",
                             "12:3x",
                             "12/16/2003/1",
                             "1/1/0",
                             "1/1/10000",
                             "99999999999/1/1",
                             "-1/5/2004",
                             "12 /16/2003"})
        EXPECT_FALSE(Read(text).has_value()) << text;
}

TEST(TextToDateTimeTest, SingleOrderReaderKeepsToItsOrder) {
    EXPECT_TRUE(TextToDateTime(QStringLiteral("12/16/2003"), TDateOrder::MonthDayYear));
    EXPECT_FALSE(TextToDateTime(QStringLiteral("2003/12/16"), TDateOrder::MonthDayYear));
    // Both orders would read this one, differently: the shown order wins.
    const auto either = Read("01/02/2003");
    ASSERT_TRUE(either);
    EXPECT_EQ(either->Date, QDate(2003, 1, 2));
    const auto ymd = TextToDateTime(QStringLiteral("2003/01/02"), TDateOrder::YearMonthDay);
    ASSERT_TRUE(ymd);
    EXPECT_EQ(ymd->Date, QDate(2003, 1, 2));
}

TEST(TimestampTest, OrdersAsMoments) {
    const auto start = Read("12/31/2003 23:00");
    const auto end = Read("12/31/2003 22:00");
    const auto endMidnight = Read("12/31/2003");
    const auto later = Read("01/01/2004");
    const auto early = Read("02:00");
    const auto late = Read("22:00");
    ASSERT_TRUE(start && end && endMidnight && later && early && late);
    EXPECT_GT(*start, *end);
    EXPECT_GT(*start, *endMidnight);
    EXPECT_LT(*start, *later);
    EXPECT_GT(*late, *early); // a window 22:00 to 02:00 runs backwards
    EXPECT_LT(*late, *endMidnight);
}

TEST(StoredFormsTest, FormatsDatesAndTimes) {
    const QDate date(2003, 12, 6);
    EXPECT_EQ(StoredDateText(date), QStringLiteral("2003/12/06"));
    EXPECT_EQ(ShownDateText(date), QStringLiteral("12/06/2003"));
    EXPECT_EQ(StoredDateText(QDate(987, 1, 2)), QStringLiteral("0987/01/02"));
    EXPECT_EQ(StoredDateText(QDate()), QString());
    EXPECT_EQ(ShownDateText(QDate()), QString());
    EXPECT_EQ(StoredTimeText(QTime(8, 5, 59)), QStringLiteral("08:05"));
    EXPECT_EQ(StoredTimeText(QTime(23, 0)), QStringLiteral("23:00"));

    // A stored date read and written back is unchanged, and shows in the shown form.
    const auto read = Read("2003/12/16");
    ASSERT_TRUE(read);
    EXPECT_EQ(ShownDateText(read->Date), QStringLiteral("12/16/2003"));
    EXPECT_EQ(StoredDateText(Read("12/16/2003")->Date), QStringLiteral("2003/12/16"));
}

} // namespace
