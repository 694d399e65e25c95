// The real main window in browser mode, offscreen, on a folder of generated audio files and
// the real service libraries: the start folder and columns from the settings, the editor
// following the list, a failed prompted save keeping its file selected, a save re-reading its
// row, activation focus, and the browser's settings written at the end.
#include "MainBrowserFixture.h"
#include "PidlHelp.h"
#include "TAudioLibs.h"
#include "TAuditionPanel.h"
#include "TBatchTagSelection.h"
#include "TBrowserPanel.h"
#include "TDirMonitorThread.h"
#include "TFavoritesMenu.h"
#include "TListSorter.h"
#include "TListStatus.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TReadout.h"
#include "TScriptedMessages.h"
#include "TSystemComboBox.h"
#include "TXListView.h"
#include "TempDir.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace {

class MainBrowserTest : public TMainBrowserFixture {
protected:
    MainBrowserTest() : TMainBrowserFixture("b.MP3") {}

    void SetUp() override {
        TMainBrowserFixture::SetUp();
        SetTitle(File("a.wav"), "Morning Jingle");
    }

    QByteArray Path(const char* name) const { return QByteArray::fromStdString(File(name)); }

    void SetTitle(const std::string& path, const char* title) {
        ASSERT_EQ(AudioLibs().OpenWavFile(path.c_str(), 0, 0), 0);
        AudioLibs().SetChunkInfo("DISP", title, uint16_t(strlen(title)));
        ASSERT_EQ(AudioLibs().CloseWavFile(), 0);
    }
    QByteArray StandardIni() const {
        return "[Main]\nFolder=" + QByteArray::fromStdString(Audio.string()) +
               "\n[Columns]\n4=Title\n3=Artist\nX=Junk\n99=Nothing\n"
               "[ColumnWidths]\nCount=9\nWidth0=210\nWidth3=140\nWidth8=33\n";
    }
};

TEST_F(MainBrowserTest, StartsInTheSavedFolderWithItsColumnsAndFollowsTheSelection) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    ASSERT_NE(w->Browser, nullptr);
    EXPECT_TRUE(w->pnlBrowser->isVisible());
    TXListView& list = *w->Browser->ListView;
    EXPECT_EQ(list.FolderPath(), QByteArray::fromStdString(Audio.string()));
    // Fixed columns, then the two valid keys in file order; widths of missing columns ignored.
    const auto columns = list.Columns();
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[3].Number, 4);
    EXPECT_EQ(columns[4].Number, 3);
    EXPECT_EQ(columns[0].Width, 210);
    EXPECT_EQ(columns[3].Width, 140);
    // Activation put the focus on the list; the first row (the folder) left the editor empty.
    EXPECT_EQ(QApplication::focusWidget(), &list);
    EXPECT_EQ(SelectedPath(list), Path("sub"));
    EXPECT_TRUE(w->Document.CurrentFile.IsEmpty());
    EXPECT_EQ(w->Browser->cboSystem->currentText(), QStringLiteral("audio"));

    Press(Qt::Key_Down);
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    EXPECT_EQ(w->PageControl->FieldText("DISP"), QStringLiteral("Morning Jingle"));
    Press(Qt::Key_Down); // capitals in the extension load too
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("b.MP3"));
    Press(Qt::Key_Down);
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("c.wav"));
    Press(Qt::Key_Down); // a text file empties the editor
    EXPECT_TRUE(w->Document.CurrentFile.IsEmpty());
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(MainBrowserTest, LeavingAFileForAFolderRowEmptiesEveryReadOut) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    TAuditionPanel& audition = *w->AuditionPanel;
    Press(Qt::Key_Down);
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    EXPECT_EQ(audition.txtLength->text(), QStringLiteral("00:00.5")); // 0.5 s generated
    Press(Qt::Key_Up);                                                // the folder "sub"
    ASSERT_TRUE(w->Document.CurrentFile.IsEmpty());
    for (const QLabel* readout :
         {static_cast<QLabel*>(audition.txtFromStart), static_cast<QLabel*>(audition.txtLength),
          static_cast<QLabel*>(audition.txtFromEnd)})
        EXPECT_EQ(readout->text(), QString()) << readout->objectName().toStdString();
    EXPECT_TRUE(w->PageControl->txtLocation->text().isEmpty());
}

