// The real main window in browser mode, offscreen, driven as a user would: header clicks sort,
// Ctrl+F and F3 find, Select Columns writes its choice, the favorites menu shows the audio
// folders and the saved favorites and keeps what was added, and the editor lets go of a file the
// list deleted and follows one it renamed.
#include "Find.h"
#include "MainBrowserFixture.h"
#include "Selectcolumns.h"
#include "TAudioLibs.h"
#include "TBrowserPanel.h"
#include "TFavorites.h"
#include "TFavoritesMenu.h"
#include "TListSorter.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TRegistryStore.h"
#include "TScriptedMessages.h"
#include "TSortHeaderView.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

namespace fs = std::filesystem;

// Acts on the modal dialog of type T once it runs.
template <typename T> void WhenModal(std::function<void(T*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

class MainBrowserActionsTest : public TMainBrowserFixture {
protected:
    MainBrowserActionsTest() : TMainBrowserFixture("b.mp3") {}

    void SetUp() override {
        TMainBrowserFixture::SetUp();
        WriteIni("[Main]\nFolder=" + Path("") + "\n[Columns]\n4=Title\n");
    }

    QByteArray Path(const char* name) const {
        return QByteArray::fromStdString(*name ? File(name) : Audio.string());
    }
    // The files' names in row order (the folder left out).
    static QStringList FileOrder(TXListView& list) {
        QStringList names;
        for (int row = 0; row < list.ListModel().Count(); ++row)
            if (!list.ListModel().Entry(row).IsFolder)
                names.append(list.ListModel().Entry(row).DisplayName);
        return names;
    }
    static void ClickHeader(TXListView& list, int column) {
        QHeaderView* header = list.header();
        const QPoint centre(header->sectionViewportPosition(column) +
                                header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }
};

TEST_F(MainBrowserActionsTest, HeaderClicksSortAndRefreshReturnsToName) {
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    ASSERT_EQ(w->Browser->SortHeader, list.header());
    EXPECT_EQ(FileOrder(list), (QStringList{"a.wav", "b.mp3", "c.wav", "notes.txt"}));

    // The expected order by size from the file system itself.
    QStringList bySize = {"a.wav", "b.mp3", "c.wav", "notes.txt"};
    std::sort(bySize.begin(), bySize.end(), [this](const QString& x, const QString& y) {
        return fs::file_size(Audio / x.toStdString()) < fs::file_size(Audio / y.toStdString());
    });
    ASSERT_NE(bySize, FileOrder(list)); // the fixtures make the click visible

    ClickHeader(list, 1); // Size
    EXPECT_EQ(w->Browser->Sorter->SortColumn(), 1);
    EXPECT_EQ(FileOrder(list), bySize);
    ClickHeader(list, 1); // again: the other way
    std::reverse(bySize.begin(), bySize.end());
    EXPECT_EQ(FileOrder(list), bySize);

    list.setFocus();
    Press(Qt::Key_F5);
    EXPECT_EQ(w->Browser->Sorter->SortColumn(), 0);
    EXPECT_TRUE(w->Browser->Sorter->SortAscending());
    EXPECT_EQ(FileOrder(list), (QStringList{"a.wav", "b.mp3", "c.wav", "notes.txt"}));
    EXPECT_EQ(list.SelectedCount(), 0);
}

TEST_F(MainBrowserActionsTest, FindSelectsARowAndF3GoesOn) {
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    EXPECT_FALSE(w->Browser->ActionFindNext->isEnabled());
    WhenModal<TFrmFind>([](TFrmFind* d) {
        EXPECT_EQ(d->cboColumn->count(), 2); // "File Name" and Title
        d->edtFind->setText(QStringLiteral(".WAV"));
        d->btnOk->click();
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(SelectedPath(list), Path("a.wav"));
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav")); // the editor follows
    ASSERT_TRUE(w->Browser->ActionFindNext->isEnabled());

    // The offscreen platform has no window manager to give the window back its activation
    // when the dialog goes: done here. The list kept the focus.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_EQ(QApplication::focusWidget(), &list);
    Press(Qt::Key_F3);
    EXPECT_EQ(SelectedPath(list), Path("c.wav"));

    // Nothing found: the message, and Find Next off.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    WhenModal<TFrmFind>([](TFrmFind* d) {
        d->edtFind->setText(QStringLiteral("no such row"));
        d->btnOk->click();
    });
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Messages.Texts(), (QStringList{"Search text 'no such row' not found"}));
    EXPECT_FALSE(w->Browser->ActionFindNext->isEnabled());
}

TEST_F(MainBrowserActionsTest, SelectColumnsWritesTheChoice) {
    auto w = OpenBrowser();
    WhenModal<TFrmSelectColumns>([](TFrmSelectColumns* d) {
        EXPECT_EQ(d->lblNumSelected->text(), QStringLiteral("1 Selected"));
        d->lstColumns->item(2)->setCheckState(Qt::Checked); // Artist
        d->btnOk->click();
    });
    w->Browser->ActionSelectColumns->trigger();
    const auto columns = w->Browser->ListView->Columns();
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[3].Number, 3);
    EXPECT_EQ(columns[4].Number, 4);
    TProfileFile ini(IniPath());
    EXPECT_EQ(ini.ReadSectionKeys("Columns"), (QStringList{"3", "4"}));
    EXPECT_EQ(ini.ReadString("Columns", "3", {}), QStringLiteral("Artist"));

    // Cancel leaves the section alone.
    WhenModal<TFrmSelectColumns>([](TFrmSelectColumns* d) {
        d->lstColumns->item(0)->setCheckState(Qt::Checked);
        d->btnCancel->click();
    });
    w->Browser->ActionSelectColumns->trigger();
    EXPECT_EQ(TProfileFile(IniPath()).ReadSectionKeys("Columns"), (QStringList{"3", "4"}));
}

TEST_F(MainBrowserActionsTest, FavoritesMenuLoadsNavigatesAndIsSavedAtTheEnd) {
    TRegistryStore registry;
    ASSERT_TRUE(registry.WriteString(TFavorites::AudioPathsKey, "AudioPath0",
                                     QString::fromUtf8(Path("sub"))));
    const QString saved = QString::fromStdString(Dir.File("Rock & Roll"));
    WriteIni("[Main]\nFolder=" + Path("") + "\n[Favorites]\n5=" + saved.toUtf8() + "\n");
    {
        auto w = OpenBrowser();
        TFavoritesMenu& menu = *w->Browser->Favorites;
        QToolButton* button = w->Browser->btnFavorites;
        EXPECT_EQ(button->menu(), menu.PopupMenuFavorites);
        // The face keeps the toolbar's image and hint.
        EXPECT_EQ(button->defaultAction(), w->Browser->ActionAddToFavorites);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->toolTip(), QStringLiteral("Add current folder to favorites"));
        EXPECT_EQ(menu.Captions(TFavoritesMenu::fkAudioFolder),
                  QStringList{QString::fromUtf8(Path("sub"))});
        EXPECT_EQ(menu.Captions(TFavoritesMenu::fkFavorite), QStringList{saved});

        // Choosing the audio folder goes there; the face adds it (an exact duplicate is not
        // added twice, so the current folder is added after going back up).
        const QList<QAction*> entries = menu.PopupMenuFavorites->actions();
        entries[4]->trigger();
        EXPECT_EQ(w->Browser->ListView->FolderPath(), Path("sub"));
        w->Browser->ActionUp->trigger();
        ASSERT_EQ(w->Browser->ListView->FolderPath(), Path(""));
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(4, button->height() / 2));
        EXPECT_EQ(menu.Captions(TFavoritesMenu::fkFavorite),
                  (QStringList{saved, QString::fromUtf8(Path(""))}));
        // Nothing is written until the end.
        EXPECT_EQ(TProfileFile(IniPath()).ReadSectionKeys("Favorites"), QStringList{"5"});
    }
    TProfileFile ini(IniPath());
    EXPECT_EQ(ini.ReadSectionKeys("Favorites"), (QStringList{"0", "1"}));
    EXPECT_EQ(ini.ReadString("Favorites", "0", {}), saved);
    EXPECT_EQ(ini.ReadString("Favorites", "1", {}), QString::fromUtf8(Path("")));
    EXPECT_EQ(ini.ReadString("Main", "Folder", {}), QString::fromUtf8(Path("")));
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(MainBrowserActionsTest, SingleFileModeLeavesTheFavoritesAlone) {
    WriteIni("[Favorites]\n7=/x\n");
    {
        TFrmMain w(QList<QByteArray>{Path("a.wav")});
        EXPECT_EQ(w.Browser, nullptr);
    }
    TProfileFile ini(IniPath());
    EXPECT_EQ(ini.ReadSectionKeys("Favorites"), QStringList{"7"});
}

