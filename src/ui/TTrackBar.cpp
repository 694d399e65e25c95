#include "TTrackBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace {
constexpr int ThumbLength = 22;
}

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksAbove);
    setMinimumHeight(ThumbLength + 8);
}

void TTrackBar::SetSelection(int selStart, int selEnd) {
    if (selStart == SelectionStart && selEnd == SelectionEnd)
        return;
    SelectionStart = selStart;
    SelectionEnd = selEnd;
    update();
}

QSize TTrackBar::sizeHint() const {
    QSize size = QSlider::sizeHint();
    size.setHeight(std::max(size.height(), ThumbLength + 8));
    return size;
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit MouseDown();
    QSlider::mousePressEvent(event);
}

void TTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit MouseUp();
}

void TTrackBar::paintEvent(QPaintEvent*) {
    // Groove and ticks first, then the band, then the thumb on top of it.
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    const int low = std::clamp(std::min(SelectionStart, SelectionEnd), minimum(), maximum());
    const int high = std::clamp(std::max(SelectionStart, SelectionEnd), minimum(), maximum());
    if (high > low) {
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        // Positions map onto the span the thumb's centre travels.
        const int span = groove.width() - handle.width();
        const int offset = groove.left() + handle.width() / 2;
        const int x1 = offset + QStyle::sliderPositionFromValue(minimum(), maximum(), low, span);
        const int x2 = offset + QStyle::sliderPositionFromValue(minimum(), maximum(), high, span);
        const int height = std::max(4, groove.height() / 2);
        const QRect band(x1, groove.center().y() - height / 2, std::max(1, x2 - x1), height);
        // Darker than the highlight some styles fill the groove with up to the thumb.
        painter.fillRect(band, palette().color(QPalette::Highlight).darker(150));
    }

    option.subControls = QStyle::SC_SliderHandle;
    if (isSliderDown()) {
        option.activeSubControls = QStyle::SC_SliderHandle;
        option.state |= QStyle::State_Sunken;
    }
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
