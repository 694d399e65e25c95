#pragma once

#include <QHeaderView>

// The folder list's header. The sort column's section shows the column's caption followed by a
// small raised triangle, pointing up for ascending and down for descending order; a section too
// narrow for both shows the caption alone, centred. While the section is held down, caption and
// triangle move by one pixel right and down like a pressed button's face. The view tells the
// header which section orders the rows, its direction and its caption (the section's own
// caption is left out, the header draws this one).
class TSortHeaderView : public QHeaderView {
    Q_OBJECT

public:
    // Room between the section's edges and the caption, and above and below the caption.
    static constexpr int EdgeInset = 6;
    static constexpr int TextInsetY = 3;

    explicit TSortHeaderView(QWidget* parent = nullptr);

    void SetSortSection(int logicalIndex);
    int SortSection() const { return SortIndex; }
    void SetSortAscending(bool ascending);
    bool SortAscending() const { return Ascending; }
    void SetSortCaption(const QString& caption);
    const QString& SortCaption() const { return Caption; }

    // Where the caption and the triangle go in a section of `rect` (header co-ordinates) for a
    // caption of `captionSize`: false when the section is too narrow for both. `textRect`
    // holds the caption, `centre` is the triangle's centre and `half` its half height.
    static bool IndicatorLayout(const QRect& rect, const QSize& captionSize,
                                Qt::Alignment alignment, bool pressed, QRect* textRect,
                                QPoint* centre, int* half);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    void PaintIndicator(QPainter* painter, const QRect& rect, bool pressed,
                        Qt::Alignment alignment) const;
    void PaintTriangle(QPainter* painter, QPoint centre, int half) const;

    int SortIndex = 0;
    bool Ascending = true;
    QString Caption;
};
