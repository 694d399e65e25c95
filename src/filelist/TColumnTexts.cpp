#include "TColumnTexts.h"

#include <QTime>

namespace {

// The locale's long time format with its time-zone fields removed: a row shows the wall
// clock time of the file, and a zone name would only widen the column.
QString LongTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.trimmed();
}

} // namespace

QString TColumnTexts::SizeText(int64_t size, bool noSize, const QLocale& locale) {
    if (noSize)
        return {};
    if (size < 1024)
        return QStringLiteral("<1 KB");
    return GroupedDigits(static_cast<uint64_t>(size / 1024), locale.groupSeparator()) +
           QStringLiteral(" KB");
}

QString TColumnTexts::ModifiedText(const QDateTime& localTime, const QLocale& locale) {
    if (!localTime.isValid())
        return {};
    const QDate day = localTime.date();
    // M/d/yyyy, put together without parsing a format for every row.
    const QString date = day.year() >= 1 && day.year() <= 9999
                             ? QString::number(day.month()) + u'/' + QString::number(day.day()) +
                                   u'/' + QString::number(day.year()).rightJustified(4, u'0')
                             : day.toString(QStringLiteral("M/d/yyyy"));
    const QTime time = localTime.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    // The format is worked out once per locale, not for every row of a pass.
    thread_local QLocale formatLocale;
    thread_local QString format = LongTimeFormat(formatLocale);
    if (!(locale == formatLocale)) {
        formatLocale = locale;
        format = LongTimeFormat(locale);
    }
    return date + u' ' + locale.toString(time, format);
}

QString TColumnTexts::DateTimeText(const QString& date, const QString& time) {
    return time.isEmpty() ? date : date + u' ' + time;
}

QString TColumnTexts::GroupedDigits(uint64_t value, const QString& separator) {
    const QString digits = QString::number(value);
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}
