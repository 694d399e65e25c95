// The list's cells and sort header rendered into images and checked at known pixels: the sort
// column's tint and its continuation below the rows, red text of failed rows, highlight of
// selected ones, faded and overlaid icons, the right inset, and the header's caption with the
// triangle both ways, pressed, and the fallback for a narrow column.

#include "TListDelegate.h"
#include "TListRoles.h"
#include "TSortHeaderView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTest>
#include <QTreeView>

#include <functional>

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);
const QColor Highlight(20, 40, 160);
const QColor Caption(10, 200, 30); // the header's highlight: the triangle's fill
const QColor Tint(239, 244, 249);

// A report view wired like the folder list: our delegate and header, the tint carried on
// below the rows from the view's own paint.
class TTestView : public QTreeView {
public:
    TTestView() {
        setHeader(Header);
        setItemDelegate(Delegate);
        setRootIsDecorated(false);
        setIndentation(0);
        setUniformRowHeights(true);
        setSelectionBehavior(SelectRows);
        setSelectionMode(ExtendedSelection);
        setAllColumnsShowFocus(true);
        setIconSize(QSize(16, 16));
        Header->setSectionsClickable(true);
        Header->setStretchLastSection(false);
    }

    void SetSort(int column, bool ascending, const QString& caption) {
        Delegate->SetSortColumn(column);
        Header->SetSortSection(column);
        Header->SetSortAscending(ascending);
        Header->SetSortCaption(caption);
    }

    TSortHeaderView* Header = new TSortHeaderView(this);
    TListDelegate* Delegate = new TListDelegate(this);

protected:
    void paintEvent(QPaintEvent* event) override {
        QTreeView::paintEvent(event);
        const int rows = model() ? model()->rowCount() : 0;
        if (rows == 0)
            return;
        QPainter painter(viewport());
        const int bottom = visualRect(model()->index(rows - 1, 0)).bottom() + 1;
        Delegate->PaintBelowRows(painter, *Header, bottom, viewport()->rect(), palette());
    }
};

QPixmap Solid(const QColor& color, QRect area = QRect(0, 0, 16, 16)) {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.fillRect(area, color);
    return p;
}

class ListDrawingTest : public testing::Test {
protected:
    void SetUp() override {
        QPalette pal = View.palette();
        pal.setColor(QPalette::Base, White);
        pal.setColor(QPalette::Text, Black);
        pal.setColor(QPalette::Highlight, Highlight);
        pal.setColor(QPalette::HighlightedText, White);
        pal.setColor(QPalette::ButtonText, Black);
        View.setPalette(pal);
        QPalette headerPal = pal;
        headerPal.setColor(QPalette::Highlight, Caption);
        View.Header->setPalette(headerPal);

        Model.setHorizontalHeaderLabels({"Name", "Size", "Modified", "Artist"});
        Model.horizontalHeaderItem(1)->setTextAlignment(Qt::AlignRight);
        const char* names[] = {"alpha.wav", "broken.wav", "cut.wav"};
        for (int r = 0; r < 3; ++r) {
            QList<QStandardItem*> row;
            row << new QStandardItem(QIcon(Solid(QColor(0, 0, 255))), names[r]);
            row << new QStandardItem(QStringLiteral("1,205 KB"));
            row.back()->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            row << new QStandardItem(QStringLiteral("3/7/2003"));
            row << new QStandardItem(QStringLiteral("A rather long artist name here"));
            Model.appendRow(row);
        }
        Model.item(1, 0)->setData(true, ReadFailedRole);
        for (int c = 0; c < 4; ++c)
            Model.item(1, c)->setData(true, ReadFailedRole);
        Model.item(2, 0)->setData(true, FadedIconRole);
        Model.item(0, 0)->setData(QIcon(Solid(Red, QRect(0, 0, 6, 6))), OverlayIconRole);

        View.setModel(&Model);
        View.resize(520, 260);
        View.Header->resizeSection(0, 150);
        View.Header->resizeSection(1, 90);
        View.Header->resizeSection(2, 100);
        View.Header->resizeSection(3, 80);
        View.SetSort(1, true, QStringLiteral("Size"));
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
        // No focus frame over the rows checked below.
        View.selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }

    QImage Rows() { return View.viewport()->grab().toImage(); }
    QImage HeaderImage() { return View.Header->grab().toImage(); }

    QRect Cell(int row, int column) { return View.visualRect(Model.index(row, column)); }

