#pragma once

#include <QByteArrayView>
#include <QStringView>

// Text comparison of the list's sorting and type-ahead: only the ASCII letters a-z are folded
// to capitals, whatever the locale, so "abc" equals "ABC" while "Ä" and "ä" stay apart. Texts
// are compared by code point (the order of their UTF-8 bytes); the first difference decides,
// else the shorter text comes first.
int CompareText(QStringView a, QStringView b);
// The same over bytes (paths that need not be UTF-8).
int CompareText(QByteArrayView a, QByteArrayView b);

// True when `text` begins with `prefix` under the same folding.
bool StartsWithText(QStringView text, QStringView prefix);
