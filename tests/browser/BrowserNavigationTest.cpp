// The browser panel driven for real (offscreen): the editor following the selection through a
// fake editor, Up to the top, the folder combo box, Refresh, Go to selection, Explore and the
// Paste state.

#include "PidlHelp.h"
#include "TBrowserNavigation.h"
#include "TBrowserPanel.h"
#include "TEditorLink.h"
#include "TFileClipboard.h"
#include "TShellNamespace.h"
#include "TSystemComboBox.h"
#include "TXListView.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>

namespace {

class TFakeEditor : public TEditorLink {
public:
    QByteArray Current;
    bool Modified = false;
    bool SaveFails = false;
    int Prompts = 0;
    int Clears = 0;
    int Stops = 0;
    QList<QByteArray> Loaded;

    QByteArray EditorCurrentFile() const override { return Current; }
    bool EditorPromptSaveChanges() override {
        ++Prompts;
        if (Modified && SaveFails)
            return false;
        Modified = false;
        return true;
    }
    void EditorLoadFile(const QByteArray& path) override {
        Current = path;
        Loaded.append(path);
    }
    void EditorClear() override {
        Current.clear();
        ++Clears;
    }
    void EditorStopAudition() override { ++Stops; }
};

void Touch(const std::filesystem::path& path) {
    std::ofstream(path) << "x";
}

QByteArray Bytes(const std::filesystem::path& path) {
    return QByteArray::fromStdString(path.string());
}

class BrowserTest : public testing::Test {
protected:
    TTempDir Dir;
    TFakeEditor Editor;
    std::unique_ptr<TBrowserPanel> Panel;
    QList<QUrl> Explored;

    void SetUp() override {
        std::filesystem::create_directory(Dir.Path() / "sub");
        for (const char* name : {"a.WAV", "b.mp3", "c.mpg", "d.txt", "e.mp2"})
            Touch(Dir.Path() / name);
        Panel = std::make_unique<TBrowserPanel>();
        Panel->resize(500, 400);
        Panel->SetEditor(&Editor);
        Panel->Navigation().OpenFolderUrl = [this](const QUrl& url) {
            Explored.append(url);
            return true;
        };
        Panel->show();
        Panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Panel.get()));
    }

    TXListView& List() { return *Panel->ListView; }
    QByteArray PathOf(const char* name) { return Bytes(Dir.Path() / name); }
    QByteArray SelectedPath() {
        const QList<int> rows = List().SelectedRows();
        return rows.isEmpty() ? QByteArray() : List().ListModel().Entry(rows.first()).ParsingName;
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
    }
    void OpenDir() {
        List().BrowseToPath(Bytes(Dir.Path()));
        List().setFocus();
        QApplication::processEvents();
    }
};

TEST_F(BrowserTest, EditorFollowsTheSelection) {
    OpenDir();
    // Folders first: row 0 is "sub", which clears the editor.
    EXPECT_EQ(SelectedPath(), PathOf("sub"));
    EXPECT_GE(Editor.Clears, 1);
    EXPECT_TRUE(Editor.Loaded.isEmpty());
    EXPECT_GE(Editor.Stops, 1); // the folder change stops audition

    // Capitals in the extension load all the same.
    Key(Qt::Key_Down);
    EXPECT_EQ(SelectedPath(), PathOf("a.WAV"));
    ASSERT_EQ(Editor.Loaded.size(), 1);
    EXPECT_EQ(Editor.Loaded.last(), PathOf("a.WAV"));

    // Extending the selection keeps a.WAV first: asked about changes, not reloaded.
    const int prompts = Editor.Prompts;
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(List().SelectedCount(), 2);
    EXPECT_GT(Editor.Prompts, prompts);
    EXPECT_EQ(Editor.Loaded.size(), 1);

    const int clears = Editor.Clears;
    Key(Qt::Key_Down); // c.mpg: the editor does not take it
    EXPECT_EQ(SelectedPath(), PathOf("c.mpg"));
    EXPECT_EQ(Editor.Clears, clears + 1);
    EXPECT_TRUE(Editor.Current.isEmpty());
    Key(Qt::Key_Down); // d.txt
    EXPECT_EQ(Editor.Clears, clears + 2);
    Key(Qt::Key_Down); // e.mp2
    EXPECT_EQ(Editor.Loaded.last(), PathOf("e.mp2"));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Up);
    EXPECT_EQ(Editor.Loaded.last(), PathOf("b.mp3"));
    EXPECT_EQ(Editor.Loaded.size(), 3);
}