    // Pixels of `image` inside `area` that satisfy `test`.
    static int Count(const QImage& image, const QRect& area,
                     const std::function<bool(const QColor&)>& test) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += test(image.pixelColor(x, y)) ? 1 : 0;
        return n;
    }
    static QRect Bounds(const QImage& image, const QRect& area, const QColor& color) {
        QRect box;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) == color)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

    QStandardItemModel Model;
    TTestView View;
};

TEST_F(ListDrawingTest, SortColumnIsTintedDownToTheBottom) {
    const QImage image = Rows();
    const QRect size = Cell(0, 1);
    const QRect modified = Cell(0, 2);
    // Left part of the right-aligned Size cell holds no text.
    EXPECT_EQ(image.pixelColor(size.left() + 2, size.center().y()), Tint);
    EXPECT_EQ(image.pixelColor(modified.right() - 2, modified.top() + 1), White);
    // Below the last row the tint goes on in the sort column only.
    const int below = Cell(2, 1).bottom() + 10;
    ASSERT_LT(below, image.height());
    EXPECT_EQ(image.pixelColor(size.center().x(), below), Tint);
    EXPECT_EQ(image.pixelColor(size.center().x(), image.height() - 1), Tint);
    EXPECT_EQ(image.pixelColor(modified.center().x(), below), White);
    EXPECT_EQ(TListDelegate::SortTint(QColor(4, 5, 200)), QColor(20, 16, 194));
}

TEST_F(ListDrawingTest, FailedRowIsRedUnlessSelected) {
    const auto isRed = [](const QColor& c) { return c == Red; };
    QImage image = Rows();
    QRect name = Cell(1, 0).adjusted(20, 0, 0, 0); // past the icon
    EXPECT_GT(Count(image, name, isRed), 10);
    EXPECT_GT(Count(image, Cell(1, 2), isRed), 10);
    EXPECT_EQ(Count(image, Cell(0, 0).adjusted(20, 0, 0, 0), isRed), 0);

    View.selectionModel()->select(Model.index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    image = Rows();
    EXPECT_EQ(Count(image, name, isRed), 0);
    EXPECT_EQ(image.pixelColor(Cell(1, 1).left() + 2, Cell(1, 1).center().y()), Highlight);
    EXPECT_GT(Count(image, name, [](const QColor& c) { return c == White; }), 10);
}

TEST_F(ListDrawingTest, AirStatesColourTheTextAndFailedStaysRed) {
    const QColor grey(128, 128, 128);
    const QColor blue(0, 0, 200);
    QPalette pal = View.palette();
    pal.setColor(QPalette::PlaceholderText, grey);
    pal.setColor(QPalette::Link, blue);
    View.setPalette(pal);
    for (int c = 0; c < 4; ++c) {
        Model.item(0, c)->setData(int(TAirState::Expired), AirStateRole);
        Model.item(1, c)->setData(int(TAirState::Expired), AirStateRole);
        Model.item(2, c)->setData(int(TAirState::NotYetValid), AirStateRole);
    }
    const auto is = [](const QColor& want) {
        return [want](const QColor& c) { return c == want; };
    };
    QImage image = Rows();
    EXPECT_GT(Count(image, Cell(0, 3), is(grey)), 10);
    EXPECT_GT(Count(image, Cell(2, 3), is(blue)), 10);
    EXPECT_GT(Count(image, Cell(1, 3), is(Red)), 10); // the failed read wins
    EXPECT_EQ(Count(image, Cell(1, 3), is(grey)), 0);

    // A dark base with the light theme's link blue: the text is lightened to stay readable.
    pal.setColor(QPalette::Base, QColor(30, 30, 30));
    pal.setColor(QPalette::Link, QColor(0, 0, 255));
    View.setPalette(pal);
    image = Rows();
    EXPECT_EQ(Count(image, Cell(2, 3), is(QColor(0, 0, 255))), 0);
    EXPECT_GT(Count(image, Cell(2, 3), is(QColor(105, 105, 255))), 10);
}

TEST_F(ListDrawingTest, IconsFadedAndOverlaid) {
    const QImage image = Rows();
    const QPoint iconAt(Cell(0, 0).left() + TListDelegate::IconInset + 12,
                        Cell(0, 0).center().y() + 4);
    EXPECT_EQ(image.pixelColor(iconAt), QColor(0, 0, 255));
    // The overlay covers the icon's upper-left corner.
    const QRect first = Cell(0, 0);
    const int iconTop = first.top() + (first.height() - 16) / 2;
    EXPECT_EQ(image.pixelColor(first.left() + TListDelegate::IconInset + 1, iconTop + 1), Red);
    // Half-way to white.
    const QColor faded = image.pixelColor(iconAt + QPoint(0, Cell(2, 0).top() - first.top()));
    EXPECT_NEAR(faded.red(), 128, 2);
    EXPECT_NEAR(faded.green(), 128, 2);
    EXPECT_EQ(faded.blue(), 255);
}

TEST_F(ListDrawingTest, RightAlignedTextKeepsItsInsetAndLongTextIsCut) {
    const QImage image = Rows();
    const auto dark = [](const QColor& c) { return c.lightness() < 128; };
    const QRect size = Cell(0, 1);
    int rightmost = -1;
    for (int x = size.left(); x <= size.right(); ++x)
        if (Count(image, QRect(x, size.top(), 1, size.height()), dark) > 0)
            rightmost = x;
    EXPECT_LE(rightmost, size.right() - TListDelegate::TextInset);
    EXPECT_GE(rightmost, size.right() - TListDelegate::TextInset - 3);
    // The artist does not fit: it ends in an ellipsis before the cell's edge.
    const QRect artist = Cell(0, 3);
    EXPECT_EQ(Count(image, QRect(artist.right() - 2, artist.top(), 3, artist.height()), dark), 0);
    QFontMetrics metrics(View.font());
    const QString shown =
        metrics.elidedText(QStringLiteral("A rather long artist name here"), Qt::ElideRight,
                           artist.width() - TListDelegate::TextInset);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
}

// Fill-coloured pixels of the triangle in its upper and lower halves.
std::pair<int, int> TriangleHalves(const QImage& image, const QRect& section) {
    const QRect box = [&] {
        QRect b;
        for (int y = section.top(); y <= section.bottom(); ++y)
            for (int x = section.left(); x <= section.right(); ++x)
                if (image.pixelColor(x, y) == Caption)
                    b |= QRect(x, y, 1, 1);
        return b;
    }();
    int upper = 0, lower = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.pixelColor(x, y) == Caption)
                (y < box.center().y() ? upper : lower)++;
    return {upper, lower};
}