TEST_F(MainBrowserActionsTest, DeletingTheEditorsFileClearsTheEditor) {
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    Messages.QueueAnswer(TMessages::mbYes); // the Trash question
    Press(Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(File("a.wav")));
    EXPECT_TRUE(w->Document.CurrentFile.IsEmpty());
    EXPECT_EQ(RowOf(list, Path("a.wav")), -1);
    EXPECT_EQ(Messages.Records().size(), 1);
}

TEST_F(MainBrowserActionsTest, RenamingTheEditorsFileKeepsTheEditsForTheNewName) {
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, "Renamed Spot");
    ASSERT_TRUE(w->Document.Modified);

    list.setFocus();
    Press(Qt::Key_F2);
    auto* name = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(name, nullptr);
    name->setText(QStringLiteral("spot.wav"));
    Press(Qt::Key_Return);
    ASSERT_TRUE(fs::exists(File("spot.wav")));
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("spot.wav"));
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_TRUE(w->Save());
    EXPECT_FALSE(fs::exists(File("a.wav")));

    // Read back with the tagging library, not through the editor.
    ASSERT_EQ(AudioLibs().OpenWavFile(File("spot.wav").c_str(), 0, 0), 0);
    char title[64] = {};
    AudioLibs().GetChunkInfo("DISP", title, int32_t(sizeof title));
    AudioLibs().CloseWavFile();
    EXPECT_STREQ(title, "Renamed Spot");
    EXPECT_TRUE(Messages.Records().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