TEST_F(BrowserTest, FailedSaveKeepsTheEditedFileSelected) {
    OpenDir();
    Key(Qt::Key_Down);
    ASSERT_EQ(Editor.Current, PathOf("a.WAV"));
    Editor.Modified = true;
    Editor.SaveFails = true;
    Key(Qt::Key_Down);
    QApplication::processEvents(); // the selection is put back after the view's own step
    // The selection is back on the edited file and nothing replaced the edits.
    EXPECT_EQ(SelectedPath(), PathOf("a.WAV"));
    EXPECT_EQ(List().SelectedCount(), 1);
    EXPECT_EQ(Editor.Current, PathOf("a.WAV"));
    EXPECT_EQ(Editor.Loaded.size(), 1);
    EXPECT_TRUE(Editor.Modified);

    // Once the save works, moving on loads the next file.
    Editor.SaveFails = false;
    Key(Qt::Key_Down);
    EXPECT_EQ(Editor.Current, PathOf("b.mp3"));
    EXPECT_FALSE(Editor.Modified);
}

TEST_F(BrowserTest, SelectionActionsFollowTheSelection) {
    OpenDir();
    EXPECT_TRUE(Panel->ActionGotoSelection->isEnabled());
    EXPECT_TRUE(Panel->ActionCopy->isEnabled());
    EXPECT_TRUE(Panel->ActionCut->isEnabled());
    EXPECT_FALSE(Panel->ActionFindNext->isEnabled());
    Key(Qt::Key_Escape);
    EXPECT_EQ(List().SelectedCount(), 0);
    EXPECT_FALSE(Panel->ActionGotoSelection->isEnabled());
    EXPECT_FALSE(Panel->ActionCopy->isEnabled());
    EXPECT_FALSE(Panel->ActionCut->isEnabled());
    EXPECT_TRUE(Editor.Current.isEmpty());
}

TEST_F(BrowserTest, EmptyFolderClearsTheEditor) {
    List().BrowseToPath(Bytes(Dir.Path() / "sub"));
    EXPECT_EQ(List().ListModel().Count(), 0);
    EXPECT_GE(Editor.Clears, 1);
    EXPECT_FALSE(Panel->ActionCopy->isEnabled());
}

TEST_F(BrowserTest, UpClimbsToTheDesktopAndStops) {
    OpenDir();
    ASSERT_TRUE(Panel->ActionUp->isEnabled());
    Panel->ActionUp->trigger();
    EXPECT_EQ(List().FolderPath(), Bytes(Dir.Path().parent_path()));
    // Up from "/" shows Computer, then the desktop; the chain is bounded by the path's depth.
    int steps = 0;
    while (Panel->ActionUp->isEnabled() && steps < 64) {
        Panel->ActionUp->trigger();
        ++steps;
        if (List().FolderParsingName() == QByteArray(TShellNamespace::ComputerParsingName.data())) {
            EXPECT_EQ(PIDLCount(List().FolderID()), 1);
        }
    }
    ASSERT_LT(steps, 64);
    EXPECT_EQ(PIDLCount(List().FolderID()), 0);
    EXPECT_NE(List().FolderID(), nullptr);
    // At the desktop the action is off; run anyway, it changes nothing.
    const int stops = Editor.Stops;
    Panel->ActionUp->trigger();
    EXPECT_EQ(PIDLCount(List().FolderID()), 0);
    EXPECT_EQ(Editor.Stops, stops);
    // The box shows the desktop, its top entry.
    EXPECT_EQ(Panel->cboSystem->currentIndex(), 0);
}

TEST_F(BrowserTest, ComboBoxShowsTheChainToTheFolder) {
    OpenDir();
    TSystemComboBox& box = *Panel->cboSystem;
    // Desktop on top, Computer and the drives below it.
    EXPECT_EQ(box.EntryLevel(0), 0);
    EXPECT_EQ(box.itemText(0), QStringLiteral("Desktop"));
    const TPidl computer = TShellNamespace::DrivesLocation();
    int computerIndex = -1;
    for (int i = 0; i < box.count(); ++i)
        if (ComparePIDLs(box.EntryIDList(i), computer.Get()))
            computerIndex = i;
    ASSERT_GE(computerIndex, 0);
    EXPECT_EQ(box.EntryLevel(computerIndex), 1);
    EXPECT_EQ(box.EntryLevel(computerIndex + 1), 2); // a drive

    // The shown folder is selected, its ancestors sit above it one level apart.
    const int current = box.currentIndex();
    ASSERT_GE(current, 0);
    EXPECT_TRUE(ComparePIDLs(box.GetActiveFolderIDList(), List().FolderID()));
    EXPECT_EQ(box.itemText(current), QString::fromStdString(Dir.Path().filename().string()));
    const int depth = PIDLCount(List().FolderID());
    EXPECT_EQ(box.EntryLevel(current), depth);
    for (int i = current, level = depth; level > 2; --i, --level) {
        EXPECT_TRUE(box.IsInserted(i));
        EXPECT_EQ(box.EntryLevel(i), level);
    }

    // A new folder replaces the inserted chain.
    const int before = box.count();
    List().BrowseToPath(Bytes(Dir.Path() / "sub"));
    EXPECT_EQ(box.count(), before + 1);
    EXPECT_EQ(box.itemText(box.currentIndex()), QStringLiteral("sub"));
    List().BrowseTo(computer.Get());
    EXPECT_EQ(box.currentIndex(), computerIndex);
    int inserted = 0;
    for (int i = 0; i < box.count(); ++i)
        inserted += box.IsInserted(i) ? 1 : 0;
    EXPECT_EQ(inserted, 0);

    // A missing list selects nothing.
    box.SetActiveFolderIDList(TPidl());
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.GetActiveFolderIDList(), nullptr);
}

