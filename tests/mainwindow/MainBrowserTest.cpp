// The real main window in browser mode, offscreen, on a folder of generated audio files and
// the real service libraries: the start folder and columns from the settings, the editor
// following the list, a failed prompted save keeping its file selected, a save re-reading its
// row, activation focus, and the browser's settings written at the end.
#include "AudioFixtures.h"
#include "Main.h"
#include "PidlHelp.h"
#include "TAudioLibs.h"
#include "TBrowserPanel.h"
#include "TDirMonitorThread.h"
#include "TListSorter.h"
#include "TMessages.h"
#include "TProfileFile.h"
#include "TScriptedMessages.h"
#include "TSystemComboBox.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace {

class MainBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, QByteArray::fromStdString(Dir.File(name)));
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        qputenv("SDL_AUDIODRIVER", "dummy");
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;

        std::filesystem::create_directories(Audio / "sub");
        ASSERT_TRUE(Fixtures::WritePcmWav(File("a.wav"), {44100, 2, 0.5, 440.0}, SF_FORMAT_PCM_16));
        ASSERT_TRUE(Fixtures::WriteMp3(File("b.MP3"), {44100, 2, 0.5, 660.0}, false));
        ASSERT_TRUE(Fixtures::WritePcmWav(File("c.wav"), {22050, 1, 0.5, 330.0}, SF_FORMAT_PCM_16));
        std::ofstream(Audio / "notes.txt") << "running order";
        SetTitle(File("a.wav"), "Morning Jingle");
        QDir().mkpath(QString::fromStdString(Dir.File("settings")));
    }
    void TearDown() override { Binder.Release(); }

    std::string File(const char* name) const { return (Audio / name).string(); }
    QByteArray Path(const char* name) const { return QByteArray::fromStdString(File(name)); }
    QString IniPath() const { return QString::fromStdString(Dir.File("settings/Cuemark.ini")); }

    void SetTitle(const std::string& path, const char* title) {
        ASSERT_EQ(AudioLibs().OpenWavFile(path.c_str(), 0, 0), 0);
        AudioLibs().SetChunkInfo("DISP", title, uint16_t(strlen(title)));
        ASSERT_EQ(AudioLibs().CloseWavFile(), 0);
    }
    void WriteIni(const QByteArray& text) {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray StandardIni() const {
        return "[Main]\nFolder=" + QByteArray::fromStdString(Audio.string()) +
               "\n[Columns]\n4=Title\n3=Artist\nX=Junk\n99=Nothing\n"
               "[ColumnWidths]\nCount=9\nWidth0=210\nWidth3=140\nWidth8=33\n";
    }
    std::unique_ptr<TFrmMain> OpenBrowser() {
        auto window = std::make_unique<TFrmMain>(QList<QByteArray>());
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    static void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    static QByteArray SelectedPath(TXListView& list) {
        const QList<int> rows = list.SelectedRows();
        return rows.isEmpty() ? QByteArray() : list.ListModel().Entry(rows.first()).ParsingName;
    }
    static int RowOf(TXListView& list, const QByteArray& path) {
        for (int row = 0; row < list.ListModel().Count(); ++row)
            if (list.ListModel().Entry(row).ParsingName == path)
                return row;
        return -1;
    }

    TTempDir Dir;
    std::filesystem::path Audio = Dir.Path() / "audio";
    TScriptedMessages Messages;
    TAudioLibsBinder Binder;
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
    EXPECT_TRUE(w->CurrentFile.IsEmpty());
    EXPECT_EQ(w->Browser->cboSystem->currentText(), QStringLiteral("audio"));

    Press(Qt::Key_Down);
    EXPECT_EQ(w->CurrentFile.Bytes(), Path("a.wav"));
    EXPECT_EQ(w->PageControl->FieldText("DISP"), QStringLiteral("Morning Jingle"));
    Press(Qt::Key_Down); // capitals in the extension load too
    EXPECT_EQ(w->CurrentFile.Bytes(), Path("b.MP3"));
    Press(Qt::Key_Down);
    EXPECT_EQ(w->CurrentFile.Bytes(), Path("c.wav"));
    Press(Qt::Key_Down); // a text file empties the editor
    EXPECT_TRUE(w->CurrentFile.IsEmpty());
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(MainBrowserTest, APromptedSaveThatFailsKeepsTheFileSelectedAndTheEdits) {
    WriteIni(StandardIni());
    auto w = OpenBrowser();
    TXListView& list = *w->Browser->ListView;
    Press(Qt::Key_Down);
    ASSERT_EQ(w->CurrentFile.Bytes(), Path("a.wav"));
    w->PageControl->edtTitle->setFocus();
    QTest::keyClicks(w->PageControl->edtTitle, " Edit");
    w->PageControl->SetFieldText("BSTM", "10:00"); // a time without a date: refused
    ASSERT_TRUE(w->Modified);

    list.setFocus();
    Messages.QueueAnswer(TMessages::mbYes);
    Press(Qt::Key_Down);
    QApplication::processEvents(); // the selection is put back after the view's own step
    EXPECT_FALSE(Messages.Texts(TScriptedMessages::TKind::Error).isEmpty());
    EXPECT_EQ(SelectedPath(list), Path("a.wav"));
    EXPECT_EQ(w->CurrentFile.Bytes(), Path("a.wav"));
    EXPECT_TRUE(w->Modified);
    EXPECT_EQ(w->PageControl->FieldText("DISP"), QStringLiteral("Morning Jingle Edit"));

    // With the time taken out, the next move saves and goes on.
    w->PageControl->SetFieldText("BSTM", "");
    list.setFocus(); // the failed save left the focus on the refused field
    Messages.QueueAnswer(TMessages::mbYes);
    Press(Qt::Key_Down);
    EXPECT_EQ(w->CurrentFile.Bytes(), Path("b.MP3"));
    EXPECT_FALSE(w->Modified);
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
    ASSERT_FALSE(w->Modified);
    EXPECT_TRUE(list.ListModel().Entry(row).Stale);
    list.ReadEntryDetails(row, row);
    EXPECT_EQ(list.ListModel().Entry(row).Value(4), QStringLiteral("Morning Jingle 2"));
    // Notices are on again after the save.
    ASSERT_NE(list.FolderMonitor(), nullptr);
    EXPECT_TRUE(list.FolderMonitor()->IsActive());
    EXPECT_EQ(SelectedPath(list), Path("a.wav"));
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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
