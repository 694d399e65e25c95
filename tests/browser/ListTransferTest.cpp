// The folder list as a file manager, offscreen on temporary trees: the clipboard in the desktop
// file managers' formats (written and read by hand here), Paste, Delete to the Trash, Escape,
// renaming in place, drops, the drag rule and the item menu.
#include "TDropMenu.h"
#include "TListDelegate.h"
#include "TListDragDrop.h"
#include "TListItemMenu.h"
#include "TListRoles.h"
#include "TListTransfer.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"
#include "TShellNamespace.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using TKind = TScriptedMessages::TKind;

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

QByteArray Uri(const fs::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string())).toEncoded();
}

QClipboard& Clipboard() {
    return *QGuiApplication::clipboard();
}

// Local files named by a "file:" URI list, decoded independently of the code under test.
QStringList UriFiles(const QByteArray& lines) {
    QStringList files;
    for (const QByteArray& line : lines.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.startsWith("file:"))
            files << QUrl::fromEncoded(uri).toLocalFile();
    }
    return files;
}

class ListTransfer : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TScriptedAudioLibs Libs;
    TScriptedMessages Messages;
    TXListView List;
    TListTransfer Transfer{List};
    qint64 Clock = 1000;
    QList<QByteArray> Opened;

    fs::path Src() const { return Dir.Path() / "src"; }
    fs::path Dst() const { return Dir.Path() / "dst"; }

    void SetUp() override {
        Home.BecomeHome();
        fs::create_directories(Src());
        fs::create_directories(Dst());
        Write(Src() / "a.wav", "A");
        Write(Src() / "b.wav", "B");
        Write(Src() / "c.wav", "C");
        Write(Dst() / "a.wav", "old A in dst");
        List.resize(600, 300);
        // As in the browser: the row delegate provides the name editor.
        List.setItemDelegate(new TListDelegate(&List));
        List.show();
        QApplication::setActiveWindow(&List);
        List.setFocus();
        Clipboard().clear();
        Transfer.DragDrop().SetClock([this] { return Clock; });
        Transfer.ItemMenu().SetOpener([this](const QByteArray& path) {
            Opened << path;
            return true;
        });
    }
    void TearDown() override { Clipboard().clear(); }

    void Browse(const fs::path& folder) {
        List.BrowseToPath(QByteArray::fromStdString(folder.string()));
    }
    int RowOf(const QString& name) const {
        for (int row = 0; row < List.ListModel().Count(); ++row)
            if (List.ListModel().Entry(row).DisplayName == name)
                return row;
        return -1;
    }
    QStringList Names() const {
        QStringList names;
        for (int row = 0; row < List.ListModel().Count(); ++row)
            names << List.ListModel().Entry(row).DisplayName;
        return names;
    }
    void Select(const QStringList& names) {
        List.selectionModel()->clearSelection();
        for (const QString& name : names)
            List.selectionModel()->select(List.model()->index(RowOf(name), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    bool Faded(const QString& name) const {
        return List.model()->index(RowOf(name), 0).data(FadedIconRole).toBool();
    }
    QPoint RowPoint(const QString& name) const {
        return List.visualRect(List.model()->index(RowOf(name), 0)).center();
    }
    void Mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, List.viewport()->mapToGlobal(pos), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(List.viewport(), &event);
    }
    // A drop of a file list on the list, entering, moving and dropping as a drag does.
    void Drop(QMimeData& data, Qt::MouseButtons buttons) {
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, buttons, Qt::NoModifier);
        QApplication::sendEvent(List.viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, buttons, Qt::NoModifier);
        QApplication::sendEvent(List.viewport(), &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, buttons,
                        Qt::NoModifier);
        QApplication::sendEvent(List.viewport(), &drop);
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction); // the source never deletes anything
        QCoreApplication::processEvents();
    }
};

TEST_F(ListTransfer, CopyAndCutWriteTheFileManagersFormatsAndCutFadesUntilTheClipboardChanges) {
    Browse(Src());
    Select({"a.wav", "c.wav"});
    Transfer.CopySelection();
    const QMimeData* data = Clipboard().mimeData();
    ASSERT_TRUE(data);
    const QStringList expected{QString::fromStdString((Src() / "a.wav").string()),
                               QString::fromStdString((Src() / "c.wav").string())};
    EXPECT_EQ(UriFiles(data->data("text/uri-list")), expected);
    EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("copy\n"));
    EXPECT_EQ(UriFiles(data->data("x-special/gnome-copied-files")), expected);
    EXPECT_FALSE(data->data("application/x-kde-cutselection").startsWith('1'));
    EXPECT_FALSE(Faded("a.wav"));

    Transfer.CutSelection();
    data = Clipboard().mimeData();
    EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("cut\n"));
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "1");
    EXPECT_TRUE(Faded("a.wav"));
    EXPECT_TRUE(Faded("c.wav"));
    EXPECT_FALSE(Faded("b.wav"));

    // Another program puts text on the clipboard: the marks go.
    Clipboard().setText("some text");
    QCoreApplication::processEvents();
    EXPECT_FALSE(Faded("a.wav"));
    EXPECT_FALSE(Faded("c.wav"));
}

