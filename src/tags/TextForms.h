#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <compare>
#include <cstdint>
#include <optional>

// The text forms of time spans, dates and times shared by the editor, the markers, the
// audition display and the file list, so that every place that shows or stores a time
// agrees on the same text. Separators are fixed: "/" in dates, ":" and "." in times.

// A timestamp read from text: a date plus a time of day. A text holding only a time gives
// a time on no particular date (Date invalid); a date alone gives midnight.
struct TTimestamp {
    QDate Date; // invalid when the text held only a time
    QTime Time; // always valid; 00:00 when the text held only a date

    bool HasDate() const { return Date.isValid(); }
    // Ordering as moments; a time on no particular date sorts before every real date.
    std::strong_ordering operator<=>(const TTimestamp& other) const;
    bool operator==(const TTimestamp& other) const = default;
};

enum class TDateOrder {
    MonthDayYear, // "mm/dd/yyyy", the shown form
    YearMonthDay  // "yyyy/mm/dd", the stored form
};

// ms as "mm:ss.t" below one hour and "hh:mm:ss.t" from one hour on; tenths are cut, never
// rounded; fields are padded to two digits but never cut (100 hours gives "100:...").
QString TimeText(uint32_t ms);

// Reads the two TimeText forms back by character position (blanks read as "0"): the hour
// form when the sixth character is ":", else the minute form. 0 when a part is missing or
// not a decimal number. Minutes or seconds above 59 simply add up.
uint32_t TextToMs(const QString& text);

// True when text is not empty and every character is one of "0" to "9".
bool IsDigitsOnly(const QString& text);

// Reads a date ("n/n/n", month/day/year tried first, then year/month/day) with an optional
// time ("h:m" or "h:m:s" after a blank), or a time alone. Blanks before each number and at
// the end are allowed. The date must exist in the calendar; hours 0-23, minutes and
// seconds 0-59. Nothing when the text is neither.
std::optional<TTimestamp> TextToDateTime(const QString& text);
// The same reader with one date order only (the editor joins date and time in
// month/day/year order).
std::optional<TTimestamp> TextToDateTime(const QString& text, TDateOrder order);

// "yyyy/mm/dd", as stored in "IGNR" and "IKEY"; empty text for a timestamp without date.
QString StoredDateText(const QDate& date);
// "mm/dd/yyyy", as shown in the date fields; empty text for an invalid date.
QString ShownDateText(const QDate& date);
// "hh:nn" on a 24-hour clock, as stored in "BSTM", "BETM", "BSTW", "BETW".
QString StoredTimeText(const QTime& time);