TEST_F(MainBrowserTest, APromptedSaveThatFailsKeepsTheFileSelectedAndTheEdits) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " Edit");
    w->PageControl->SetFieldText("BSTM", "10:00"); // a time without a date: refused
    ASSERT_TRUE(w->Document.Modified);

    list.setFocus();
    Messages.QueueAnswer(TMessages::mbYes);
    Press(Qt::Key_Down);
    QApplication::processEvents(); // the selection is put back after the view's own step
    EXPECT_FALSE(Messages.Texts(TScriptedMessages::TKind::Error).isEmpty());
    EXPECT_EQ(SelectedPath(list), Path("a.wav"));
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    EXPECT_TRUE(w->Document.Modified);
    EXPECT_EQ(w->PageControl->FieldText("DISP"), QStringLiteral("Morning Jingle Edit"));

    // With the time taken out, the next move saves and goes on.
    w->PageControl->SetFieldText("BSTM", "");
    list.setFocus(); // the failed save left the focus on the refused field
    Messages.QueueAnswer(TMessages::mbYes);
    Press(Qt::Key_Down);
    EXPECT_EQ(w->Document.CurrentFile.Bytes(), Path("b.MP3"));
    EXPECT_FALSE(w->Document.Modified);
}

TEST_F(MainBrowserTest, SaveReReadsTheRowAndNotesNoChangeOfItsOwn) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    const int row = RowOf(list, Path("a.wav"));
    ASSERT_GE(row, 0);
    list.ReadEntryDetails(row, row);
    EXPECT_EQ(list.ListModel().Entry(row).Value(4), QStringLiteral("Morning Jingle"));

    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " 2");
    w->btnOk_OnClick();
    ASSERT_FALSE(w->Document.Modified);
    EXPECT_TRUE(list.ListModel().Entry(row).Stale);
    list.ReadEntryDetails(row, row);
    EXPECT_EQ(list.ListModel().Entry(row).Value(4), QStringLiteral("Morning Jingle 2"));
    // Notices are on again after the save.
    ASSERT_NE(list.FolderRefresher().Monitor(), nullptr);
    EXPECT_TRUE(list.FolderRefresher().Monitor()->IsActive());
    EXPECT_EQ(SelectedPath(list), Path("a.wav"));
}

TEST_F(MainBrowserTest, ASaveThroughThePromptReReadsTheSavedFilesRow) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    const int row = RowOf(list, Path("a.wav"));
    list.ReadEntryDetails(row, row);
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " 3");
    list.setFocus();
    Messages.QueueAnswer(TMessages::mbYes);
    Press(Qt::Key_Down); // "Save it?" Yes, then on to the next row
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("b.MP3"));
    list.ReadEntryDetails(row, row); // reads the rows marked to be read again
    EXPECT_EQ(list.ListModel().Entry(row).Value(4), QStringLiteral("Morning Jingle 3"));
}

TEST_F(MainBrowserTest, SavedStaysUnderTheListWhenHintsShow) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    Press(Qt::Key_Down);
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " 4");
    w->btnOk_OnClick();
    EXPECT_EQ(w->Browser->StatusBar->currentMessage(), QStringLiteral("Saved: a.wav"));
    // A toolbar hint, as the pointer over a button gives it, goes to the window's own bar.
    QWidget* button = w->Browser->ToolBarBrowser->widgetForAction(w->Browser->ActionRefresh);
    ASSERT_NE(button, nullptr);
    QStatusTipEvent tip(w->Browser->ActionRefresh->statusTip());
    QApplication::sendEvent(button, &tip);
    EXPECT_EQ(w->statusBar()->currentMessage(), w->Browser->ActionRefresh->statusTip());
    EXPECT_EQ(w->Browser->StatusBar->currentMessage(), QStringLiteral("Saved: a.wav"));
}