TEST_F(ListDrawingTest, HeaderShowsCaptionAndTriangleBothWays) {
    const QRect section(View.Header->sectionViewportPosition(1), 0, View.Header->sectionSize(1),
                        View.Header->height());
    QImage image = HeaderImage();
    auto [upper, lower] = TriangleHalves(image, section);
    EXPECT_GT(lower, upper) << "ascending points up";
    EXPECT_GT(upper, 0);
    // The caption stands left of the triangle.
    const QRect fill = Bounds(image, section, Caption);
    EXPECT_GT(Count(image,
                    QRect(section.left(), 0, fill.left() - section.left() - 4, section.height()),
                    [](const QColor& c) { return c == Black; }),
              5);

    View.SetSort(1, false, QStringLiteral("Size"));
    image = HeaderImage();
    std::tie(upper, lower) = TriangleHalves(image, section);
    EXPECT_GT(upper, lower) << "descending points down";
    EXPECT_GT(lower, 0);
}

TEST_F(ListDrawingTest, PressedSectionMovesByOnePixel) {
    const int left = View.Header->sectionViewportPosition(1);
    const QRect section(left, 0, View.Header->sectionSize(1), View.Header->height());
    const QRect before = Bounds(HeaderImage(), section, Caption);
    QTest::mousePress(View.Header->viewport(), Qt::LeftButton, {}, section.center());
    const QRect pressed = Bounds(HeaderImage(), section, Caption);
    QTest::mouseRelease(View.Header->viewport(), Qt::LeftButton, {}, section.center());
    const QRect after = Bounds(HeaderImage(), section, Caption);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(pressed.topLeft(), before.topLeft() + QPoint(1, 1));
    EXPECT_EQ(after, before);
}

TEST_F(ListDrawingTest, NarrowSortColumnShowsTheCaptionCentredWithoutTriangle) {
    View.Header->resizeSection(1, 36);
    const QRect section(View.Header->sectionViewportPosition(1), 0, 36, View.Header->height());
    const QImage image = HeaderImage();
    EXPECT_EQ(Count(image, section, [](const QColor& c) { return c == Caption; }), 0);
    const QRect text = Bounds(image, section.adjusted(2, 3, -2, -3), Black);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LE(std::abs((text.left() - section.left()) - (section.right() - text.right())), 3);
    // Other sections keep their own captions; the sort section's own one is not drawn twice.
    EXPECT_TRUE(View.Header->model()->headerData(1, Qt::Horizontal).toString() ==
                QStringLiteral("Size"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    font.setStyleStrategy(QFont::NoAntialias);
    QApplication::setFont(font);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
