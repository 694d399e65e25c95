#include "TextForms.h"

#include <array>
#include <string>

std::strong_ordering TTimestamp::operator<=>(const TTimestamp& other) const {
    // A missing date counts as the earliest day, so a time on no particular date sorts
    // before every dated moment and times alone compare as times of day.
    const qint64 day = HasDate() ? Date.toJulianDay() : INT64_MIN;
    const qint64 otherDay = other.HasDate() ? other.Date.toJulianDay() : INT64_MIN;
    if (day != otherDay)
        return day <=> otherDay;
    return Time.msecsSinceStartOfDay() <=> other.Time.msecsSinceStartOfDay();
}

QString TimeText(uint32_t ms) {
    const uint32_t hours = ms / 3600000u;
    const uint32_t minutes = ms / 60000u - 60u * hours;
    const uint32_t seconds = ms / 1000u - 60u * minutes - 3600u * hours;
    const uint32_t tenths = (ms % 1000u) / 100u;
    // Made by hand: a pass makes one for every row, and a formatted print costs more than
    // reading the file's tags.
    char16_t text[16];
    size_t length = 0;
    const auto twoDigits = [&](uint32_t value) {
        if (value >= 100) { // hours beyond 99 take every digit they have
            const auto digits = std::to_string(value);
            for (const char c : digits)
                text[length++] = static_cast<char16_t>(c);
            return;
        }
        text[length++] = static_cast<char16_t>(u'0' + value / 10);
        text[length++] = static_cast<char16_t>(u'0' + value % 10);
    };
    if (hours != 0) {
        twoDigits(hours);
        text[length++] = u':';
    }
    twoDigits(minutes);
    text[length++] = u':';
    twoDigits(seconds);
    text[length++] = u'.';
    text[length++] = static_cast<char16_t>(u'0' + tenths);
    return QString(reinterpret_cast<const QChar*>(text), static_cast<qsizetype>(length));
}

namespace {

// The decimal number at [pos, pos + length) of text, or -1 when a character is missing or
// is not a digit.
int DigitsAt(const QString& text, qsizetype pos, qsizetype length) {
    if (pos + length > text.size())
        return -1;
    int value = 0;
    for (qsizetype i = pos; i < pos + length; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

bool CharIs(const QString& text, qsizetype pos, char c) {
    return pos < text.size() && text.at(pos) == QLatin1Char(c);
}

} // namespace

uint32_t TextToMs(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char(' '), QLatin1Char('0'));
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;
    if (CharIs(t, 5, ':')) {
        if (!CharIs(t, 2, ':') || !CharIs(t, 8, '.'))
            return 0;
        hours = DigitsAt(t, 0, 2);
        minutes = DigitsAt(t, 3, 2);
        seconds = DigitsAt(t, 6, 2);
        tenths = DigitsAt(t, 9, 1);
    } else {
        if (!CharIs(t, 2, ':') || !CharIs(t, 5, '.'))
            return 0;
        minutes = DigitsAt(t, 0, 2);
        seconds = DigitsAt(t, 3, 2);
        tenths = DigitsAt(t, 6, 1);
    }
    if (hours < 0 || minutes < 0 || seconds < 0 || tenths < 0)
        return 0;
    return static_cast<uint32_t>(hours) * 3600000u + static_cast<uint32_t>(minutes) * 60000u +
           static_cast<uint32_t>(seconds) * 1000u + static_cast<uint32_t>(tenths) * 100u;
}

bool IsDigitsOnly(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

namespace {

// A small cursor over the text for the date and time reader.
class TScanner {
public:
    explicit TScanner(const QString& text) : Text(text) {}

    void SkipBlanks() {
        while (Pos < Text.size() && Text.at(Pos) == QLatin1Char(' '))
            ++Pos;
    }
    bool AtEnd() const { return Pos >= Text.size(); }
    bool Peek(char c) const { return Pos < Text.size() && Text.at(Pos) == QLatin1Char(c); }
    bool Take(char c) {
        if (!Peek(c))
            return false;
        ++Pos;
        return true;
    }
    // Blanks, then one to nine digits. Longer runs are refused rather than overflowing.
    std::optional<int> Number() {
        SkipBlanks();
        int value = 0;
        int digits = 0;
        while (Pos < Text.size()) {
            const QChar c = Text.at(Pos);
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                break;
            if (++digits > 9)
                return std::nullopt;
            value = value * 10 + (c.unicode() - '0');
            ++Pos;
        }
        if (digits == 0)
            return std::nullopt;
        return value;
    }
    qsizetype Position() const { return Pos; }
    void Rewind(qsizetype pos) { Pos = pos; }

private:
    const QString& Text;
    qsizetype Pos = 0;
};

std::optional<QTime> ReadTime(TScanner& in) {
    const auto hours = in.Number();
    if (!hours || !in.Take(':'))
        return std::nullopt;
    const auto minutes = in.Number();
    if (!minutes)
        return std::nullopt;
    int seconds = 0;
    if (in.Take(':')) {
        const auto s = in.Number();
        if (!s)
            return std::nullopt;
        seconds = *s;
    }
    if (*hours > 23 || *minutes > 59 || seconds > 59)
        return std::nullopt;
    return QTime(*hours, *minutes, seconds);
}

std::optional<QDate> ReadDate(TScanner& in, TDateOrder order) {
    std::array<int, 3> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 && !in.Take('/'))
            return std::nullopt;
        const auto n = in.Number();
        if (!n)
            return std::nullopt;
        parts[i] = *n;
    }
    const int year = order == TDateOrder::MonthDayYear ? parts[2] : parts[0];
    const int month = order == TDateOrder::MonthDayYear ? parts[0] : parts[1];
    const int day = order == TDateOrder::MonthDayYear ? parts[1] : parts[2];
    // Years 1 to 9999 only: the stored form has four year digits.
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}

bool AtEndAfterBlanks(TScanner& in) {
    in.SkipBlanks();
    return in.AtEnd();
}

} // namespace

std::optional<TTimestamp> TextToDateTime(const QString& text, TDateOrder order) {
    TScanner in(text);
    in.SkipBlanks();
    const qsizetype start = in.Position();

    // A time alone: a number followed by ":".
    if (auto time = ReadTime(in)) {
        if (AtEndAfterBlanks(in))
            return TTimestamp{QDate(), *time};
        return std::nullopt;
    }
    in.Rewind(start);

    const auto date = ReadDate(in, order);
    if (!date)
        return std::nullopt;
    // A time must be separated from the date by at least one blank.
    if (!in.AtEnd() && !in.Peek(' '))
        return std::nullopt;
    if (AtEndAfterBlanks(in))
        return TTimestamp{*date, QTime(0, 0)};
    const auto time = ReadTime(in);
    if (!time || !AtEndAfterBlanks(in))
        return std::nullopt;
    return TTimestamp{*date, *time};
}

std::optional<TTimestamp> TextToDateTime(const QString& text) {
    if (auto result = TextToDateTime(text, TDateOrder::MonthDayYear))
        return result;
    return TextToDateTime(text, TDateOrder::YearMonthDay);
}

QString StoredDateText(const QDate& date) {
    if (!date.isValid())
        return {};
    return QString::asprintf("%04d/%02d/%02d", date.year(), date.month(), date.day());
}

QString ShownDateText(const QDate& date) {
    if (!date.isValid())
        return {};
    return QString::asprintf("%02d/%02d/%04d", date.month(), date.day(), date.year());
}

QString StoredTimeText(const QTime& time) {
    if (!time.isValid())
        return {};
    return QString::asprintf("%02d:%02d", time.hour(), time.minute());
}
