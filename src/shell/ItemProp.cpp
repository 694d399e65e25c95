#include "ItemProp.h"

#include "TDesktopLauncher.h"
#include "TFileClipboard.h"
#include "TFileOperationUi.h"
#include "TFileOperations.h"
#include "TFrmProperties.h"
#include "TMessages.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

#include <fnmatch.h>

namespace ItemProp {

namespace {

bool Exists(const QByteArray& path) {
    TFileStatus status;
    return TFileSystemCalls::Native().Status(path, status) == 0;
}

// The existing items of the list form, in the order of the names.
QList<QByteArray> ListItems(const QByteArray& folderPath, const QList<QByteArray>& names) {
    QList<QByteArray> paths;
    for (const QByteArray& name : names) {
        if (name.isEmpty())
            continue;
        const QByteArray path = TFileOperations::Join(folderPath, name);
        if (Exists(path))
            paths.append(path);
    }
    return paths;
}

// The existing items of the path form; a name part with wildcards matches every entry.
QList<QByteArray> PathItems(const QByteArray& fileName) {
    const QByteArray name = TFileOperations::FileName(fileName);
    if (!name.contains('*') && !name.contains('?'))
        return Exists(fileName) ? QList<QByteArray>{TFileOperations::Clean(fileName)}
                                : QList<QByteArray>{};
    const QByteArray folder = TFileOperations::FolderOf(fileName);
    QList<QByteArray> entries;
    TFileSystemCalls::Native().ReadDir(folder, entries);
    std::sort(entries.begin(), entries.end());
    QList<QByteArray> matches;
    for (const QByteArray& entry : entries)
        if (::fnmatch(name.constData(), entry.constData(), FNM_PERIOD) == 0)
            matches.append(entry);
    return ListItems(folder, matches);
}

bool Open(const QList<QByteArray>& paths, QWidget* owner, const TRunners& runners) {
    bool ok = !paths.isEmpty();
    for (const QByteArray& path : paths) {
        if (runners.Opener) {
            ok = runners.Opener(path) && ok;
            continue;
        }
        QString reason;
        if (!TDesktopLauncher::Open(path, reason)) {
            // Once for the whole selection: the next item would fail for the same reason.
            Messages().Error(QStringLiteral("No application could be started for \"%1\": %2.")
                                 .arg(QFile::decodeName(TFileOperations::FileName(path)), reason),
                             owner);
            return false;
        }
    }
    return ok;
}

bool ToClipboard(const QList<QByteArray>& paths, bool cut) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (paths.isEmpty() || !clipboard)
        return false;
    clipboard->setMimeData(TFileClipboard::MimeData(paths, cut).release());
    return true;
}

bool Properties(const QList<QByteArray>& paths, QWidget* owner, const TRunners& runners) {
    if (paths.size() != 1)
        return false;
    TFrmProperties dialog(paths.front(), owner);
    if (runners.DialogRunner)
        runners.DialogRunner(dialog);
    else
        dialog.exec();
    return true;
}

bool Delete(const QList<QByteArray>& paths, QWidget* owner) {
    return TFileOperationUi(owner).DeleteToTrash(paths).Ok();
}

bool Verb(const QString& verb, const QList<QByteArray>& paths, QWidget* owner,
          const TRunners& runners) {
    if (paths.isEmpty())
        return false;
    if (verb == QLatin1String("open"))
        return Open(paths, owner, runners);
    if (verb == QLatin1String("copy") || verb == QLatin1String("cut"))
        return ToClipboard(paths, verb == QLatin1String("cut"));
    if (verb == QLatin1String("delete"))
        return Delete(paths, owner);
    if (verb == QLatin1String("properties"))
        return Properties(paths, owner, runners);
    return false;
}

bool ContextMenu(const QList<QByteArray>& paths, QWidget* owner, const QPoint& globalPos,
                 bool allowRename, bool* renameChosen, bool* cutChosen, const TRunners& runners,
                 const QList<QAction*>& extraActions = {}) {
    if (renameChosen)
        *renameChosen = false;
    if (cutChosen)
        *cutChosen = false;
    if (paths.isEmpty())
        return false;
    const bool single = paths.size() == 1;
    QMenu menu(owner);
    QAction* open = menu.addAction(QStringLiteral("&Open"));
    menu.setDefaultAction(open);
    menu.addSeparator();
    QAction* cut = menu.addAction(QStringLiteral("Cu&t"));
    QAction* copy = menu.addAction(QStringLiteral("&Copy"));
    menu.addSeparator();
    QAction* remove = menu.addAction(QStringLiteral("&Delete"));
    QAction* rename = allowRename && single ? menu.addAction(QStringLiteral("Rena&me")) : nullptr;
    menu.addSeparator();
    QAction* properties = single ? menu.addAction(QStringLiteral("P&roperties")) : nullptr;
    menu.addSeparator();
    menu.addActions(extraActions);
    CollapseSeparators(menu);

    QAction* chosen =
        runners.MenuRunner ? runners.MenuRunner(menu, globalPos) : menu.exec(globalPos);
    if (!chosen)
        return true;
    if (chosen == rename) {
        if (renameChosen)
            *renameChosen = true;
        return true;
    }
    if (chosen == cut) {
        if (cutChosen)
            *cutChosen = true;
        return ToClipboard(paths, true);
    }
    if (chosen == copy)
        return ToClipboard(paths, false);
    if (chosen == open)
        return Open(paths, owner, runners);
    if (chosen == remove)
        return Delete(paths, owner);
    if (chosen == properties)
        return Properties(paths, owner, runners);
    return true;
}

} // namespace

