#pragma once

#include <QDateTime>
#include <QString>

// Whether a file may go on air at a given moment, from the times and dates it stores: the
// start (IGNR date and BSTM time), the end (IKEY date and BETM time) and the daily window
// (BSTW to BETW). The list colours its rows and filters them by this state.
enum class TAirState {
    Evergreen,     // no start and no end date: always valid
    NotYetValid,   // before its start
    Valid,         // between start and end, and inside its daily window
    OutsideWindow, // between start and end (or evergreen), but outside its daily window
    Expired,       // after its end
    Unknown        // a stored date or time does not parse, or the start lies after the end
};

// The stored texts, as the tags hold them ("yyyy/mm/dd" dates, "hh:nn" times). An empty or
// all-blank text is absent (an empty date is stored as one blank).
struct TAirTimes {
    QString StartDate;
    QString StartTime;
    QString EndDate;
    QString EndTime;
    QString WindowStart;
    QString WindowEnd;

    // From the list's "Start Date/Time" and "End Date/Time" texts (the date, then one blank
    // and the time when there is one) and its two window columns.
    static TAirTimes FromColumnTexts(const QString& start, const QString& end,
                                     const QString& windowStart, const QString& windowEnd);
};

struct TAirValidity {
    TAirState State = TAirState::Evergreen;
    QString Reason; // for Unknown: which stored text is wrong, in words

    // The state at `moment` (taken in local time, to the whole second). The start is
    // IGNR + BSTM (no time: 00:00:00), the end IKEY + BETM (no time: 23:59:59 of that day);
    // both instants belong to the valid span. A daily window whose end is before its start
    // crosses midnight (22:00-02:00); both of its ends belong to it; a window with only one
    // end runs from it to the end of the day or from midnight to it; equal ends mean the
    // whole day. A time without its date is ignored.
    static TAirValidity At(const TAirTimes& times, const QDateTime& moment);

    // "Valid", "Expired" ...; for Unknown, "Unknown: " and the reason.
    QString Text() const;
    static QString StateName(TAirState state);
};
