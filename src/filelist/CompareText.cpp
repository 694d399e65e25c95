#include "CompareText.h"

#include <cstdint>
#include <cstring>

namespace {

// A UTF-16 unit as a key whose order is the code point order: surrogates (U+D800..U+DFFF,
// the halves of code points beyond U+FFFF) must sort after U+E000..U+FFFF.
inline unsigned FoldedUnit(char16_t unit) {
    if (unit >= u'a' && unit <= u'z')
        return unit - (u'a' - u'A');
    if (unit >= 0xD800 && unit < 0xE000)
        return unit + 0x2000u;
    if (unit >= 0xE000)
        return unit - 0x800u;
    return unit;
}

} // namespace

int CompareText(QStringView a, QStringView b) {
    const qsizetype common = a.size() < b.size() ? a.size() : b.size();
    const char16_t* x16 = a.utf16();
    const char16_t* y16 = b.utf16();
    // Equal units fold alike: a shared start (equal texts, names of one series) is passed over
    // four units at a time.
    qsizetype i = 0;
    for (; i + 4 <= common; i += 4) {
        uint64_t x = 0;
        uint64_t y = 0;
        std::memcpy(&x, x16 + i, sizeof x);
        std::memcpy(&y, y16 + i, sizeof y);
        if (x != y)
            break;
    }
    for (; i < common; ++i) {
        if (x16[i] == y16[i])
            continue;
        const unsigned x = FoldedUnit(x16[i]);
        const unsigned y = FoldedUnit(y16[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CompareText(QByteArrayView a, QByteArrayView b) {
    const auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'a' && u <= 'z' ? u - ('a' - 'A') : unsigned(u);
    };
    const qsizetype common = a.size() < b.size() ? a.size() : b.size();
    for (qsizetype i = 0; i < common; ++i) {
        const unsigned x = fold(a[i]);
        const unsigned y = fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool StartsWithText(QStringView text, QStringView prefix) {
    if (prefix.size() > text.size())
        return false;
    return CompareText(text.first(prefix.size()), prefix) == 0;
}