TEST_F(BrowserTest, PickInTheBoxBrowsesAndFocusesTheList) {
    OpenDir();
    TSystemComboBox& box = *Panel->cboSystem;
    int changes = 0;
    QObject::connect(&box, &TSystemComboBox::OnChange, [&] { ++changes; });
    // Navigation from code never raises the box's event.
    List().BrowseToPath(Bytes(Dir.Path() / "sub"));
    EXPECT_EQ(changes, 0);

    box.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &box);
    Key(Qt::Key_Up); // the user picks the parent folder, one entry up
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(List().FolderPath(), Bytes(Dir.Path()));
    EXPECT_EQ(QApplication::focusWidget(), &List());
    EXPECT_TRUE(ComparePIDLs(box.GetActiveFolderIDList(), List().FolderID()));
}

TEST_F(BrowserTest, RefreshShowsNewFilesSortedAndClearsTheSelection) {
    OpenDir();
    Key(Qt::Key_Down);
    ASSERT_EQ(Editor.Current, PathOf("a.WAV"));
    Touch(Dir.Path() / "aa.wav");
    Key(Qt::Key_F5);
    EXPECT_EQ(List().SelectedCount(), 0);
    const TFolderListModel& model = List().ListModel();
    ASSERT_EQ(model.Count(), 7);
    EXPECT_EQ(model.Entry(2).ParsingName, PathOf("aa.wav"));
    EXPECT_TRUE(Editor.Current.isEmpty());
}

TEST_F(BrowserTest, GotoSelectionScrollsToTheSelectedRow) {
    for (int i = 0; i < 120; ++i)
        Touch(Dir.Path() / ("f" + std::to_string(1000 + i) + ".txt"));
    OpenDir();
    List().SelectRow(100);
    List().scrollToTop();
    QApplication::processEvents();
    const auto visible = [&](int row) {
        const QRect rect = List().visualRect(List().ListModel().index(row, 0));
        return rect.isValid() && List().viewport()->rect().contains(rect);
    };
    ASSERT_FALSE(visible(100));
    Panel->ActionGotoSelection->trigger();
    EXPECT_TRUE(visible(100));

    // The first selected row already on top: the next selected one is brought into view.
    List().SelectRow(0);
    List().selectionModel()->select(List().ListModel().index(90, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    List().scrollToTop();
    ASSERT_FALSE(visible(90));
    Panel->ActionGotoSelection->trigger();
    EXPECT_TRUE(visible(90));
}

TEST_F(BrowserTest, ExploreOpensFileSystemFoldersOnly) {
    OpenDir();
    Panel->ActionExplore->trigger();
    ASSERT_EQ(Explored.size(), 1);
    EXPECT_EQ(Explored[0], QUrl::fromLocalFile(QString::fromStdString(Dir.Path().string())));
    const TPidl computer = TShellNamespace::DrivesLocation();
    List().BrowseTo(computer.Get());
    Panel->ActionExplore->trigger();
    EXPECT_EQ(Explored.size(), 1);
}

TEST_F(BrowserTest, PasteFollowsTheClipboard) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(TFileClipboard::MimeData({PathOf("a.WAV")}, false).release());
    EXPECT_TRUE(Panel->ActionPaste->isEnabled());
    clipboard->setText(QStringLiteral("just text"));
    EXPECT_FALSE(Panel->ActionPaste->isEnabled());
    clipboard->setMimeData(TFileClipboard::MimeData({PathOf("b.mp3")}, true).release());
    EXPECT_TRUE(Panel->ActionPaste->isEnabled());
    clipboard->clear();
    EXPECT_FALSE(Panel->ActionPaste->isEnabled());
}

TEST_F(BrowserTest, BackspaceAndAltUpGoUpFromTheList) {
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Backspace), QKeyCombination(Qt::AltModifier, Qt::Key_Up)}) {
        List().BrowseToPath(PathOf("sub"));
        List().setFocus();
        QApplication::processEvents();
        Key(key.key(), key.keyboardModifiers());
        EXPECT_EQ(List().FolderPath(), Bytes(Dir.Path()));
    }
}

