#include "TUpDown.h"

#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto arrow = [this, layout](Qt::ArrowType type, TDirection direction) {
        auto* button = new QToolButton(this);
        button->setArrowType(type);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this,
                [this, direction] { emit Changing(direction); });
        return button;
    };
    Up = arrow(Qt::UpArrow, TDirection::Up);
    Down = arrow(Qt::DownArrow, TDirection::Down);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
