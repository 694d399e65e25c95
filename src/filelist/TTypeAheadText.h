#pragma once

#include <QString>
#include <QtGlobal>

// The text that type-ahead looks for. A letter typed within the interval of the one before
// extends the text (the search then tries the current row first); a later one, or the first
// after a reset, starts a new text (the search starts below the current row). Times are
// milliseconds of a monotonic clock, passed in by the caller.
class TTypeAheadText {
public:
    explicit TTypeAheadText(int intervalMs) : Interval(intervalMs) {}

    // Adds `text` typed at `nowMs`. True when it extended the text, false when it started anew.
    bool Type(const QString& text, qint64 nowMs);
    const QString& Text() const { return Typed; }
    // The next letter starts a new text, whenever it comes.
    void Reset() { Typed.clear(); }

    // Letters typed within this many milliseconds of the last one extend the text.
    int Interval;

private:
    QString Typed;
    qint64 LastMs = 0;
};
