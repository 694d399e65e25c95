#include "TSortHeaderView.h"

#include <QPainter>
#include <QStyleOptionHeader>

TSortHeaderView::TSortHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // The triangle is ours; the style's own indicator would show a second one.
    setSortIndicatorShown(false);
}

void TSortHeaderView::SetSortSection(int logicalIndex) {
    if (SortIndex == logicalIndex)
        return;
    SortIndex = logicalIndex;
    viewport()->update();
}

void TSortHeaderView::SetSortAscending(bool ascending) {
    if (Ascending == ascending)
        return;
    Ascending = ascending;
    viewport()->update();
}

void TSortHeaderView::SetSortCaption(const QString& caption) {
    if (Caption == caption)
        return;
    Caption = caption;
    viewport()->update();
}

bool TSortHeaderView::IndicatorLayout(const QRect& rect, const QSize& captionSize,
                                      Qt::Alignment alignment, bool pressed, QRect* textRect,
                                      QPoint* centre, int* half) {
    const int w = captionSize.width();
    *half = captionSize.height() / 2;
    const int mid = rect.height() / 2;
    const int needed = *half + mid + w;
    if (needed + EdgeInset >= rect.width())
        return false;
    int left;
    if (alignment & Qt::AlignRight)
        left = rect.right() + 1 - needed - EdgeInset;
    else if (alignment & Qt::AlignHCenter)
        left = rect.left() + (rect.width() - needed) / 2;
    else
        left = rect.left() + EdgeInset;
    *textRect = QRect(QPoint(left, rect.top() + TextInsetY),
                      QPoint(left + needed - 1, rect.bottom() - TextInsetY));
    *centre = QPoint(left + w + mid, rect.top() + mid);
    if (pressed) {
        textRect->translate(1, 1);
        *centre += QPoint(1, 1);
    }
    return true;
}

void TSortHeaderView::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (logicalIndex == SortIndex) {
        option->text.clear();
        option->sortIndicator = QStyleOptionHeader::None;
    }
}

void TSortHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (logicalIndex != SortIndex || Caption.isEmpty() || !rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOptionForIndex(&option, logicalIndex);
    const bool pressed = option.state & QStyle::State_Sunken;
    const Qt::Alignment alignment =
        Qt::Alignment(
            model()
                ? model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt()
                : 0) &
        Qt::AlignHorizontal_Mask;
    PaintIndicator(painter, rect, pressed, alignment);
}

void TSortHeaderView::PaintIndicator(QPainter* painter, const QRect& rect, bool pressed,
                                     Qt::Alignment alignment) const {
    painter->save();
    painter->setClipRect(rect);
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::ButtonText));
    const QFontMetrics metrics(font());
    const QSize captionSize(metrics.horizontalAdvance(Caption), metrics.height());
    QRect textRect;
    QPoint centre;
    int half = 0;
    if (IndicatorLayout(rect, captionSize, alignment, pressed, &textRect, &centre, &half)) {
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Caption);
        PaintTriangle(painter, centre, half);
    } else {
        const QString shown = metrics.elidedText(Caption, Qt::ElideRight, rect.width());
        painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
    }
    painter->restore();
}

void TSortHeaderView::PaintTriangle(QPainter* painter, QPoint c, int half) const {
    const int x = c.x();
    const int y = c.y();
    QPoint a, b, d; // corners: left, apex-or-right, right
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (Ascending) {
        a = {x - half, y + half};
        b = {x, y - half};
        d = {x + half, y + half};
    } else {
        a = {x - half, y - half};
        b = {x, y + half};
        d = {x + half, y - half};
    }
    const QPoint corners[3] = {a, b, d};
    painter->setPen(Qt::black);
    painter->setBrush(palette().color(QPalette::Highlight));
    painter->drawPolygon(corners, 3);
    // Raised look: light from the upper left.
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    painter->setPen(shadow);
    painter->drawLine(a, b);
    if (!Ascending)
        painter->drawLine(a, d); // top edge
    painter->setPen(light);
    painter->drawLine(b, d);
    if (Ascending)
        painter->drawLine(a, d); // bottom edge
}
