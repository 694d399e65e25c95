#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

// The item menu of the folder list and its commands, our own provider of what a desktop
// shell offers for items: Open (the desktop's default application), Cut, Copy, Delete (to
// the Trash), Rename and Properties. Items are addressed in the path form (one full name,
// whose name part may hold "*" and "?") or the list form (a folder and names in it); names
// that do not exist are left out, and with none left an operation returns false.
//
// Every operation returns true on success. A menu dismissed without a choice is a success
// with both flags clear. Choosing Rename runs nothing: the caller edits the name itself.
// Choosing Cut places the items on the clipboard to be moved and sets cut-chosen, so the
// caller can fade them.
namespace ItemProp {

// How an owner's operations open items, run the item menu and show the properties dialog. The
// opener opens one item with the desktop's default application (empty: the desktop's launcher);
// the menu runner shows the menu and returns the chosen action (empty: QMenu::exec); the dialog
// runner shows the dialog (empty: exec). Tests give their own.
using TOpener = std::function<bool(const QByteArray& path)>;
using TMenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
using TDialogRunner = std::function<void(QWidget& dialog)>;
struct TRunners {
    TOpener Opener;
    TMenuRunner MenuRunner;
    TDialogRunner DialogRunner;
};

bool DisplayContextMenu(const QByteArray& fileName, QWidget* owner, const QPoint& globalPos,
                        bool allowRename, bool* renameChosen, bool* cutChosen = nullptr,
                        const TRunners& runners = {});
// `extraActions` (the program's own commands on the items) follow the shell's; the menu
// triggers the one chosen.
bool DisplayContextMenu(const QByteArray& folderPath, const QList<QByteArray>& names,
                        QWidget* owner, const QPoint& globalPos, bool allowRename,
                        bool* renameChosen, bool* cutChosen = nullptr, const TRunners& runners = {},
                        const QList<QAction*>& extraActions = {});

// The properties dialog of a single item (false for none or several).
bool DisplayPropertiesDialog(const QByteArray& fileName, QWidget* owner,
                             const TRunners& runners = {});
bool DisplayPropertiesDialog(const QByteArray& folderPath, const QList<QByteArray>& names,
                             QWidget* owner, const TRunners& runners = {});

// What a double click does: open with the desktop's default application.
bool PerformDefaultAction(const QByteArray& fileName, QWidget* owner, const TRunners& runners = {});
bool PerformDefaultAction(const QByteArray& folderPath, const QList<QByteArray>& names,
                          QWidget* owner, const TRunners& runners = {});

// "open", "copy", "cut", "delete" or "properties".
bool PerformVerb(const QString& verb, const QByteArray& fileName, QWidget* owner,
                 const TRunners& runners = {});
bool PerformVerb(const QString& verb, const QByteArray& folderPath, const QList<QByteArray>& names,
                 QWidget* owner, const TRunners& runners = {});

// Removes every separator that follows another one (or starts or ends the menu).
void CollapseSeparators(QMenu& menu);

} // namespace ItemProp
