#pragma once

#include "TDragRule.h"
#include "TDropMenu.h"
#include "TTransferMode.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <functional>

class QDrag;
class QEvent;
class QMouseEvent;
class QWidget;
class TXListView;

// Dragging the selected items out of the list and dropping files in. The drag rule (TDragRule)
// decides when a press becomes a drag; a right-button press holds the item menu until the
// release, since the button may still start a drag. A drop copies or moves by the drive rule;
// a right or middle button drop asks with the drop menu.
class TListDragDrop : public QObject {
    Q_OBJECT

public:
    // Told the sources a drag moved away or a drop transferred.
    using TAfterChange = std::function<void(const QList<QByteArray>& touched)>;
    TListDragDrop(TXListView& list, TAfterChange afterChange, QObject* parent = nullptr);

    // A mouse button went down over the rows and a drag may follow.
    bool Armed() const { return Drag.Armed(); }

    // Copies or moves files into the shown folder as a drop does; files that already lie there
    // are left out and "At least one file has been skipped" is shown.
    void TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode);

    // Tests replace how this list's drags run (default: QDrag::exec), the clock of its drag
    // rule (default: milliseconds since construction) and how its drop menu runs (default:
    // QMenu::exec).
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag)>;
    void SetDragRunner(TDragRunner runner) { DragRunner = std::move(runner); }
    using TClock = std::function<qint64()>;
    void SetClock(TClock clock) { Clock = std::move(clock); }
    void SetDropMenuRunner(TDropMenu::TRunner runner) { DropMenuRunner = std::move(runner); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TXListView& List;
    // Kept from construction: the filter must not ask a view being destroyed for its viewport.
    QWidget* Viewport = nullptr;
    TAfterChange AfterChange;
    // The drag rule's state: where and when the button went down, and which one.
    TDragRule Drag;
    bool MenuHeld = false; // the item menu waits for the right button's release
    // The buttons of the drag over the list, recorded as it enters and moves.
    Qt::MouseButtons DropButtons;
    TDragRunner DragRunner;
    TClock Clock;
    TDropMenu::TRunner DropMenuRunner;
    QElapsedTimer Elapsed;

    qint64 Now() const;
    void Disarm();
    bool MouseEvent(QMouseEvent* event);
    void StartDrag();
    bool DropEvent(QEvent* event);
    void HandleDrop(const QList<QByteArray>& files, Qt::MouseButtons buttons);
};