void CollapseSeparators(QMenu& menu) {
    QAction* previous = nullptr;
    bool previousIsSeparator = true; // a leading separator goes as well
    for (QAction* action : menu.actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator() && action->text().isEmpty() && previousIsSeparator) {
            menu.removeAction(action);
            delete action;
            continue;
        }
        previousIsSeparator = action->isSeparator();
        previous = action;
    }
    if (previous && previous->isSeparator() && previous->text().isEmpty()) {
        menu.removeAction(previous);
        delete previous;
    }
}

bool DisplayContextMenu(const QByteArray& fileName, QWidget* owner, const QPoint& globalPos,
                        bool allowRename, bool* renameChosen, bool* cutChosen,
                        const TRunners& runners) {
    return ContextMenu(PathItems(fileName), owner, globalPos, allowRename, renameChosen, cutChosen,
                       runners);
}

bool DisplayContextMenu(const QByteArray& folderPath, const QList<QByteArray>& names,
                        QWidget* owner, const QPoint& globalPos, bool allowRename,
                        bool* renameChosen, bool* cutChosen, const TRunners& runners,
                        const QList<QAction*>& extraActions) {
    return ContextMenu(ListItems(folderPath, names), owner, globalPos, allowRename, renameChosen,
                       cutChosen, runners, extraActions);
}

bool DisplayPropertiesDialog(const QByteArray& fileName, QWidget* owner, const TRunners& runners) {
    return Properties(PathItems(fileName), owner, runners);
}

bool DisplayPropertiesDialog(const QByteArray& folderPath, const QList<QByteArray>& names,
                             QWidget* owner, const TRunners& runners) {
    return Properties(ListItems(folderPath, names), owner, runners);
}

bool PerformDefaultAction(const QByteArray& fileName, QWidget* owner, const TRunners& runners) {
    return Open(PathItems(fileName), owner, runners);
}

bool PerformDefaultAction(const QByteArray& folderPath, const QList<QByteArray>& names,
                          QWidget* owner, const TRunners& runners) {
    return Open(ListItems(folderPath, names), owner, runners);
}

bool PerformVerb(const QString& verb, const QByteArray& fileName, QWidget* owner,
                 const TRunners& runners) {
    return Verb(verb, PathItems(fileName), owner, runners);
}

bool PerformVerb(const QString& verb, const QByteArray& folderPath, const QList<QByteArray>& names,
                 QWidget* owner, const TRunners& runners) {
    return Verb(verb, ListItems(folderPath, names), owner, runners);
}

} // namespace ItemProp