// Another program's cut as libfm hands it out: the list once, then the clipboard is empty.
class TOneReadMimeData : public QMimeData {
public:
    QByteArray List;
    int* Reads = nullptr; // outlives the data, which the clipboard deletes

    QStringList formats() const override {
        return {TFileClipboard::GnomeType, TFileClipboard::UriListType};
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override {
        if (!formats().contains(type) || (*Reads)++ > 0)
            return {};
        return type == TFileClipboard::GnomeType ? "cut\n" + List : List + "\r\n";
    }
};

TEST_F(BrowserTest, AnotherProgramsListIsReadOnlyWhenPasted) {
    OpenDir();
    List().BrowseToPath(PathOf("sub"));
    List().setFocus();
    int reads = 0;
    auto* cut = new TOneReadMimeData;
    cut->List = TFileClipboard::PathToUri(PathOf("a.WAV"));
    cut->Reads = &reads;
    QGuiApplication::clipboard()->setMimeData(cut);
    QApplication::processEvents();
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(Panel->ActionPaste->isEnabled());

    Panel->ActionPaste->trigger();
    EXPECT_EQ(reads, 1);
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / "a.WAV"));
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / "sub" / "a.WAV"));
}

TEST_F(BrowserTest, ToolbarHasItsFifteenButtonsWithHints) {
    const QList<QAction*> items = Panel->ToolBarBrowser->actions();
    ASSERT_EQ(items.size(), 15);
    const QList<QAction*> buttons = {Panel->ActionUp,
                                     Panel->ActionRefresh,
                                     Panel->ActionGotoSelection,
                                     Panel->ActionFind,
                                     Panel->ActionFindNext,
                                     nullptr,
                                     Panel->ActionCopy,
                                     Panel->ActionCut,
                                     Panel->ActionPaste,
                                     Panel->ActionDelete,
                                     nullptr,
                                     Panel->ActionSelectColumns,
                                     nullptr,
                                     nullptr,
                                     Panel->ActionExplore};
    for (int i = 0; i < 15; ++i)
        if (buttons[i] != nullptr) {
            EXPECT_EQ(items[i], buttons[i]) << i;
            EXPECT_FALSE(buttons[i]->toolTip().isEmpty()) << i;
            EXPECT_FALSE(buttons[i]->icon().isNull()) << i;
        }
    EXPECT_EQ(Panel->ToolBarBrowser->widgetForAction(items[12]), Panel->btnFavorites);
    // Every button is on the bar at the panel's designed width, none in an overflow menu.
    Panel->resize(375, 400);
    QApplication::processEvents();
    for (QAction* action : items) {
        QWidget* widget = Panel->ToolBarBrowser->widgetForAction(action);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible()) << action->objectName().toStdString();
    }
    // The buttons start 10 pixels in from the panel's left edge.
    EXPECT_EQ(Panel->ToolBarBrowser->widgetForAction(Panel->ActionUp)
                  ->mapTo(Panel.get(), QPoint(0, 0))
                  .x(),
              10);
    EXPECT_EQ(Panel->btnFavorites->defaultAction(), Panel->ActionAddToFavorites);
    EXPECT_EQ(Panel->btnFavorites->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(Panel->ActionUp->toolTip(), QStringLiteral("Go up to parent folder"));
    EXPECT_EQ(Panel->ActionExplore->text(), QStringLiteral("Explore this folder"));
    EXPECT_EQ(Panel->ActionRefresh->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Panel->ActionFind->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(Panel->ActionFindNext->shortcut(), QKeySequence(Qt::Key_F3));
}

TEST(EditorFileRule, ExtensionsInAnyCase) {
    struct TCase {
        const char* Path;
        bool Loads;
    };
    const TCase cases[] = {
        {"/m/a.wav", true},        {"/m/a.WAV", true},   {"/m/a.Mp3", true},
        {"/m/a.mp2", true},        {"/m/a.mpg", false},  {"/m/a.mp1", false},
        {"/m/a.wav.txt", false},   {"/m.wav/a", false},  {"/m/wav", false},
        {"/m/\xff\xfe.MP3", true}, {"/m/a.wave", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TBrowserNavigation::IsEditorFile(c.Path), c.Loads) << c.Path;
}

} // namespace

int main(int argc, char** argv) {
    // Tests never see the user's own home, desktop or settings.
    static TTempDir home;
    home.BecomeHome();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
