#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// Text colours for controls that keep a fixed background of their own (the yellow time
// read-outs, the mode labels, the grey location read-out): under a dark palette the palette's
// light text would stand on a light background. The palette's own text colours are used when
// one of them reads well on the background, else black or white.
class TContrastText {
public:
    // The contrast ratio of two colours (1 to 21), as the accessibility guidelines define it.
    static double Ratio(const QColor& a, const QColor& b);
    // The text colour for `background`.
    static QColor For(const QColor& background, const QPalette& palette);
    // Gives `role` (the widget's text role) a colour that reads on its `backgroundRole`
    // colour, in the active and inactive groups (disabled text keeps its own colour).
    static void Apply(QWidget* widget, QPalette::ColorRole backgroundRole,
                      QPalette::ColorRole role);
};
