#include "TDragRule.h"

#include <cstdlib>

void TDragRule::Press(int row, bool anySelected, QPoint pos, qint64 nowMs, Qt::MouseButton button) {
    Row = row;
    IsArmed = row >= 0 || anySelected;
    Start = pos;
    PressMs = nowMs;
    Button = button;
}

TDragRule::TMove TDragRule::Move(QPoint pos, qint64 nowMs, bool buttonsHeld,
                                 bool pressedRowSelected, int startDistance) {
    if (!IsArmed)
        return TMove::Ignore;
    // Only a press on a row that is (now) selected drags; elsewhere the view selects.
    if (!buttonsHeld || Row < 0 || !pressedRowSelected) {
        Disarm();
        return TMove::Disarm;
    }
    const QPoint moved = pos - Start;
    const bool outside = std::abs(moved.x()) > startDistance || std::abs(moved.y()) > startDistance;
    return outside && nowMs - PressMs >= DelayMs ? TMove::Drag : TMove::Wait;
}

void TDragRule::Disarm() {
    IsArmed = false;
    Start = QPoint(-1, -1);
    Row = -1;
    Button = Qt::NoButton;
}
