#include "TReadout.h"

#include "TContrastText.h"

TReadout::TReadout(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

QColor TReadout::Colour() const {
    return palette().color(QPalette::Window);
}

void TReadout::SetColour(const QColor& colour) {
    if (Colour() == colour)
        return;
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
    TContrastText::Apply(this, QPalette::Window, QPalette::WindowText);
}
