#include "TTypeAheadText.h"

bool TTypeAheadText::Type(const QString& text, qint64 nowMs) {
    const bool extend = !Typed.isEmpty() && nowMs - LastMs < Interval;
    Typed = extend ? Typed + text : text;
    LastMs = nowMs;
    return extend;
}
