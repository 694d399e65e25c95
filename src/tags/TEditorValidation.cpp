#include "TEditorValidation.h"

#include "TEditorValues.h"
#include "TextForms.h"

namespace {

bool IsValid(const QString& text) {
    return TextToDateTime(text).has_value();
}

// The moment of a date field joined with its time field when that time is valid; the
// date alone means midnight. Read in month/day/year order only, as the fields show it.
std::optional<TTimestamp> Moment(const QString& date, const QString& time) {
    if (IsValid(time))
        return TextToDateTime(date + QLatin1Char(' ') + time, TDateOrder::MonthDayYear);
    return TextToDateTime(date, TDateOrder::MonthDayYear);
}

} // namespace

std::optional<TEditorValidation::TFailure>
TEditorValidation::Validate(const TEditorValues& values) {
    const QString startDate = values.Field(QStringLiteral("IGNR"));
    const QString endDate = values.Field(QStringLiteral("IKEY"));
    const QString startTime = values.Field(QStringLiteral("BSTM"));
    const QString endTime = values.Field(QStringLiteral("BETM"));
    const QString startWindow = values.Field(QStringLiteral("BSTW"));
    const QString endWindow = values.Field(QStringLiteral("BETW"));

    const auto fail = [](int step, const char* key, const char* message) {
        return std::optional<TFailure>(
            TFailure{step, QLatin1String(key), QString::fromLatin1(message)});
    };
    const auto badEntry = [](const QString& text) {
        return !TEditorValues::IsEmptyField(text) && !IsValid(text);
    };

    if (badEntry(startDate))
        return fail(1, "IGNR", "Invalid Start Date");
    if (badEntry(endDate))
        return fail(2, "IKEY", "Invalid End Date");
    if (badEntry(startTime))
        return fail(3, "BSTM", "Invalid Start Time");
    if (badEntry(endTime))
        return fail(4, "BETM", "Invalid End Time");
    if (badEntry(startWindow))
        return fail(5, "BSTW", "Invalid Start Time Window");
    if (badEntry(endWindow))
        return fail(6, "BETW", "Invalid End Time Window");
    if (IsValid(startTime) && !IsValid(startDate))
        return fail(7, "IGNR", "Both a *Start Date* and a Start Time must be entered");
    if (IsValid(endTime) && !IsValid(endDate))
        return fail(8, "IKEY", "Both an *End Date* and an End Time must be entered");
    if (IsValid(startDate) && IsValid(endDate)) {
        const auto start = Moment(startDate, startTime);
        const auto end = Moment(endDate, endTime);
        if (start && end && *start > *end)
            return fail(9, "IGNR", "Start Date/Time is greater than End Date/Time");
    }
    const bool startWindowValid = IsValid(startWindow);
    const bool endWindowValid = IsValid(endWindow);
    if (startWindowValid != endWindowValid)
        return fail(10, startWindowValid ? "BETW" : "BSTW",
                    "Both an Start Time and an End Time Window must be entered");
    if (startWindowValid && endWindowValid &&
        TextToDateTime(startWindow)->Time > TextToDateTime(endWindow)->Time)
        return fail(11, "BSTW", "Start Time Window is greater than End Time Window");
    return std::nullopt;
}
