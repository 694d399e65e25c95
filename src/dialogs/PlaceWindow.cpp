#include "PlaceWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint PlaceWindowPosition(const QSize& window, const QRect& reference, const QRect& monitor,
                           TPlaceMode mode) {
    const int w = window.width();
    const int h = window.height();
    const bool quarter = mode != pmWhole;
    // Integer division truncates toward zero, as the placement rule asks.
    const int areaW = quarter ? reference.width() / 2 : reference.width();
    const int areaH = quarter ? reference.height() / 2 : reference.height();

    int x = reference.left() + (areaW - w) / 2;
    int y = reference.top() + (areaH - h) / 2;
    if (mode == pmUpperRight || mode == pmLowerRight)
        x += areaW;
    if (mode == pmLowerLeft || mode == pmLowerRight)
        y += areaH;

    if (quarter) {
        x = std::max(x, reference.left());
        y = std::max(y, reference.top());
    }
    // Keep the corner on the control's screen. For the primary screen this is the
    // desktop's origin; for a screen placed elsewhere it keeps the dialog from
    // jumping to a neighbouring screen.
    x = std::max(x, monitor.isValid() ? monitor.left() : 0);
    y = std::max(y, monitor.isValid() ? monitor.top() : 0);
    if (!monitor.isValid())
        return {x, y};

    const int monitorRight = monitor.left() + monitor.width();
    const int monitorBottom = monitor.top() + monitor.height();
    if (x + w > monitorRight)
        x = monitorRight - w;
    if (y + h > monitorBottom)
        y = monitorBottom - h;
    return {x, y};
}

QPoint KeepTitleBarOnScreen(const QPoint& topLeft, const QSize& window,
                            const QList<QRect>& screens) {
    constexpr int TitleHeight = 24; // about a title bar, without asking the window manager
    constexpr int ReachableWidth = 100;
    if (screens.isEmpty())
        return topLeft;
    const int width = std::max(1, window.width());
    const int needed = std::min(ReachableWidth, width);
    for (const QRect& screen : screens) {
        const int overlap = std::min(topLeft.x() + width, screen.left() + screen.width()) -
                            std::max(topLeft.x(), screen.left());
        if (overlap >= needed && topLeft.y() >= screen.top() &&
            topLeft.y() + TitleHeight <= screen.top() + screen.height())
            return topLeft;
    }
    const auto distance = [&topLeft](const QRect& screen) {
        const int dx = std::max({screen.left() - topLeft.x(), 0, topLeft.x() - screen.right()});
        const int dy = std::max({screen.top() - topLeft.y(), 0, topLeft.y() - screen.bottom()});
        return qint64(dx) * dx + qint64(dy) * dy;
    };
    const QRect nearest =
        *std::min_element(screens.cbegin(), screens.cend(), [&](const QRect& a, const QRect& b) {
            return distance(a) < distance(b);
        });
    const int x = std::clamp(topLeft.x(), nearest.left(),
                             std::max(nearest.left(), nearest.left() + nearest.width() - width));
    const int y =
        std::clamp(topLeft.y(), nearest.top(),
                   std::max(nearest.top(), nearest.top() + nearest.height() - TitleHeight));
    return {x, y};
}

namespace {

QRect GlobalRect(const QWidget* widget) {
    if (widget->isWindow())
        return widget->frameGeometry();
    return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
}

QRect MonitorOf(const QWidget* widget, const QRect& globalRect) {
    QScreen* screen = QGuiApplication::screenAt(globalRect.center());
    if (!screen)
        screen = widget->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

} // namespace

void PlaceWindow(QWidget* window, const QWidget* reference, TPlaceMode mode) {
    if (!window || !reference)
        return;
    const QRect r = GlobalRect(reference);
    const QRect monitor = MonitorOf(reference, r);
    // move() on a top-level widget positions its frame, so the frame's size is used;
    // a window not yet shown has no frame yet, and its own size stands for it.
    const QSize size = window->isVisible() ? window->frameGeometry().size() : window->size();
    window->move(PlaceWindowPosition(size, r, monitor, mode));
}
