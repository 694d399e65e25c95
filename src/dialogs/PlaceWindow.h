#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where PlaceWindow centres a dialog: over the whole reference control or over one
// of its quarters.
enum TPlaceMode : int {
    pmWhole = 0,
    pmUpperLeft = 1,
    pmUpperRight = 2,
    pmLowerLeft = 3,
    pmLowerRight = 4,
};

// The top-left corner for a window of `window` size centred as `mode` says over
// `reference` (the control's rectangle in global co-ordinates) and kept on
// `monitor` (the full rectangle of the screen nearest to the control).
QPoint PlaceWindowPosition(const QSize& window, const QRect& reference, const QRect& monitor,
                           TPlaceMode mode);

// Moves the top-level `window` over `reference` (or one of its quarters), kept on the
// reference control's screen. Changes neither its size, its stacking nor the focus.
void PlaceWindow(QWidget* window, const QWidget* reference, TPlaceMode mode);

// The top-left corner for a window of `window` size wanted at `topLeft`, moved just enough
// that its title bar can be reached: the top strip of the window, at least a hand's width
// of it, lies on one of `screens` (their available areas). A position that already does so
// is kept; otherwise the window goes onto the screen nearest to where it was wanted.
QPoint KeepTitleBarOnScreen(const QPoint& topLeft, const QSize& window,
                            const QList<QRect>& screens);
