// Placement of a dialog over a control or one of its quarters, kept on that control's
// screen: the rule as a table, and real windows on a two-screen desktop.

#include "PlaceWindow.h"
#include "TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

void PrintTo(const QPoint& point, std::ostream* out) {
    *out << "(" << point.x() << ", " << point.y() << ")";
}

namespace {

// The two screens of the test desktop, side by side.
const QRect FirstScreen(0, 0, 1024, 768);
const QRect SecondScreen(1024, 0, 1280, 1024);

struct TCase {
    const char* Name;
    QSize Window;
    QRect Reference;
    QRect Monitor;
    TPlaceMode Mode;
    QPoint Expected;
};

TEST(PlaceWindow, CentresOverTheControlOrAQuarterAndKeepsToTheScreen) {
    const QRect list(100, 100, 400, 300);
    const std::vector<TCase> cases = {
        {"whole control", {200, 100}, list, FirstScreen, pmWhole, {200, 200}},
        {"upper-left quarter", {100, 50}, list, FirstScreen, pmUpperLeft, {150, 150}},
        {"upper-right quarter", {100, 50}, list, FirstScreen, pmUpperRight, {350, 150}},
        {"lower-left quarter", {100, 50}, list, FirstScreen, pmLowerLeft, {150, 300}},
        {"lower-right quarter", {100, 50}, list, FirstScreen, pmLowerRight, {350, 300}},
        // Wider than the control: centred, so it starts left of the control's edge.
        {"wider than the control",
         {400, 100},
         {150, 100, 200, 300},
         FirstScreen,
         pmWhole,
         {50, 200}},
        {"pushed only to the screen's left edge",
         {400, 100},
         {50, 100, 200, 300},
         FirstScreen,
         pmWhole,
         {0, 200}},
        // Larger than a quarter: the corner is raised to the control's corner at the least.
        {"larger than the upper-left quarter",
         {300, 200},
         list,
         FirstScreen,
         pmUpperLeft,
         {100, 100}},
        {"larger than the lower-left quarter",
         {300, 200},
         list,
         FirstScreen,
         pmLowerLeft,
         {100, 225}},
        // Negative halves are divided toward zero (floor would give 50, 50).
        {"odd negative difference",
         {300, 200},
         {100, 100, 201, 101},
         FirstScreen,
         pmWhole,
         {51, 51}},
        {"odd control size in a quarter",
         {10, 10},
         {0, 0, 101, 51},
         FirstScreen,
         pmLowerRight,
         {70, 32}},
        {"past the right and bottom edges",
         {300, 200},
         {900, 650, 200, 100},
         FirstScreen,
         pmWhole,
         {724, 568}},
        {"second screen's right edge",
         {400, 100},
         {2100, 100, 200, 100},
         SecondScreen,
         pmWhole,
         {1904, 100}},
        {"second screen's left edge",
         {400, 100},
         {1030, 100, 100, 100},
         SecondScreen,
         pmWhole,
         {1024, 100}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PlaceWindowPosition(c.Window, c.Reference, c.Monitor, c.Mode), c.Expected);
    }
}

// Real windows: the control's screen is found from where the control is.
TEST(PlaceWindow, MovesAWindowOverAControlOnTheSecondScreen) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    QWidget host;
    host.setGeometry(2304 - 400, 100, 400, 300);
    auto* toolbar = new QWidget(&host);
    toolbar->setGeometry(0, 0, 400, 300);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    ASSERT_EQ(host.screen()->geometry(), SecondScreen);

    QDialog dialog(&host);
    dialog.resize(300, 200);
    PlaceWindow(&dialog, toolbar, pmLowerRight);
    // Centred over the lower-right quarter, then pulled back inside the screen.
    EXPECT_EQ(dialog.pos(), QPoint(2304 - 300, 225));
    EXPECT_EQ(dialog.size(), QSize(300, 200));

    PlaceWindow(&dialog, toolbar, pmWhole);
    EXPECT_EQ(dialog.pos(), QPoint(1904 + 50, 150));

    // A shown window is placed by its outer size, frame included.
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QSize outer = dialog.frameGeometry().size();
    PlaceWindow(&dialog, toolbar, pmLowerRight);
    EXPECT_EQ(dialog.frameGeometry().topLeft(),
              QPoint(2304 - outer.width(), 225 - (outer.height() - 200) / 2));
    EXPECT_EQ(dialog.frameGeometry().right(), 2303);
}

TEST(PlaceWindow, UsesTheControlsPlaceInsideItsWindow) {
    QWidget host;
    host.setGeometry(100, 100, 600, 400);
    auto* list = new QWidget(&host);
    list->setGeometry(200, 100, 400, 300);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    QDialog dialog(&host);
    dialog.resize(100, 50);
    PlaceWindow(&dialog, list, pmUpperLeft);
    EXPECT_EQ(dialog.pos(), QPoint(300 + 50, 200 + 50));
}

} // namespace

int main(int argc, char** argv) {
    // A desktop of two screens side by side.
    TTempDir dir;
    const QString config = QString::fromStdString(dir.File("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [
        {"name": "first", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96},
        {"name": "second", "x": 1024, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96}
    ]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