// A tag as ffprobe reads it from the file.
std::string ProbeTag(const std::string& path, const char* key) {
    const std::string command = std::string("ffprobe -v quiet -show_entries format_tags=") + key +
                                " -of default=nw=1:nk=1 '" + path + "'";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

TEST_F(MainBrowserTest, ABatchOnTheEditorsFileComesIntoTheEditorAndOtherEditsStay) {
    WriteIni("[Main]\nFolder=" + QByteArray::fromStdString(Audio.string()) +
             "\n[Columns]\n5=Category\n");
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    w->Browser->BatchTagging->SetPickerRunner([](QDialog& picker) {
        if (auto* text = qobject_cast<TFrmText*>(&picker))
            text->edtText->setText(QStringLiteral("STALE1"));
        return int(QDialog::Accepted);
    });
    auto batch = [&] {
        QHeaderView* header = list.header();
        const QPoint at(header->sectionViewportPosition(3) + 5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
        QApplication::sendEvent(header->viewport(), &event);
    };
    Press(Qt::Key_Down);
    ASSERT_EQ(w->Document.CurrentFile.Bytes(), Path("a.wav"));
    QTest::keyClick(&list, Qt::Key_Down, Qt::ShiftModifier); // a.wav and b.MP3
    ASSERT_EQ(list.SelectedCount(), 2);

    // An editor without edits simply reads the file again.
    batch();
    EXPECT_EQ(w->PageControl->FieldText("ISRC"), QStringLiteral("STALE1"));
    EXPECT_FALSE(w->Document.Modified);

    // With unsaved edits: the written key comes in, the other edits stay, still unsaved.
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " Edit");
    ASSERT_TRUE(w->Document.Modified);
    w->Browser->BatchTagging->SetPickerRunner([](QDialog& picker) {
        if (auto* text = qobject_cast<TFrmText*>(&picker))
            text->edtText->setText(QStringLiteral("STALE2"));
        return int(QDialog::Accepted);
    });
    batch();
    w->Browser->BatchTagging->SetPickerRunner({});
    EXPECT_EQ(w->PageControl->FieldText("ISRC"), QStringLiteral("STALE2"));
    EXPECT_EQ(w->PageControl->FieldText("DISP"), QStringLiteral("Morning Jingle Edit"));
    EXPECT_TRUE(w->Document.Modified);
    w->btnOk_OnClick();
    EXPECT_EQ(ProbeTag(File("a.wav"), "ISRC"), "STALE2");
    // b.MP3 carries only an ID3v1 tag, which has no field for ISRC: only it is refused.
    for (const QString& error : Messages.Texts(TScriptedMessages::TKind::Error))
        EXPECT_TRUE(error.contains(QStringLiteral("b.MP3 (ID3v1 has no field")))
            << error.toStdString();
}

TEST_F(MainBrowserTest, TheEndWritesFolderSizeAndWidthsButNotTheColumns) {
    WriteIni(StandardIni());
    {
        auto w = OpenBrowser();
        w->resize(900, 600);
        Press(Qt::Key_Return); // opens "sub"
        EXPECT_EQ(w->Browser->ListView->FolderPath(), Path("sub"));
    }
    TProfileFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("Main", "Folder", ""), QString::fromUtf8(Path("sub")));
    EXPECT_EQ(ini.ReadInteger("Main", "Width", -1), 900);
    EXPECT_EQ(ini.ReadInteger("Main", "Height", -1), 600);
    EXPECT_EQ(ini.ReadInteger("ColumnWidths", "Count", 0), 5);
    EXPECT_EQ(ini.ReadInteger("ColumnWidths", "Width0", 0), 210);
    // The column keys stand as the user (or the column selection) left them.
    EXPECT_EQ(ini.ReadString("Columns", "X", ""), QStringLiteral("Junk"));
}

TEST_F(MainBrowserTest, FolderAndFavoritesThatAreNotUtf8ComeBackByteForByte) {
    const std::filesystem::path odd = Audio / "caf\xe9 100%";
    std::filesystem::create_directories(odd);
    const QByteArray oddPath = QByteArray::fromStdString(odd.string());
    WriteIni("[Main]\nFolder=" + Path("sub") + "\n");
    {
        auto w = OpenBrowser();
        w->Browser->ListView->BrowseToPath(oddPath);
        w->Browser->ActionAddToFavorites->trigger();
    }
    TProfileFile ini(IniPath());
    const QString stored = ini.ReadString("Main", "Folder", "");
    EXPECT_TRUE(stored.startsWith("file:///")) << stored.toStdString();
    EXPECT_FALSE(stored.contains(QChar::ReplacementCharacter));
    EXPECT_EQ(ini.ReadSectionKeys("Favorites").size(), 1);
    EXPECT_EQ(ini.ReadString("Favorites", "0", ""), stored);

    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    EXPECT_EQ(list.FolderPath(), oddPath);
    list.BrowseToPath(Path("sub"));
    for (QAction* action : w->Browser->Favorites->PopupMenuFavorites->actions())
        if (TFavoritesMenu::KindOf(action) == TFavoritesMenu::fkFavorite)
            action->trigger();
    EXPECT_EQ(list.FolderPath(), oddPath);
}

