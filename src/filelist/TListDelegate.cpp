#include "TListDelegate.h"

#include "TListRoles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

#include <cstdlib>

namespace {

// Cut or hidden items: half of white over the icon's own pixels.
constexpr int FadeAlpha = 128;

QPalette::ColorGroup GroupOf(const QStyleOptionViewItem& option) {
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    // The selection stays plainly visible when the list loses the focus.
    return QPalette::Active;
}

QString OneLine(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

TListDelegate::TListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QColor TListDelegate::SortTint(const QColor& window) {
    const auto shift = [](int value, int by) { return value >= by ? value - by : value + by; };
    return QColor(shift(window.red(), 16), shift(window.green(), 11), shift(window.blue(), 6));
}

QPixmap TListDelegate::Faded(const QPixmap& pixmap) {
    QPixmap faded(pixmap.size());
    faded.setDevicePixelRatio(pixmap.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter p(&faded);
    p.drawPixmap(0, 0, pixmap);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor white(Qt::white);
    white.setAlpha(FadeAlpha);
    p.fillRect(QRect(QPoint(0, 0), pixmap.size()), white);
    return faded;
}

void TListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const QPalette::ColorGroup group = GroupOf(option);
    const bool selected = (option.state & QStyle::State_Selected) && !CaptionEditing;
    const bool failed = index.data(ReadFailedRole).toBool();
    const int column = index.column();

    QColor background = option.palette.color(group, QPalette::Base);
    if (column == SortColumn)
        background = SortTint(background);
    QColor text = failed ? QColor(255, 0, 0) : option.palette.color(group, QPalette::Text);
    const QVariant air = index.data(AirStateRole);
    if (!failed && air.isValid())
        text = AirTextColour(static_cast<TAirState>(air.toInt()), option.palette, group, text);
    if (selected) {
        background = option.palette.color(group, QPalette::Highlight);
        text = option.palette.color(group, QPalette::HighlightedText);
    }

    painter->save();
    painter->setClipRect(option.rect);
    painter->fillRect(option.rect, background);

    QRect label = option.rect;
    if (column == 0) {
        const QSize iconSize = option.decorationSize;
        const QRect iconRect(option.rect.left() + IconInset,
                             option.rect.top() + (option.rect.height() - iconSize.height()) / 2,
                             iconSize.width(), iconSize.height());
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const QIcon overlay = index.data(OverlayIconRole).value<QIcon>();
        const bool faded = index.data(FadedIconRole).toBool();
        const QIcon::Mode mode = selected ? QIcon::Selected : QIcon::Normal;
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        for (const QIcon* layer : {&icon, &overlay}) {
            if (layer->isNull())
                continue;
            QPixmap pixmap = layer->pixmap(iconSize, ratio, mode);
            if (faded)
                pixmap = Faded(pixmap);
            painter->drawPixmap(iconRect.topLeft(), pixmap);
        }
        if (air.isValid() && !failed)
            PaintAirMark(*painter, iconRect, static_cast<TAirState>(air.toInt()), option.palette);
        label.setLeft(iconRect.right() + 1 + IconInset);
    }

    const QString caption = OneLine(index.data(Qt::DisplayRole).toString());
    if (!caption.isEmpty()) {
        const Qt::Alignment align =
            Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask;
        QRect textRect = label;
        Qt::Alignment flags = Qt::AlignVCenter;
        if (align & Qt::AlignRight) {
            textRect.setRight(label.right() - TextInset);
            flags |= Qt::AlignRight;
        } else if (align & Qt::AlignHCenter) {
            flags |= Qt::AlignHCenter;
        } else {
            textRect.setLeft(label.left() + (column == 0 ? NameTextInset : TextInset));
            flags |= Qt::AlignLeft;
        }
        painter->setFont(option.font);
        painter->setPen(text);
        const QString shown =
            option.fontMetrics.elidedText(caption, Qt::ElideRight, qMax(0, textRect.width()));
        painter->drawText(textRect, int(flags) | Qt::TextSingleLine, shown);
    }

    painter->restore();
}

QColor TListDelegate::AirTextColour(TAirState state, const QPalette& palette,
                                    QPalette::ColorGroup group, const QColor& normal) {
    QColor colour;
    switch (state) {
    case TAirState::Expired:
        colour = palette.color(group, QPalette::PlaceholderText);
        break;
    case TAirState::NotYetValid:
        colour = palette.color(group, QPalette::Link);
        break;
    default:
        return normal;
    }
    // A theme that darkens the base but keeps the light theme's link blue (a style sheet, say)
    // would leave the text hard to read: move its lightness away from the base's.
    const auto luma = [](const QColor& c) {
        return (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
    };
    const int base = luma(palette.color(group, QPalette::Base));
    if (std::abs(luma(colour) - base) < 90)
        colour = QColor::fromHsl(colour.hslHue(), colour.hslSaturation(), base < 128 ? 180 : 80);
    return colour;
}

QColor TListDelegate::AirMarkColour(TAirState state, const QPalette& palette) {
    switch (state) {
    case TAirState::Valid:
        return QColor(0x2e, 0xa0, 0x43);
    case TAirState::OutsideWindow:
        return QColor(0xe0, 0x9a, 0x1a);
    case TAirState::NotYetValid:
        return palette.color(QPalette::Active, QPalette::Link);
    case TAirState::Expired:
        return palette.color(QPalette::Active, QPalette::PlaceholderText);
    case TAirState::Unknown:
        return QColor(0xd0, 0x40, 0xc0);
    case TAirState::Evergreen:
        break;
    }
    return {};
}

void TListDelegate::PaintAirMark(QPainter& painter, const QRect& iconRect, TAirState state,
                                 const QPalette& palette) {
    // Evergreen files carry no mark: most of a library has no dates.
    const QColor colour = AirMarkColour(state, palette);
    if (!colour.isValid())
        return;
    const int d = qMax(5, iconRect.width() / 2);
    const QRect dot(iconRect.right() - d + 2, iconRect.bottom() - d + 2, d, d);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::Active, QPalette::Base), 1));
    painter.setBrush(colour);
    painter.drawEllipse(dot);
    painter.restore();
}

