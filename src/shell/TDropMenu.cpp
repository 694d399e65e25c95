#include "TDropMenu.h"

TDropMenu::TDropMenu(QWidget* parent) : QMenu(parent) {
    setObjectName("PopupMenuDrop");
    mnuCopy = addAction(QStringLiteral("Copy Here"));
    mnuCopy->setObjectName("mnuCopy");
    mnuMove = addAction(QStringLiteral("Move Here"));
    mnuMove->setObjectName("mnuMove");
    addSeparator();
    mnuCancel = addAction(QStringLiteral("Cancel"));
}

std::optional<TTransferMode> TDropMenu::Choose(TTransferMode defaultMode, const QPoint& globalPos) {
    // QMenu draws its default action bold.
    setDefaultAction(defaultMode == TTransferMode::Move ? mnuMove : mnuCopy);
    QAction* chosen = Runner ? Runner(*this, globalPos) : exec(globalPos);
    if (chosen == mnuCopy)
        return TTransferMode::Copy;
    if (chosen == mnuMove)
        return TTransferMode::Move;
    return std::nullopt;
}