TEST_F(ListTransfer, EscapeClearsSelectionClipboardAndCutMarks) {
    Browse(Src());
    Select({"a.wav", "b.wav"});
    Transfer.CutSelection();
    ASSERT_TRUE(Faded("a.wav"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(List.SelectedCount(), 0);
    const QMimeData* data = Clipboard().mimeData();
    EXPECT_TRUE(!data || data->formats().isEmpty());
    EXPECT_FALSE(Faded("a.wav"));
}

TEST_F(ListTransfer, PasteMovesAFileManagersCutAndCopiesACopyOrABareUriList) {
    Browse(Dst());
    // Cut in a file manager: GNOME's format written by hand.
    auto* cut = new QMimeData;
    cut->setData("x-special/gnome-copied-files", "cut\n" + Uri(Src() / "a.wav"));
    Clipboard().setMimeData(cut);
    QSignalSpy gone(&Transfer, &TListTransfer::OnItemsGone);
    Transfer.PasteFiles();
    EXPECT_FALSE(fs::exists(Src() / "a.wav"));
    EXPECT_EQ(Read(Dst() / "a (2).wav"), "A"); // the name was taken: never overwritten
    EXPECT_EQ(Read(Dst() / "a.wav"), "old A in dst");
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(gone.front().front().value<QList<QByteArray>>(),
              QList<QByteArray>{QByteArray::fromStdString((Src() / "a.wav").string())});
    EXPECT_NE(RowOf("a (2).wav"), -1); // the list follows at once
    // The moved files are no longer offered.
    const QMimeData* after = Clipboard().mimeData();
    EXPECT_TRUE(!after || after->formats().isEmpty());

    // A bare URI list (another program's copy) copies, twice.
    auto* bare = new QMimeData;
    bare->setData("text/uri-list", Uri(Src() / "b.wav") + "\r\n");
    Clipboard().setMimeData(bare);
    Transfer.PasteFiles();
    Transfer.PasteFiles();
    EXPECT_EQ(Read(Src() / "b.wav"), "B");
    EXPECT_EQ(Read(Dst() / "b.wav"), "B");
    EXPECT_EQ(Read(Dst() / "b (2).wav"), "B");

    // Text is no file list: Paste does nothing.
    const QStringList before = Names();
    Clipboard().setText(QString::fromStdString((Src() / "c.wav").string()));
    Transfer.PasteFiles();
    EXPECT_EQ(Names(), before);
    EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
}

TEST_F(ListTransfer, DeleteKeyMovesTheSelectionToTheTrashAfterOneQuestion) {
    Browse(Src());
    Select({"a.wav", "b.wav"});
    // Declined: nothing happens to the files.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    ASSERT_EQ(Messages.Texts(TKind::Question).size(), 1);
    EXPECT_TRUE(fs::exists(Src() / "a.wav"));

    Messages.Clear();
    Select({"a.wav", "b.wav"});
    Messages.QueueAnswer(TMessages::mbYes);
    QSignalSpy gone(&Transfer, &TListTransfer::OnItemsGone);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(Messages.Texts(TKind::Question), QStringList{"Move these 2 items to the Trash?"});
    EXPECT_FALSE(fs::exists(Src() / "a.wav"));
    EXPECT_FALSE(fs::exists(Src() / "b.wav"));
    EXPECT_TRUE(fs::exists(Home.Path() / ".local/share/Trash/files/a.wav") ||
                fs::exists(Dir.Path() / (".Trash-" + std::to_string(::getuid())) / "files/a.wav"));
    EXPECT_EQ(Names(), QStringList{"c.wav"});
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(gone.front().front().value<QList<QByteArray>>().size(), 2);
}

TEST_F(ListTransfer, RenameInPlaceUpdatesTheEntryAndNeverOverwrites) {
    Browse(Src());
    Select({"a.wav"});
    const int row = RowOf("a.wav");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    QLineEdit* editor = Transfer.NameEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), "a.wav");
    EXPECT_EQ(editor->selectedText(), "a");
    QTest::keyClicks(editor, "first");
    QSignalSpy renamed(&Transfer, &TListTransfer::OnItemRenamed);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Read(Src() / "first.wav"), "A");
    EXPECT_FALSE(fs::exists(Src() / "a.wav"));
    EXPECT_EQ(renamed.size(), 1);
    // The entry keeps its row and knows its new name.
    EXPECT_EQ(List.ListModel().Entry(row).DisplayName, "first.wav");
    EXPECT_EQ(List.ListModel().Entry(row).ParsingName,
              QByteArray::fromStdString((Src() / "first.wav").string()));

    // A taken name: declined leaves both files; accepted uses a free name.
    for (auto answer : {TMessages::mbNo, TMessages::mbYes}) {
        Select({"c.wav"});
        Transfer.EditSelectedName();
        ASSERT_TRUE(Transfer.NameEditor());
        Transfer.NameEditor()->setText("b.wav");
        Messages.QueueAnswer(answer);
        QTest::keyClick(Transfer.NameEditor(), Qt::Key_Enter);
        EXPECT_EQ(Read(Src() / "b.wav"), "B");
    }
    EXPECT_EQ(Messages.Texts(TKind::Question).size(), 2);
    EXPECT_EQ(Read(Src() / "b (2).wav"), "C");
    EXPECT_FALSE(fs::exists(Src() / "c.wav"));

    // Escape in the editor cancels only the edit.
    Select({"b.wav"});
    Transfer.EditSelectedName();
    ASSERT_TRUE(Transfer.NameEditor());
    QTest::keyClicks(Transfer.NameEditor(), "zzz");
    QTest::keyClick(Transfer.NameEditor(), Qt::Key_Escape);
    EXPECT_EQ(Transfer.NameEditor(), nullptr);
    EXPECT_TRUE(fs::exists(Src() / "b.wav"));
    EXPECT_EQ(List.SelectedCount(), 1);

    // Items without the rename capability (the drives of Computer) get no editor.
    List.BrowseTo(TShellNamespace::DrivesLocation().Get());
    ASSERT_GT(List.ListModel().Count(), 0);
    List.SelectRow(0);
    Transfer.EditSelectedName();
    EXPECT_EQ(Transfer.NameEditor(), nullptr);
}

