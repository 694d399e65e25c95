#pragma once

#include <QPoint>
#include <QtGlobal>

// When a press on the folder list becomes a drag, decided without widgets. A press arms the
// rule when it is on a row or rows are selected. While armed, a move with a button held over a
// pressed row that is selected starts a drag once it is farther than the start distance from
// the press (in x or in y) and at least DelayMs after the press; a move without buttons, or
// when the pressed row is not (or no longer) selected, disarms. Times are milliseconds of a
// monotonic clock, passed in.
class TDragRule {
public:
    static constexpr qint64 DelayMs = 200;

    enum class TMove {
        Ignore, // not armed (the view handles the move)
        Disarm, // was armed; the move ends it (the view handles the move)
        Wait,   // armed: the move is taken, no drag yet
        Drag,   // armed: start the drag now
    };

    // A button went down at `pos` on `row` (-1: no row).
    void Press(int row, bool anySelected, QPoint pos, qint64 nowMs, Qt::MouseButton button);
    // The mouse moved to `pos`. The rule disarms itself where the answer says so.
    TMove Move(QPoint pos, qint64 nowMs, bool buttonsHeld, bool pressedRowSelected,
               int startDistance);
    void Disarm();

    bool Armed() const { return IsArmed; }
    int PressRow() const { return Row; }
    Qt::MouseButton PressButton() const { return Button; }

private:
    bool IsArmed = false;
    int Row = -1;
    QPoint Start{-1, -1};
    qint64 PressMs = 0;
    Qt::MouseButton Button = Qt::NoButton;
};
