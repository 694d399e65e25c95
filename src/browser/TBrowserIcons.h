#pragma once

#include <QIcon>

class QStyle;

// The twelve images of the browser's toolbar, by the actions' image index:
// 0 up, 1 refresh, 2 copy, 3 cut, 4 paste, 5 select columns, 6 add to favorites,
// 7 explore, 8 go to selection, 9 delete, 10 find, 11 find next.
// One set for all twelve: the desktop's icon theme when it has every one of them, otherwise
// the style's standard icons, with the pictures the style has none for drawn in the same
// plain manner, so the toolbar never mixes two looks.
class TBrowserIcons {
public:
    static constexpr int Count = 12;

    static QIcon Image(int index, const QStyle* style);
    // Whether the theme supplies the whole set.
    static bool ThemeHasAll();

private:
    static QIcon Standard(int index, const QStyle* style);
    static QIcon Drawn(int index, const QStyle* style);
};
