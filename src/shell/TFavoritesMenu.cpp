#include "TFavoritesMenu.h"

#include "PlaceWindow.h"
#include "TFavorites.h"
#include "TFrmEditFavorites.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <QVariant>

namespace {

constexpr const char* KindProperty = "FavoriteKind";

} // namespace

TFavoritesMenu::TFavoritesMenu(QWidget* parent) : QObject(parent), Owner(parent) {
    PopupMenuFavorites = new QMenu(parent);
    PopupMenuFavorites->setObjectName("PopupMenuFavorites");
    ActionAddToFavorites = new QAction(QStringLiteral("Add current folder to favorites"), this);
    ActionAddToFavorites->setObjectName("ActionAddToFavorites");
    ActionEditFavorites = new QAction(QStringLiteral("Edit favorites"), this);
    ActionEditFavorites->setObjectName("ActionEditFavorites");
    mnuCancel = new QAction(QStringLiteral("Cancel - Esc"), this);
    for (QAction* action : {ActionAddToFavorites, ActionEditFavorites, mnuCancel}) {
        action->setProperty(KindProperty, int(fkCommand));
        PopupMenuFavorites->addAction(action);
    }
    PopupMenuFavorites->addSeparator()->setProperty(KindProperty, int(fkCommand));

    connect(ActionAddToFavorites, &QAction::triggered, this,
            &TFavoritesMenu::ActionAddToFavorites_OnExecute);
    connect(ActionEditFavorites, &QAction::triggered, this,
            &TFavoritesMenu::ActionEditFavorites_OnExecute);
}

void TFavoritesMenu::AttachTo(QToolButton* btnFavorites) {
    btnFavorites->setObjectName("btnFavorites");
    btnFavorites->setMenu(PopupMenuFavorites);
    btnFavorites->setPopupMode(QToolButton::MenuButtonPopup);
    btnFavorites->setDefaultAction(ActionAddToFavorites);
}

QString TFavoritesMenu::CaptionOf(const QAction* action) {
    const QVariant caption = action->data();
    return caption.isValid() ? caption.toString() : action->text();
}

int TFavoritesMenu::KindOf(const QAction* action) {
    return action->property(KindProperty).toInt();
}

QAction* TFavoritesMenu::AddEntry(const QString& caption, TKind kind) {
    // The shown text doubles "&" so the path is drawn as it is; the caption itself is kept.
    QString shown = caption;
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    auto* action = new QAction(shown, PopupMenuFavorites);
    action->setData(caption);
    action->setProperty(KindProperty, int(kind));
    PopupMenuFavorites->addAction(action);
    connect(action, &QAction::triggered, this, &TFavoritesMenu::FavoriteItem_OnClick);
    return action;
}

QStringList TFavoritesMenu::Captions(TKind kind) const {
    QStringList captions;
    for (const QAction* action : PopupMenuFavorites->actions())
        if (KindOf(action) == kind && !action->isSeparator())
            captions.append(CaptionOf(action));
    return captions;
}

void TFavoritesMenu::Load(const TRegistryStore& registry, const TProfileFile& settings) {
    for (const QString& path : TFavorites::ReadAudioFolders(registry))
        AddEntry(path, fkAudioFolder);
    for (const QString& path : TFavorites::ReadFavorites(settings))
        AddEntry(path, fkFavorite);
}

bool TFavoritesMenu::SaveFavorites(TProfileFile& settings) const {
    return TFavorites::WriteFavorites(settings, Captions(fkFavorite));
}

void TFavoritesMenu::FavoriteItem_OnClick() {
    const auto* action = qobject_cast<const QAction*>(sender());
    if (action && BrowseToPath)
        BrowseToPath(CaptionOf(action));
}

void TFavoritesMenu::ActionAddToFavorites_OnExecute() {
    if (!IsFileSystemFolder || !IsFileSystemFolder()) {
        Messages().Error(QStringLiteral("Cannot add non-filesystem folders to favorites"), Owner);
        return;
    }
    const QString folder = FolderParsingName ? FolderParsingName() : QString();
    if (folder.isEmpty())
        return;
    // Exact comparison over every entry, of whatever kind.
    for (const QAction* action : PopupMenuFavorites->actions())
        if (!action->isSeparator() && CaptionOf(action) == folder)
            return;
    AddEntry(folder, fkFavorite);
}

void TFavoritesMenu::ActionEditFavorites_OnExecute() {
    TFrmEditFavorites dialog(Owner);
    if (ListControl)
        PlaceWindow(&dialog, ListControl, pmWhole);
    dialog.SetPaths(Captions(fkFavorite));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<QAction*> actions = PopupMenuFavorites->actions();
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
        if (KindOf(*it) == fkFavorite && !(*it)->isSeparator()) {
            PopupMenuFavorites->removeAction(*it);
            delete *it;
        }
    }
    const QStringList paths = dialog.Paths();
    if (Settings)
        TFavorites::WriteFavorites(*Settings, paths);
    for (const QString& path : paths)
        AddEntry(path, fkFavorite);
}
