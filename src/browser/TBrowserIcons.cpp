#include "TBrowserIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

#include <array>
#include <cmath>

namespace {

// Freedesktop icon names, by image index.
constexpr std::array<const char*, TBrowserIcons::Count> ThemeNames = {
    "go-up",      "view-refresh",      "edit-copy",    "edit-cut",
    "edit-paste", "view-list-details", "bookmark-new", "system-file-manager",
    "go-jump",    "edit-delete",       "edit-find",    "edit-find-replace",
};

constexpr int Size = 16;

QPixmap Canvas() {
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Page(QPainter& p, const QRectF& r, const QColor& ink, const QColor& paper) {
    p.setPen(QPen(ink, 1));
    p.setBrush(paper);
    p.drawRect(r);
}

} // namespace

bool TBrowserIcons::ThemeHasAll() {
    for (const char* name : ThemeNames)
        if (!QIcon::hasThemeIcon(QLatin1String(name)))
            return false;
    return true;
}

QIcon TBrowserIcons::Image(int index, const QStyle* style) {
    if (index < 0 || index >= Count)
        return QIcon();
    if (style == nullptr)
        style = QApplication::style();
    static const bool theme = ThemeHasAll();
    if (theme)
        return QIcon::fromTheme(QLatin1String(ThemeNames[static_cast<size_t>(index)]));
    QIcon icon = Standard(index, style);
    return icon.isNull() ? Drawn(index, style) : icon;
}

QIcon TBrowserIcons::Standard(int index, const QStyle* style) {
    switch (index) {
    case 0:
        return style->standardIcon(QStyle::SP_FileDialogToParent);
    case 1:
        return style->standardIcon(QStyle::SP_BrowserReload);
    case 5:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case 7:
        return style->standardIcon(QStyle::SP_DirOpenIcon);
    case 9:
        return style->standardIcon(QStyle::SP_TrashIcon);
    default:
        return QIcon(); // drawn
    }
}

QIcon TBrowserIcons::Drawn(int index, const QStyle* style) {
    const QPalette palette = style->standardPalette();
    const QColor ink = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor paper = palette.color(QPalette::Active, QPalette::Base);
    const QColor accent = palette.color(QPalette::Active, QPalette::Highlight);
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 2: // copy: two pages
        Page(p, QRectF(1.5, 1.5, 8, 10), ink, paper);
        Page(p, QRectF(6.5, 4.5, 8, 10), ink, paper);
        break;
    case 3: { // cut: scissors
        p.setPen(QPen(ink, 1.5));
        p.drawLine(QPointF(4, 1), QPointF(11, 10));
        p.drawLine(QPointF(12, 1), QPointF(5, 10));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4, 12.5), 2.5, 2.5);
        p.drawEllipse(QPointF(12, 12.5), 2.5, 2.5);
        break;
    }
    case 4: // paste: a board with a page on it
        p.setPen(QPen(ink, 1));
        p.setBrush(accent.lighter(150));
        p.drawRect(QRectF(1.5, 2.5, 10, 12));
        p.setBrush(ink);
        p.drawRect(QRectF(4.5, 1.5, 4, 2));
        Page(p, QRectF(6.5, 6.5, 8, 8), ink, paper);
        break;
    case 6: { // add to favorites: a star
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 == 0 ? 7.0 : 3.0;
            const double angle = -M_PI / 2 + i * M_PI / 5;
            const QPointF point(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
            if (i == 0)
                star.moveTo(point);
            else
                star.lineTo(point);
        }
        star.closeSubpath();
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(0xF0, 0xC0, 0x20));
        p.drawPath(star);
        break;
    }
    case 8: // go to selection: an arrow onto a marked row
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(6, 6, 9, 4));
        p.setPen(QPen(ink, 1.5));
        p.drawLine(QPointF(1, 8), QPointF(5, 8));
        p.drawLine(QPointF(3, 5.5), QPointF(5.5, 8));
        p.drawLine(QPointF(3, 10.5), QPointF(5.5, 8));
        break;
    case 10: // find: a magnifier
    case 11: // find next: the magnifier with an arrow
        p.setPen(QPen(ink, 1.5));
        p.setBrush(paper);
        p.drawEllipse(QPointF(6, 6), 4, 4);
        p.setPen(QPen(ink, 2.5));
        p.drawLine(QPointF(9, 9), QPointF(14, 14));
        if (index == 11) {
            p.setPen(QPen(accent.darker(120), 1.5));
            p.drawLine(QPointF(10, 2), QPointF(15, 2));
            p.drawLine(QPointF(13, 0.5), QPointF(15, 2));
            p.drawLine(QPointF(13, 3.5), QPointF(15, 2));
        }
        break;
    default:
        break;
    }
    p.end();
    return QIcon(pixmap);
}
