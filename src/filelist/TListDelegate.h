#pragma once

#include "TAirValidity.h"

#include <QPalette>
#include <QStyledItemDelegate>

class QHeaderView;

// Draws the folder list's cells: red text for rows whose audio information could not be read,
// grey for expired and blue for not yet valid files with a state mark on their icon,
// a tint over the column that orders the rows, icons faded for hidden or cut items and with
// their overlay, texts inset from the cell's edges and cut with an ellipsis. Colours come from
// the view's palette, so light and dark themes both work. The focus frame of the current row is
// the view's own (all columns show the focus). The model hands each row's state
// through the roles of TListRoles.h; the view tells the delegate which column is sorted.
class TListDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Text inset from the cell's edge, and in the Name column from the label's edge.
    static constexpr int TextInset = 5;
    static constexpr int NameTextInset = 2;
    // Space left of the icon in the Name column, and between icon and label.
    static constexpr int IconInset = 2;

    explicit TListDelegate(QObject* parent = nullptr);

    void SetSortColumn(int column) { SortColumn = column; }
    int GetSortColumn() const { return SortColumn; }
    // While a caption is being edited, selected rows are drawn like the others.
    void SetCaptionEditing(bool editing) { CaptionEditing = editing; }

    // The window colour shifted into the sort column's tint: each component moves by
    // 16, 11 and 6 (red, green, blue), down where it can (white becomes 239, 244, 249), up
    // where it is too dark to go down, so the tint shows on dark themes too.
    static QColor SortTint(const QColor& window);
    // An icon image blended half-way with white, as hidden and cut items are shown.
    static QPixmap Faded(const QPixmap& pixmap);

    // Row text of a dated file: expired rows in the palette's placeholder grey, rows not yet
    // valid in its link blue (both stay readable on dark themes); others keep `normal`.
    static QColor AirTextColour(TAirState state, const QPalette& palette,
                                QPalette::ColorGroup group, const QColor& normal);
    // The small mark drawn on a dated file's icon (none for files without dates).
    static QColor AirMarkColour(TAirState state, const QPalette& palette);
    static void PaintAirMark(QPainter& painter, const QRect& iconRect, TAirState state,
                             const QPalette& palette);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The name editor of a rename: a line edit (edtName) over the name's label, right of the
    // icon, holding the item's file name.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    // Enter in the name editor commits at once (Qt's own commit waits for the event loop), so
    // the rename is done, or refused, when the key has been handled.
    bool eventFilter(QObject* object, QEvent* event) override;

public:
    // Continues the sort column's tint from `rowsBottom` (viewport y below the last row) down
    // to the viewport's bottom. Called on the view's viewport while it paints.
    void PaintBelowRows(QPainter& painter, const QHeaderView& header, int rowsBottom,
                        const QRect& viewport, const QPalette& palette) const;

private:
    int SortColumn = 0;
    bool CaptionEditing = false;
};
