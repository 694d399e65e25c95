#include "TAirValidity.h"

#include "TextForms.h"

#include <optional>

namespace {

bool Absent(const QString& text) {
    return text.trimmed().isEmpty();
}

// A stored date; nothing and a reason when the text is not a date of the calendar.
std::optional<QDate> ReadDate(const QString& text, const char* what, QString& reason) {
    const auto stamp = TextToDateTime(text);
    if (stamp && stamp->HasDate())
        return stamp->Date;
    if (reason.isEmpty())
        reason = QStringLiteral("the stored %1 \"%2\" is not a date")
                     .arg(QLatin1String(what), text.trimmed());
    return std::nullopt;
}

// A stored time of day; nothing and a reason when the text is not one.
std::optional<QTime> ReadTime(const QString& text, const char* what, QString& reason) {
    const auto stamp = TextToDateTime(text);
    if (stamp && !stamp->HasDate())
        return stamp->Time;
    if (reason.isEmpty())
        reason = QStringLiteral("the stored %1 \"%2\" is not a time of day")
                     .arg(QLatin1String(what), text.trimmed());
    return std::nullopt;
}

// Splits "date time" as the list shows it: the time is the last blank-separated part when it
// holds a ':'.
void SplitDateTime(const QString& text, QString& date, QString& time) {
    const qsizetype blank = text.lastIndexOf(u' ');
    if (blank >= 0 && text.mid(blank + 1).contains(u':')) {
        date = text.left(blank);
        time = text.mid(blank + 1);
    } else {
        date = text;
        time.clear();
    }
}

} // namespace

TAirTimes TAirTimes::FromColumnTexts(const QString& start, const QString& end,
                                     const QString& windowStart, const QString& windowEnd) {
    TAirTimes times;
    SplitDateTime(start, times.StartDate, times.StartTime);
    SplitDateTime(end, times.EndDate, times.EndTime);
    times.WindowStart = windowStart;
    times.WindowEnd = windowEnd;
    return times;
}

TAirValidity TAirValidity::At(const TAirTimes& times, const QDateTime& moment) {
    QString reason;
    std::optional<QDateTime> start;
    std::optional<QDateTime> end;
    if (!Absent(times.StartDate)) {
        const auto date = ReadDate(times.StartDate, "start date", reason);
        std::optional<QTime> time = QTime(0, 0, 0);
        if (!Absent(times.StartTime))
            time = ReadTime(times.StartTime, "start time", reason);
        if (date && time)
            start = QDateTime(*date, *time);
    }
    if (!Absent(times.EndDate)) {
        const auto date = ReadDate(times.EndDate, "end date", reason);
        std::optional<QTime> time = QTime(23, 59, 59);
        if (!Absent(times.EndTime))
            time = ReadTime(times.EndTime, "end time", reason);
        if (date && time)
            end = QDateTime(*date, *time);
    }
    std::optional<QTime> windowStart;
    std::optional<QTime> windowEnd;
    if (!Absent(times.WindowStart))
        windowStart = ReadTime(times.WindowStart, "start of the daily window", reason);
    if (!Absent(times.WindowEnd))
        windowEnd = ReadTime(times.WindowEnd, "end of the daily window", reason);
    if (reason.isEmpty() && start && end && *start > *end)
        reason = QStringLiteral("the start lies after the end");
    if (!reason.isEmpty())
        return {TAirState::Unknown, reason};

    // Whole seconds: the end of a day is 23:59:59 and the instant just after it is expired.
    const QDateTime local = moment.toLocalTime();
    const QDateTime at(local.date(),
                       QTime(local.time().hour(), local.time().minute(), local.time().second()));
    if (start && at < *start)
        return {TAirState::NotYetValid, {}};
    if (end && at > *end)
        return {TAirState::Expired, {}};

    if (windowStart || windowEnd) {
        const QTime from = windowStart.value_or(QTime(0, 0, 0));
        const QTime to = windowEnd.value_or(QTime(23, 59, 59));
        const QTime t = at.time();
        bool inside = true;
        if (from < to)
            inside = from <= t && t <= to;
        else if (to < from) // across midnight
            inside = t >= from || t <= to;
        if (!inside)
            return {TAirState::OutsideWindow, {}};
    }
    return {start || end ? TAirState::Valid : TAirState::Evergreen, {}};
}

QString TAirValidity::StateName(TAirState state) {
    switch (state) {
    case TAirState::Evergreen:
        return QStringLiteral("No dates");
    case TAirState::NotYetValid:
        return QStringLiteral("Not yet valid");
    case TAirState::Valid:
        return QStringLiteral("Valid");
    case TAirState::OutsideWindow:
        return QStringLiteral("Outside window");
    case TAirState::Expired:
        return QStringLiteral("Expired");
    case TAirState::Unknown:
        return QStringLiteral("Unknown");
    }
    return {};
}

QString TAirValidity::Text() const {
    if (State == TAirState::Unknown)
        return StateName(State) + QStringLiteral(": ") + Reason;
    return StateName(State);
}
