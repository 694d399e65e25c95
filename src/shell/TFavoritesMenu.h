#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QToolButton;
class QWidget;
class TProfileFile;
class TRegistryStore;

// The favorites drop-down of the browser's toolbar (PopupMenuFavorites on btnFavorites): the
// fixed commands, then the broadcast system's audio folders, then the user's favorites. The
// menu is the live copy of the favorites; the settings file gets them when the edit dialog is
// confirmed and at shutdown (SaveFavorites). Captions are the folders' paths exactly: an "&"
// in a path is shown as itself, never as an accelerator mark.
class TFavoritesMenu : public QObject {
    Q_OBJECT

public:
    // The kind of an entry (kept with the action).
    enum TKind : int { fkCommand = 0, fkFavorite = 1, fkAudioFolder = 2 };

    explicit TFavoritesMenu(QWidget* parent);

    // The button's face adds the current folder; its arrow opens the menu.
    void AttachTo(QToolButton* btnFavorites);
    // Start-up: the audio folders, then the section's favorites (neither compared).
    void Load(const TRegistryStore& registry, const TProfileFile& settings);
    // Shutdown: the section rewritten with the favorites in menu order.
    bool SaveFavorites(TProfileFile& settings) const;

    // Captions of the entries of one kind, in menu order.
    QStringList Captions(TKind kind) const;
    static QString CaptionOf(const QAction* action);
    static int KindOf(const QAction* action);

    void ActionAddToFavorites_OnExecute();
    void ActionEditFavorites_OnExecute();
    void FavoriteItem_OnClick();

    // What the menu needs of the folder list and the window.
    std::function<bool()> IsFileSystemFolder;
    std::function<QString()> FolderParsingName;
    std::function<void(const QString&)> BrowseToPath;
    QWidget* ListControl = nullptr; // the edit dialog is centred on it
    TProfileFile* Settings = nullptr;

    QMenu* PopupMenuFavorites;
    QAction* ActionAddToFavorites;
    QAction* ActionEditFavorites;
    QAction* mnuCancel;

private:
    QAction* AddEntry(const QString& caption, TKind kind);

    QWidget* Owner;
};
