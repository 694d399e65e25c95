#include "OnNextModal.h"
#include "TFavorites.h"
#include "TFavoritesMenu.h"
#include "TFrmEditFavorites.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TScriptedMessages.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <fstream>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FavoritesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Registry.WriteString(TFavorites::AudioPathsKey, "AudioPath0", "/srv/audio/spots");
        Registry.WriteString(TFavorites::AudioPathsKey, "AudioPath1", "/srv/audio/R&B");
        Registry.WriteString(TFavorites::AudioPathsKey, "AudioPath3", "/srv/after/a/gap");
        std::ofstream(Dir.File("Cuemark.ini"))
            << "[Other]\nx=1\n[Favorites]\n7=/home/me/b\n3=/home/me/a\n";
        Menu.Load(Registry, Settings);
        Menu.Settings = &Settings;
        Menu.IsFileSystemFolder = [this] { return FileSystem; };
        Menu.FolderParsingName = [this] { return Current; };
        Menu.BrowseToPath = [this](const QString& path) { Browsed.append(path); };
    }

    QStringList Shown() const {
        QStringList texts;
        for (const QAction* a : Menu.PopupMenuFavorites->actions())
            texts.append(a->isSeparator() ? "-" : a->text());
        return texts;
    }

    TTempDir Dir;
    TRegistryStore Registry{QString::fromStdString(Dir.File("registry.reg"))};
    TProfileFile Settings{QString::fromStdString(Dir.File("Cuemark.ini"))};
    QWidget Window;
    TFavoritesMenu Menu{&Window};
    TScriptedMessages Boxes;
    bool FileSystem = true;
    QString Current;
    QStringList Browsed;
};

TEST_F(FavoritesTest, MenuOrderAndCaptionsKeptExactly) {
    EXPECT_EQ(Shown(),
              QStringList({"Add current folder to favorites", "Edit favorites", "Cancel - Esc", "-",
                           "/srv/audio/spots", "/srv/audio/R&&B", "/home/me/b", "/home/me/a"}));
    EXPECT_EQ(Menu.Captions(TFavoritesMenu::fkAudioFolder),
              QStringList({"/srv/audio/spots", "/srv/audio/R&B"}));
    // Choosing an entry browses to its caption, "&" and all.
    Menu.PopupMenuFavorites->actions()[5]->trigger();
    EXPECT_EQ(Browsed, QStringList{"/srv/audio/R&B"});

    QToolButton button;
    Menu.AttachTo(&button);
    EXPECT_EQ(button.menu(), Menu.PopupMenuFavorites);
    EXPECT_EQ(button.defaultAction(), Menu.ActionAddToFavorites);
}

TEST_F(FavoritesTest, AddRefusesVirtualFoldersAndExactDuplicates) {
    FileSystem = false;
    Current = "::Computer";
    Menu.ActionAddToFavorites->trigger();
    EXPECT_EQ(Boxes.Texts(TScriptedMessages::TKind::Error),
              QStringList{"Cannot add non-filesystem folders to favorites"});

    FileSystem = true;
    for (const char* folder :
         {"/srv/audio/R&B", "/home/me/a", "/home/me/new", "/home/me/new", "/home/me/NEW"}) {
        Current = folder;
        Menu.ActionAddToFavorites_OnExecute();
    }
    EXPECT_EQ(Menu.Captions(TFavoritesMenu::fkFavorite),
              QStringList({"/home/me/b", "/home/me/a", "/home/me/new", "/home/me/NEW"}));
    EXPECT_EQ(Boxes.Texts().size(), 1);

    // Shutdown renumbers the section from "0" in menu order.
    ASSERT_TRUE(Menu.SaveFavorites(Settings));
    EXPECT_EQ(ReadFile(Dir.File("Cuemark.ini")),
              "[Other]\nx=1\n[Favorites]\n0=/home/me/b\n1=/home/me/a\n2=/home/me/new\n"
              "3=/home/me/NEW\n");
}

TEST_F(FavoritesTest, EditDialogRemovesAndRewritesTheSectionOnOkOnly) {
    OnNextModal([](QWidget* modal) {
        auto* d = qobject_cast<TFrmEditFavorites*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), "Edit Favorites");
        EXPECT_EQ(d->size(), QSize(350, 200));
        EXPECT_FALSE(d->btnRemove->isEnabled());
        d->lstPaths->setCurrentRow(0);
        EXPECT_TRUE(d->btnRemove->isEnabled());
        d->btnRemove->click();
        d->btnCancel->click();
    });
    Menu.ActionEditFavorites->trigger();
    EXPECT_EQ(Menu.Captions(TFavoritesMenu::fkFavorite), QStringList({"/home/me/b", "/home/me/a"}));
    EXPECT_EQ(ReadFile(Dir.File("Cuemark.ini")),
              "[Other]\nx=1\n[Favorites]\n7=/home/me/b\n3=/home/me/a\n");

    OnNextModal([](QWidget* modal) {
        auto* d = qobject_cast<TFrmEditFavorites*>(modal);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Paths(), QStringList({"/home/me/b", "/home/me/a"}));
        d->lstPaths->setCurrentRow(0);
        d->btnRemove->click();
        d->btnOk->click();
    });
    Menu.ActionEditFavorites_OnExecute();
    EXPECT_EQ(Menu.Captions(TFavoritesMenu::fkFavorite), QStringList{"/home/me/a"});
    EXPECT_EQ(Shown().mid(4), QStringList({"/srv/audio/spots", "/srv/audio/R&&B", "/home/me/a"}));
    EXPECT_EQ(ReadFile(Dir.File("Cuemark.ini")), "[Other]\nx=1\n[Favorites]\n0=/home/me/a\n");
}

TEST(FavoritesStoreTest, AudioFoldersStopAtTheFirstGapAndAMissingKeyGivesNone) {
    TTempDir dir;
    TRegistryStore registry(QString::fromStdString(dir.File("registry.reg")));
    EXPECT_TRUE(TFavorites::ReadAudioFolders(registry).isEmpty());
    registry.WriteString(TFavorites::AudioPathsKey, "AudioPath0", "/a");
    registry.WriteString(TFavorites::AudioPathsKey, "AudioPath1", "");
    registry.WriteString(TFavorites::AudioPathsKey, "AudioPath2", "/c");
    EXPECT_EQ(TFavorites::ReadAudioFolders(registry), QStringList{"/a"});
    TProfileFile settings(QString::fromStdString(dir.File("none.ini")));
    EXPECT_TRUE(TFavorites::ReadFavorites(settings).isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
