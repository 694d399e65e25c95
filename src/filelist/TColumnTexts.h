#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>

// The texts of the list's fixed columns and of the two date-and-time information columns,
// kept apart from the view so that every place that shows a row agrees on them.
class TColumnTexts {
public:
    // The Size column: empty for folders and items outside the file system; "<1 KB" below
    // 1024 bytes; otherwise whole kilobytes with the locale's group separator between every
    // three digits from the right and " KB" ("1,205 KB" for 1234567 bytes).
    static QString SizeText(int64_t size, bool noSize, const QLocale& locale = QLocale());

    // The Modified column: "M/d/yyyy" and one blank and the locale's long time (without a
    // time-zone name); only the date when the time is exactly midnight. Empty for an invalid
    // time.
    static QString ModifiedText(const QDateTime& localTime, const QLocale& locale = QLocale());

    // "Start/End Date/Time": the stored date, then one blank and the time when the time is
    // not empty.
    static QString DateTimeText(const QString& date, const QString& time);

    // Digits of value with separator between every group of three counted from the right.
    static QString GroupedDigits(uint64_t value, const QString& separator);
};