TEST_F(ListTransfer, DropFollowsTheDriveRuleSkipsFilesAlreadyHereAndAsksForTheRightButton) {
    Browse(Dst());
    // Same file system, another folder, left button: moved.
    QMimeData files;
    files.setData("text/uri-list", Uri(Src() / "b.wav") + "\r\n");
    Drop(files, Qt::LeftButton);
    EXPECT_FALSE(fs::exists(Src() / "b.wav"));
    EXPECT_EQ(Read(Dst() / "b.wav"), "B");

    // Right button: the menu, move as its default; "Copy Here" copies.
    QMimeData other;
    other.setData("text/uri-list", Uri(Src() / "c.wav") + "\r\n");
    QString shownDefault;
    Transfer.DragDrop().SetDropMenuRunner([&](QMenu& menu, const QPoint&) {
        shownDefault = menu.defaultAction() ? menu.defaultAction()->text() : QString();
        return static_cast<TDropMenu&>(menu).mnuCopy;
    });
    Drop(other, Qt::RightButton);
    EXPECT_EQ(shownDefault, "Move Here");
    EXPECT_EQ(Read(Src() / "c.wav"), "C");
    EXPECT_EQ(Read(Dst() / "c.wav"), "C");
    EXPECT_TRUE(Messages.Records().isEmpty());

    // Files of the shown folder itself are skipped, with one message.
    QMimeData here;
    here.setData("text/uri-list", Uri(Dst() / "a.wav") + "\r\n" + Uri(Src() / "a.wav") + "\r\n");
    Drop(here, Qt::LeftButton);
    EXPECT_EQ(Messages.Texts(TKind::Information),
              QStringList{"At least one file has been skipped"});
    EXPECT_EQ(Read(Dst() / "a.wav"), "old A in dst");
    EXPECT_EQ(Read(Dst() / "a (2).wav"), "A");

    // Text is refused when it enters.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(List.viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(ListTransfer, DragStartsOnlyPastTheDistanceAfterTheDelayAndAMoveDeselects) {
    Browse(Src());
    Select({"a.wav", "b.wav"});
    QStringList dragged;
    Transfer.DragDrop().SetDragRunner([&](QDrag& drag) {
        dragged = UriFiles(drag.mimeData()->data("text/uri-list"));
        // The target moved the first file away.
        fs::rename(Src() / "a.wav", Dst() / "moved.wav");
        return Qt::MoveAction;
    });
    const QPoint start = RowPoint("a.wav");
    const QPoint far = start + QPoint(QApplication::startDragDistance() + 10, 0);

    // A click with a small move, then the mouse leaves the rectangle after the release.
    Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(Transfer.DragArmed());
    Clock += 500;
    Mouse(QEvent::MouseMove, start + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, start + QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    Mouse(QEvent::MouseMove, far, Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(dragged.isEmpty());
    EXPECT_FALSE(Transfer.DragArmed());

    // Far enough but too soon, then after the delay: the drag starts with both files.
    Select({"a.wav", "b.wav"});
    Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Clock += TListTransfer::DragDelayMs - 1;
    Mouse(QEvent::MouseMove, far, Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(dragged.isEmpty());
    QSignalSpy gone(&Transfer, &TListTransfer::OnItemsGone);
    Clock += 1;
    Mouse(QEvent::MouseMove, far + QPoint(1, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(dragged, (QStringList{QString::fromStdString((Src() / "a.wav").string()),
                                    QString::fromStdString((Src() / "b.wav").string())}));
    EXPECT_EQ(List.SelectedCount(), 0);
    EXPECT_FALSE(Transfer.DragArmed());
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(gone.front().front().value<QList<QByteArray>>(),
              QList<QByteArray>{QByteArray::fromStdString((Src() / "a.wav").string())});
}

TEST_F(ListTransfer, ItemMenuActsOnCutRenameAndDeleteAndWaitsWhileADragIsArmed) {
    Browse(Src());
    QStringList shown;
    QString choose;
    Transfer.ItemMenu().SetMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        QStringList texts;
        for (QAction* action : menu.actions())
            texts << action->text();
        shown << texts.join(',');
        for (QAction* action : menu.actions())
            if (action->text() == choose)
                return action;
        return nullptr;
    });
    auto menuAt = [&](const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, List.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(List.viewport(), &event);
    };

    // Empty space below the rows: no menu.
    Select({"a.wav"});
    menuAt(QPoint(10, List.viewport()->height() - 5));
    EXPECT_TRUE(shown.isEmpty());

    // The right button went down on a row: the menu waits for its release.
    const QPoint onA = RowPoint("a.wav");
    Mouse(QEvent::MouseButtonPress, onA, Qt::RightButton, Qt::RightButton);
    menuAt(onA);
    EXPECT_TRUE(shown.isEmpty());
    choose = "Cu&t";
    Mouse(QEvent::MouseButtonRelease, onA, Qt::RightButton, Qt::NoButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.front().contains("Rena&me"));
    EXPECT_TRUE(Faded("a.wav"));

    // Two rows: no Rename; Delete asks once and the rows go.
    Select({"a.wav", "b.wav"});
    choose = "&Delete";
    Messages.QueueAnswer(TMessages::mbYes);
    QSignalSpy gone(&Transfer, &TListTransfer::OnItemsGone);
    menuAt(RowPoint("b.wav"));
    ASSERT_EQ(shown.size(), 2);
    EXPECT_FALSE(shown.back().contains("Rena&me"));
    EXPECT_FALSE(fs::exists(Src() / "a.wav"));
    EXPECT_EQ(Names(), QStringList{"c.wav"});
    EXPECT_EQ(gone.size(), 1);

    // Rename chosen: the name is edited in place.
    Select({"c.wav"});
    choose = "Rena&me";
    menuAt(RowPoint("c.wav"));
    ASSERT_TRUE(Transfer.NameEditor());
    EXPECT_EQ(Transfer.NameEditor()->text(), "c.wav");

    // Enter on a file runs its default action (the desktop's application).
    QTest::keyClick(Transfer.NameEditor(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Opened, QList<QByteArray>{QByteArray::fromStdString((Src() / "c.wav").string())});
}

TEST_F(ListTransfer, OpenWithoutTheDesktopsLauncherTellsTheUserWhy) {
    Transfer.ItemMenu().SetOpener({}); // the real launcher, on a PATH without it
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString((Dir.Path() / "no-tools").string()));
    Browse(Src());
    Select({"c.wav"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    qputenv("PATH", oldPath);
    EXPECT_EQ(Messages.Texts(TKind::Error),
              QStringList{"No application could be started for \"c.wav\": the desktop's launcher "
                          "(xdg-open) is not installed."});
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