QWidget* TListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    if (index.column() != 0)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("edtName"));
    return editor;
}

void TListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    if (index.column() != 0) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const QStyle* style = view ? view->style() : QApplication::style();
    const int icon = view && view->iconSize().isValid()
                         ? view->iconSize().width()
                         : style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
    QRect cell = option.rect;
    cell.setLeft(cell.left() + icon + 4);
    editor->setGeometry(cell);
}

bool TListDelegate::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* editor = qobject_cast<QLineEdit*>(object);
        if (editor && editor->objectName() == QLatin1String("edtName") &&
            (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

QSize TListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString caption = OneLine(index.data(Qt::DisplayRole).toString());
    int width = option.fontMetrics.horizontalAdvance(caption) + 2 * TextInset;
    int height = option.fontMetrics.height() + 2;
    if (index.column() == 0) {
        width += option.decorationSize.width() + 2 * IconInset;
        height = qMax(height, option.decorationSize.height() + 2);
    }
    return {width, height};
}

void TListDelegate::PaintBelowRows(QPainter& painter, const QHeaderView& header, int rowsBottom,
                                   const QRect& viewport, const QPalette& palette) const {
    if (SortColumn < 0 || SortColumn >= header.count() || header.isSectionHidden(SortColumn))
        return;
    const int top = qMax(rowsBottom, viewport.top());
    if (top > viewport.bottom())
        return;
    const QRect area(header.sectionViewportPosition(SortColumn), top,
                     header.sectionSize(SortColumn), viewport.bottom() - top + 1);
    painter.fillRect(area, SortTint(palette.color(QPalette::Active, QPalette::Base)));
}
