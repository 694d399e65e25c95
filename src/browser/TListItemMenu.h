#pragma once

#include "ItemProp.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPoint>

#include <functional>

class TListClipboard;
class TListDragDrop;
class TListRename;
class TXListView;

// The list's item menu (a right click over selected rows), its default action (Enter or a
// double click opens a file with the desktop's application) and Delete to the Trash after one
// question. The menu's Cut fades the items, its Rename edits the name in place, and rows of
// items its Delete removed leave the selection.
class TListItemMenu : public QObject {
    Q_OBJECT

public:
    // Told the items the menu or Delete touched, to announce what went and re-read the folder.
    using TAfterChange = std::function<void(const QList<QByteArray>& touched)>;
    TListItemMenu(TXListView& list, TListClipboard& clipboard, TListRename& rename,
                  const TListDragDrop& dragDrop, TAfterChange afterChange,
                  QObject* parent = nullptr);

    void DeleteSelection();

    // Tests replace how this list opens an item and runs its item menu (defaults: the
    // desktop's launcher, QMenu::exec).
    void SetOpener(ItemProp::TOpener opener) { Runners.Opener = std::move(opener); }
    void SetMenuRunner(ItemProp::TMenuRunner runner) { Runners.MenuRunner = std::move(runner); }
    // The program's own commands on the selected rows, at the end of the menu (not owned).
    void SetExtraActions(const QList<QAction*>& actions) { ExtraActions = actions; }

private:
    TXListView& List;
    TListClipboard& Clipboard;
    TListRename& Rename;
    const TListDragDrop& DragDrop;
    TAfterChange AfterChange;
    ItemProp::TRunners Runners;
    QList<QAction*> ExtraActions;

    void ShowContextMenu(const QPoint& globalPos, const QList<int>& rows);
};
