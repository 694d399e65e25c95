#pragma once

#include <QSlider>

// A horizontal track bar with tick marks above the groove and a selection band
// (SelStart to SelEnd, in track bar steps) painted over the groove. Mouse presses and
// releases on the bar are reported on their own, apart from value changes, so that a
// caller can tell "the user holds the thumb" from "the position moved".
class TTrackBar : public QSlider {
    Q_OBJECT

public:
    explicit TTrackBar(QWidget* parent = nullptr);

    int SelStart() const { return SelectionStart; }
    int SelEnd() const { return SelectionEnd; }
    // An empty band (start == end) paints nothing.
    void SetSelection(int selStart, int selEnd);

    QSize sizeHint() const override;

signals:
    // Before the press is handled, so a handler sees the state before the thumb moves.
    void MouseDown();
    // After the release is handled, so a handler sees the released position.
    void MouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int SelectionStart = 0;
    int SelectionEnd = 0;
};
