#include "TAirValidity.h"

#include <gtest/gtest.h>

namespace {

using S = TAirState;

QDateTime At(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

struct TCase {
    const char* Name;
    TAirTimes Times; // start date, start time, end date, end time, window start, window end
    const char* Moment;
    TAirState Expected;
};

TAirTimes T(const char* sd, const char* st, const char* ed, const char* et, const char* ws = "",
            const char* we = "") {
    return {QString::fromLatin1(sd), QString::fromLatin1(st), QString::fromLatin1(ed),
            QString::fromLatin1(et), QString::fromLatin1(ws), QString::fromLatin1(we)};
}

TEST(AirValidityTest, StateAtAMomentCoversTheEdges) {
    const TCase cases[] = {
        {"no dates", T("", "", "", ""), "2026/06/01 12:00:00", S::Evergreen},
        {"empty date stored as one blank", T(" ", "", " ", ""), "2026/06/01 12:00:00",
         S::Evergreen},
        {"a second before the start", T("2026/06/01", "08:30", "2026/06/30", "18:00"),
         "2026/06/01 08:29:59", S::NotYetValid},
        {"exactly at the start", T("2026/06/01", "08:30", "2026/06/30", "18:00"),
         "2026/06/01 08:30:00", S::Valid},
        {"start without a time is midnight", T("2026/06/01", "", "", ""), "2026/06/01 00:00:00",
         S::Valid},
        {"the second before that midnight", T("2026/06/01", "", "", ""), "2026/05/31 23:59:59",
         S::NotYetValid},
        {"exactly at the end", T("2026/06/01", "08:30", "2026/06/30", "18:00"),
         "2026/06/30 18:00:00", S::Valid},
        {"a second after the end", T("2026/06/01", "08:30", "2026/06/30", "18:00"),
         "2026/06/30 18:00:01", S::Expired},
        {"end without a time runs to the end of its day", T("", "", "2026/06/30", ""),
         "2026/06/30 23:59:59", S::Valid},
        {"and expires at the next midnight", T("", "", "2026/06/30", ""), "2026/07/01 00:00:00",
         S::Expired},
        {"start without an end never expires", T("2020/01/01", "", "", ""), "2099/12/31 23:59:59",
         S::Valid},
        {"end without a start is valid before it", T("", "", "2026/06/30", ""),
         "1990/01/01 00:00:00", S::Valid},
        {"a start time without its date is ignored", T("", "10:00", "", ""), "2026/06/01 09:00:00",
         S::Evergreen},
        {"inside a daytime window", T("2026/01/01", "", "2026/12/31", "", "06:00", "10:00"),
         "2026/06/01 10:00:00", S::Valid},
        {"after a daytime window", T("2026/01/01", "", "2026/12/31", "", "06:00", "10:00"),
         "2026/06/01 10:00:01", S::OutsideWindow},
        {"midnight window, late evening", T("", "", "", "", "22:00", "02:00"),
         "2026/06/01 23:30:00", S::Evergreen},
        {"midnight window, at midnight", T("", "", "", "", "22:00", "02:00"), "2026/06/02 00:00:00",
         S::Evergreen},
        {"midnight window, at its end", T("2026/01/01", "", "", "", "22:00", "02:00"),
         "2026/06/02 02:00:00", S::Valid},
        {"midnight window, afternoon", T("2026/01/01", "", "", "", "22:00", "02:00"),
         "2026/06/02 15:00:00", S::OutsideWindow},
        {"midnight window, just before its start", T("", "", "", "", "22:00", "02:00"),
         "2026/06/02 21:59:59", S::OutsideWindow},
        {"window with only a start", T("", "", "", "", "18:00", ""), "2026/06/02 17:59:00",
         S::OutsideWindow},
        {"window with only an end", T("", "", "", "", "", "06:00"), "2026/06/02 05:00:00",
         S::Evergreen},
        {"expiry wins over the window", T("", "", "2026/01/01", "", "22:00", "02:00"),
         "2026/06/02 23:00:00", S::Expired},
        {"a date that is not in the calendar", T("2026/02/30", "", "", ""), "2026/06/01 12:00:00",
         S::Unknown},
        {"a date that is not a date", T("", "", "soon", ""), "2026/06/01 12:00:00", S::Unknown},
        {"an hour out of range", T("2026/06/01", "25:00", "", ""), "2026/06/01 12:00:00",
         S::Unknown},
        {"a window time that is not a time", T("", "", "", "", "ab:cd", ""), "2026/06/01 12:00:00",
         S::Unknown},
        {"a start after the end", T("2026/07/01", "", "2026/06/01", ""), "2026/06/15 12:00:00",
         S::Unknown},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(At(c.Moment).isValid());
        const TAirValidity v = TAirValidity::At(c.Times, At(c.Moment));
        EXPECT_EQ(v.State, c.Expected) << v.Text().toStdString();
        EXPECT_EQ(v.Reason.isEmpty(), c.Expected != S::Unknown);
    }
}

TEST(AirValidityTest, UnknownSaysWhichStoredTextIsWrong) {
    const TAirValidity v = TAirValidity::At(T("", "", "2026/13/01", ""), At("2026/06/01 12:00:00"));
    EXPECT_EQ(v.Text(),
              QStringLiteral("Unknown: the stored end date \"2026/13/01\" is not a date"));
}

TEST(AirValidityTest, ColumnTextsSplitIntoDateAndTime) {
    struct TSplit {
        const char* Column;
        const char* Date;
        const char* Time;
    };
    const TSplit cases[] = {
        {"2026/06/01 08:30", "2026/06/01", "08:30"},
        {"2026/06/01", "2026/06/01", ""},
        {"", "", ""},
        {"  10:00", " ", "10:00"}, // blank date, time kept
        {"next week", "next week", ""},
    };
    for (const TSplit& c : cases) {
        const TAirTimes t = TAirTimes::FromColumnTexts(QString::fromLatin1(c.Column), {}, {}, {});
        EXPECT_EQ(t.StartDate, QString::fromLatin1(c.Date)) << c.Column;
        EXPECT_EQ(t.StartTime, QString::fromLatin1(c.Time)) << c.Column;
    }
}

} // namespace
