#pragma once

#include <QLabel>

// A read-only value display: centred text in a sunken frame on a background colour of
// its own. Qt paints widgets through a back buffer, so frequent updates (a play
// position 20 times a second) do not flicker.
class TReadout : public QLabel {
    Q_OBJECT

public:
    explicit TReadout(QWidget* parent = nullptr);

    QColor Colour() const;
    void SetColour(const QColor& colour);
};