TEST_F(MainBrowserTest, DesktopAndTheFallbackStartFolders) {
    WriteIni("[Main]\nFolder=Desktop\n");
    {
        auto w = OpenBrowser();
        EXPECT_EQ(PIDLCount(w->Browser->ListView->FolderID()), 0);
        EXPECT_FALSE(w->Browser->ActionUp->isEnabled());
    }
    EXPECT_EQ(TProfileFile(IniPath()).ReadString("Main", "Folder", ""), QStringLiteral("Desktop"));

    // No folder saved, no audio folder, no music folder: Computer.
    WriteIni("[Main]\n");
    auto w = OpenBrowser();
    EXPECT_EQ(w->Browser->ListView->FolderParsingName(),
              QByteArray("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"));
}

// "Main"/"SortColumn" names a column by its number: shown, the start folder opens sorted by
// it; not shown, or absent, the folder opens in Name order.
TEST_F(MainBrowserTest, StartsSortedByTheSettingsSortColumnWhenItIsShown) {
    for (const auto& [path, artist] :
         {std::pair{File("a.wav"), "Zed"}, std::pair{File("b.MP3"), "Mid"},
          std::pair{File("c.wav"), "Alpha"}}) {
        ASSERT_EQ(AudioLibs().OpenWavFile(path.c_str(), 0, 0), 0);
        AudioLibs().SetTagInfo("IART", artist, uint16_t(strlen(artist)));
        ASSERT_EQ(AudioLibs().CloseWavFile(), 0);
    }
    const struct {
        const char* Setting;
        int SortColumn;
        std::vector<const char*> Rows;
    } cases[] = {
        {"SortColumn=3\n", 4, {"sub", "notes.txt", "c.wav", "b.MP3", "a.wav"}},
        {"SortColumn=5\n", 0, {"sub", "a.wav", "b.MP3", "c.wav", "notes.txt"}},
        {"", 0, {"sub", "a.wav", "b.MP3", "c.wav", "notes.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Setting);
        WriteIni("[Main]\n" + QByteArray(c.Setting) + StandardIni().mid(7)); // after "[Main]\n"
        auto w = OpenBrowser();
        TXListView& list = *w->Browser->ListView;
        EXPECT_EQ(w->Browser->Sorter->SortColumn(), c.SortColumn);
        EXPECT_TRUE(w->Browser->Sorter->SortAscending());
        ASSERT_EQ(list.ListModel().Count(), int(c.Rows.size()));
        for (int row = 0; row < list.ListModel().Count(); ++row)
            EXPECT_EQ(list.ListModel().Entry(row).ParsingName, Path(c.Rows[size_t(row)])) << row;
        w->close();
    }
}

// At the program's start the window is on screen before its start folder is read; a big
// folder then makes its rows with the list's progress showing, and the sort from the settings
// follows. Constructing the window reads nothing.
TEST_F(MainBrowserTest, AtStartTheWindowShowsFirstAndTheFolderFillsWithProgress) {
    constexpr int extra = TFolderListModel::EnumerateProgressItems + 200;
    for (int i = 0; i < extra; ++i)
        std::ofstream(Audio / ("cue" + std::to_string(i) + ".txt")) << "x";
    WriteIni("[Main]\nSortColumn=3\n" + StandardIni().mid(7));
    auto w = std::make_unique<TFrmMain>(QList<QByteArray>(), nullptr,
                                        TFrmMain::TStartFolderOpening::AfterShow);
    TXListView& list = *w->Browser->ListView;
    EXPECT_EQ(list.FolderID(), nullptr);
    EXPECT_EQ(list.ListModel().Count(), 0);

    // Sampled whenever the event loop turns: while the folder's rows are being made, the
    // window is shown and the bar is up.
    bool progressWhileShown = false;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (list.FolderID() != nullptr && list.ListModel().Count() == 0 &&
            list.ListModel().IsReading())
            progressWhileShown = progressWhileShown ||
                                 (w->isVisible() && w->Browser->ListStatus->Progress() != nullptr);
    });
    probe.start();
    w->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.ListModel().Count() == extra + 5; }, 10000));
    probe.stop();
    EXPECT_TRUE(progressWhileShown);
    EXPECT_EQ(w->Browser->ListStatus->Progress(), nullptr);
    EXPECT_EQ(list.FolderPath(), QByteArray::fromStdString(Audio.string()));
    EXPECT_EQ(w->Browser->Sorter->SortColumn(), 4);
    EXPECT_EQ(list.ListModel().Entry(0).ParsingName, Path("sub"));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
