#include "TContrastText.h"

#include <QWidget>

#include <cmath>

namespace {

// Relative luminance of an sRGB colour.
double Luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// Ratio that normal text needs to be read comfortably.
constexpr double Readable = 4.5;

} // namespace

double TContrastText::Ratio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor TContrastText::For(const QColor& background, const QPalette& palette) {
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::HighlightedText, QPalette::BrightText}) {
        const QColor candidate = palette.color(QPalette::Active, role);
        if (Ratio(candidate, background) >= Readable)
            return candidate;
    }
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return Ratio(black, background) >= Ratio(white, background) ? black : white;
}

void TContrastText::Apply(QWidget* widget, QPalette::ColorRole backgroundRole,
                          QPalette::ColorRole role) {
    QPalette palette = widget->palette();
    const QColor text = For(palette.color(QPalette::Active, backgroundRole), palette);
    if (palette.color(QPalette::Active, role) == text &&
        palette.color(QPalette::Inactive, role) == text)
        return;
    palette.setColor(QPalette::Active, role, text);
    palette.setColor(QPalette::Inactive, role, text);
    widget->setPalette(palette);
}
