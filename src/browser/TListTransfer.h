#pragma once

#include "TDragRule.h"
#include "TTransferMode.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>

class QDrag;
class QDropEvent;

class QMouseEvent;
class TXListView;

// The folder list as a small file manager for the shown folder: Copy, Cut and Paste in the
// desktop file managers' clipboard formats (cut items drawn faded until the clipboard
// changes), Delete to the Trash after one question, Escape (selection and clipboard emptied),
// renaming in place (F2 or the item menu; never over another item), dragging the selected
// items out, dropping files in (copy or move by the drive rule; a right or middle button drop
// asks), the item menu on a right click over selected rows, and the default action for files.
// It attaches to the list through the list's public interface, its signals and event filters.
class TListTransfer : public QObject {
    Q_OBJECT

public:
    explicit TListTransfer(TXListView& list, QObject* parent = nullptr);

    // A mouse button went down over the rows and a drag may follow.
    bool DragArmed() const { return Drag.Armed(); }
    // The line edit of a running rename, null when none.
    QLineEdit* NameEditor() const { return Editor; }

    // Tests replace how this list's drags run (default: QDrag::exec) and the clock of its
    // drag rule (default: milliseconds since construction).
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag)>;
    void SetDragRunner(TDragRunner runner);
    using TClock = std::function<qint64()>;
    void SetClock(TClock clock);

    // Time a button must be held before a move outside the drag distance starts a drag.
    static constexpr qint64 DragDelayMs = TDragRule::DelayMs;

public slots:
    // The toolbar's actions.
    void CopySelection();
    void CutSelection();
    void PasteFiles();
    void DeleteSelection();
    // Starts editing the first selected row's name (F2, the item menu's Rename).
    void EditSelectedName();
    // Clears every cut mark unless the clipboard still holds exactly the items cut here.
    void ClearCutMarks();
    // Copies or moves files into the shown folder as a drop does; files that already lie
    // there are left out and "At least one file has been skipped" is shown.
    void TransferDroppedFiles(const QList<QByteArray>& files, TTransferMode mode);

signals:
    // Items this list moved or deleted: they are no longer at these paths (the editor lets
    // go of such a file).
    void OnItemsGone(const QList<QByteArray>& paths);
    // An item was renamed in place.
    void OnItemRenamed(const QByteArray& oldPath, const QByteArray& newPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TXListView& List;
    // Kept from construction: the filter must not ask a view being destroyed for its viewport.
    QWidget* Viewport = nullptr;
    // The drag rule's state: where and when the button went down, and which one.
    TDragRule Drag;
    bool MenuHeld = false; // the item menu waits for the right button's release
    // The buttons of the drag over the list, recorded as it enters and moves.
    Qt::MouseButtons DropButtons;
    QList<QByteArray> CutPaths; // the items shown faded
    QPointer<QLineEdit> Editor;
    QByteArray EditPath;
    bool Committing = false;
    TDragRunner DragRunner;
    TClock Clock;
    QElapsedTimer Elapsed;

    // File-system paths of the rows, in row order, of the entries the filter allows.
    QList<QByteArray> PathsOf(const QList<int>& rows,
                              const std::function<bool(int row)>& allowed = {}) const;
    void SetCutMarks(const QList<QByteArray>& paths);
    qint64 Now() const;
    void Disarm();
    bool MouseEvent(QMouseEvent* event);
    void StartDrag();
    bool DropEvent(QEvent* event);
    void HandleDrop(const QList<QByteArray>& files, Qt::MouseButtons buttons);
    // Announces the paths that no longer exist and re-reads the folder.
    void AfterChange(const QList<QByteArray>& touched);
    void ShowContextMenu(const QPoint& globalPos, const QList<int>& rows);
    void DefaultAction(const QByteArray& path);
    void EscapePressed();
    void CommitName(bool accept);
    void UpdateRenamedEntry(const QByteArray& oldPath, const QByteArray& newPath);
};
