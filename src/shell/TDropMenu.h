#pragma once

#include "TTransferMode.h"

#include <QMenu>

#include <functional>
#include <optional>

class QAction;

// The small menu a right-button (or middle-button) drop of files shows: "Copy Here" and
// "Move Here", the one the drop rule chose shown bold as the default, a separator and
// "Cancel".
class TDropMenu : public QMenu {
    Q_OBJECT

public:
    explicit TDropMenu(QWidget* parent = nullptr);

    // Shows the menu at the global position; the mode chosen, nothing for "Cancel" or a
    // dismissed menu.
    std::optional<TTransferMode> Choose(TTransferMode defaultMode, const QPoint& globalPos);

    // Tests replace how this menu is run (empty: QMenu::exec at the position).
    using TRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
    void SetRunner(TRunner runner) { Runner = std::move(runner); }

    QAction* mnuCopy;
    QAction* mnuMove;
    QAction* mnuCancel;

private:
    TRunner Runner;
};
