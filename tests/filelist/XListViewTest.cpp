// The folder list on real temporary folders, driven offscreen: showing and re-reading a
// folder, row texts and detail reading through the scripted service libraries, keys, and the
// column settings.
#include "PidlHelp.h"
#include "TDirMonitorThread.h"
#include "TListRoles.h"
#include "TListSorter.h"
#include "TProfileFile.h"
#include "TScriptedAudioLibs.h"
#include "TShellNamespace.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path, size_t bytes = 10) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

// Sets a file's last write time to a local wall-clock time.
void SetLocalMtime(const fs::path& path, const QDateTime& local) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(local.toSecsSinceEpoch());
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

QStringList Names(const TXListView& list) {
    QStringList names;
    for (int row = 0; row < list.ListModel().Count(); ++row)
        names << list.ListModel().Entry(row).DisplayName;
    return names;
}

QStringList SelectedNames(const TXListView& list) {
    QStringList names;
    for (int row : list.SelectedRows())
        names << list.ListModel().Entry(row).DisplayName;
    return names;
}

QString Cell(const TXListView& list, int row, int column) {
    return list.model()->index(row, column).data().toString();
}

int RowOf(const TXListView& list, const QString& name) {
    for (int row = 0; row < list.ListModel().Count(); ++row)
        if (list.ListModel().Entry(row).DisplayName == name)
            return row;
    return -1;
}

std::vector<TListColumn> WithColumns(std::initializer_list<int> numbers) {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (int n : numbers)
        columns.push_back({n, QString::number(n), 100});
    return columns;
}

class XListView : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TScriptedAudioLibs Libs;
    TXListView List;

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Home.BecomeHome();
        List.resize(600, 300);
    }

    std::string P(const std::string& name) const { return Dir.File(name); }

    void Browse(const fs::path& folder) {
        List.BrowseToPath(QByteArray::fromStdString(folder.string()));
    }

    // Paints the list as the screen would.
    void Paint() {
        List.show();
        List.viewport()->repaint();
        QCoreApplication::processEvents();
    }
};

TEST_F(XListView, FoldersFirstInNameOrderEveryItemListedRowZeroSelected) {
    fs::create_directory(Dir.Path() / "beta");
    fs::create_directory(Dir.Path() / "Alpha");
    Touch(Dir.Path() / "b.txt");
    Touch(Dir.Path() / "A.WAV");
    Touch(Dir.Path() / ".hidden");
    Touch(Dir.Path() / "c\xff.mp3"); // a name that is not UTF-8

    QSignalSpy folder(&List, &TXListView::OnFolderChange);
    QSignalSpy selection(&List, &TXListView::OnSelectionChange);
    Browse(Dir.Path());

    const QStringList names = Names(List);
    ASSERT_EQ(names.size(), 6);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"Alpha", "beta", ".hidden"}));
    EXPECT_EQ(names.mid(3, 2), (QStringList{"A.WAV", "b.txt"}));
    EXPECT_EQ(List.ListModel().Entry(5).ParsingName, QByteArray::fromStdString(P("c\xff.mp3")));
    EXPECT_TRUE(List.ListModel().Entry(2).Ghosted);
    EXPECT_EQ(List.FolderParsingName(), QByteArray::fromStdString(Dir.Path().string()));
    EXPECT_TRUE(List.IsFileSystemFolder());

    // Row 0 selected (a folder: not a file), then the folder notice.
    ASSERT_EQ(selection.size(), 1);
    EXPECT_EQ(selection[0][1].toByteArray(), QByteArray::fromStdString(P("Alpha")));
    EXPECT_FALSE(selection[0][2].toBool());
    EXPECT_EQ(folder.size(), 1);
    EXPECT_TRUE(List.FolderRefresher().Monitor() != nullptr &&
                List.FolderRefresher().Monitor()->IsWatching());
}

TEST_F(XListView, EmptyFolderAndUnknownPath) {
    QSignalSpy folder(&List, &TXListView::OnFolderChange);
    QSignalSpy selection(&List, &TXListView::OnSelectionChange);
    Browse(Dir.Path());
    EXPECT_EQ(List.ListModel().Count(), 0);
    ASSERT_EQ(folder.size(), 1);
    ASSERT_EQ(selection.size(), 1);
    EXPECT_TRUE(selection[0][1].toByteArray().isEmpty());
    EXPECT_TRUE(selection[0][2].toBool());

    Browse(Dir.Path() / "missing");
    EXPECT_EQ(List.FolderParsingName().toStdString(), TShellNamespace::ComputerParsingName);
    EXPECT_GT(List.ListModel().Count(), 0); // at least "/"
}

TEST_F(XListView, RefreshMergesAndTheSelectionStaysOnItsEntries) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
        Touch(Dir.Path() / name);
    Browse(Dir.Path());
    List.ListModel().ReadEntryDetails(0, 4);
    // Select b and d.
    List.SelectRow(1);
    List.selectionModel()->select(List.model()->index(3, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(SelectedNames(List), (QStringList{"b.wav", "d.wav"}));

    // Another program removes a and c and adds 0.wav (which sorts first) and z.wav.
    fs::remove(Dir.Path() / "a.wav");
    fs::remove(Dir.Path() / "c.wav");
    Touch(Dir.Path() / "0.wav");
    Touch(Dir.Path() / "z.wav");
    QSignalSpy selection(&List, &TXListView::OnSelectionChange);
    List.RefreshFolder(false);

    const QStringList names = Names(List);
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"b.wav", "d.wav", "e.wav"}));
    EXPECT_EQ(QStringList(names.mid(3, 2)).join(","), "0.wav,z.wav"); // added at the end
    EXPECT_EQ(SelectedNames(List), (QStringList{"b.wav", "d.wav"}));
    // Entries that stay keep their read details; added ones start stale.
    EXPECT_FALSE(List.ListModel().Entry(0).Stale);
    EXPECT_TRUE(List.ListModel().Entry(3).Stale);

    // Re-sorting moves rows with their selection.
    List.RefreshFolder(true);
    EXPECT_EQ(Names(List), (QStringList{"0.wav", "b.wav", "d.wav", "e.wav", "z.wav"}));
    EXPECT_EQ(SelectedNames(List), (QStringList{"b.wav", "d.wav"}));

    // The selected first entry itself vanishes: the notice reports the one still selected.
    fs::remove(Dir.Path() / "b.wav");
    selection.clear();
    List.RefreshFolder(false);
    EXPECT_EQ(SelectedNames(List), (QStringList{"d.wav"}));
    ASSERT_FALSE(selection.isEmpty());
    EXPECT_EQ(selection.last()[1].toByteArray(), QByteArray::fromStdString(P("d.wav")));
}

// A notice in a big folder builds entries for the new names only: the others are matched by
// their item and keep their entries; a touch or chmod by another program builds none.
TEST_F(XListView, ARefreshBuildsEntriesOnlyForNewItems) {
    for (int i = 0; i < 500; ++i)
        Touch(Dir.Path() / ("f" + std::to_string(i) + ".wav"), 0);
    Browse(Dir.Path());
    ASSERT_EQ(List.ListModel().Count(), 500);
    const TShellItem* kept = &List.ListModel().Entry(7);
    const long long built = List.ListModel().EntriesBuilt();

    fs::last_write_time(Dir.Path() / "f7.wav", fs::file_time_type::clock::now());
    ::chmod((Dir.Path() / "f8.wav").c_str(), 0600);
    List.RefreshFolder(false);
    EXPECT_EQ(List.ListModel().EntriesBuilt(), built);

    Touch(Dir.Path() / "new.wav");
    fs::remove(Dir.Path() / "f9.wav");
    List.RefreshFolder(true);
    EXPECT_EQ(List.ListModel().EntriesBuilt(), built + 1);
    EXPECT_EQ(List.ListModel().Count(), 500);
    EXPECT_TRUE(Names(List).contains(QStringLiteral("new.wav")));
    EXPECT_FALSE(Names(List).contains(QStringLiteral("f9.wav")));
    bool stillThere = false;
    for (int row = 0; row < List.ListModel().Count(); ++row)
        stillThere |= &List.ListModel().Entry(row) == kept;
    EXPECT_TRUE(stillThere);
}

TEST_F(XListView, AFileMadeByAnotherProgramAppearsAtTheEnd) {
    Touch(Dir.Path() / "b.wav");
    Touch(Dir.Path() / "c.wav");
    Browse(Dir.Path());
    ASSERT_EQ(List.ListModel().Count(), 2);
    ASSERT_EQ(std::system(("touch '" + P("a.wav") + "'").c_str()), 0);
    QTRY_COMPARE_WITH_TIMEOUT(List.ListModel().Count(), 3, 20000);
    EXPECT_EQ(Names(List), (QStringList{"b.wav", "c.wav", "a.wav"}));
    ASSERT_EQ(std::system(("rm '" + P("b.wav") + "'").c_str()), 0);
    QTRY_COMPARE_WITH_TIMEOUT(List.ListModel().Count(), 2, 20000);
    EXPECT_EQ(Names(List), (QStringList{"c.wav", "a.wav"}));
}

TEST_F(XListView, RowTextsOfTheDetails) {
    fs::create_directory(Dir.Path() / "sub");
    Touch(Dir.Path() / "small.wav", 1023);
    Touch(Dir.Path() / "notes.txt", 2048);
    Touch(Dir.Path() / "LOUD.WAV", 1024);
    Touch(Dir.Path() / "clip.mpg", 1024);
    Touch(Dir.Path() / "clip.mp1", 1024);
    // A sparse file past 4 GiB: the size column shows all of it.
    {
        const int fd = ::open(P("big.mp3").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, (off_t{5} << 30) + 7), 0);
        ::close(fd);
    }
    SetLocalMtime(Dir.Path() / "small.wav", QDateTime(QDate(2003, 3, 7), QTime(0, 0, 0)));
    SetLocalMtime(Dir.Path() / "notes.txt", QDateTime(QDate(2003, 3, 7), QTime(14, 5, 9)));

    auto& loud = Libs.Files[P("LOUD.WAV")];
    loud.Chunks["DISP"] = "Loud Title";
    loud.Tags["IART"] = "Artist X";
    loud.Tags["IGNR"] = "2004/01/31";
    loud.Tags["BSTM"] = "08:30";
    loud.Tags["IKEY"] = "";
    loud.Tags["BETM"] = "08:30";
    Libs.Files[P("small.wav")].Tags["IGNR"] = "2004/01/31";
    Libs.Files[P("big.mp3")];
    Libs.LengthMs = 83456;

    List.SetColumns(WithColumns({1, 2, 3, 4, 10, 11}));
    Browse(Dir.Path());
    List.ListModel().ReadEntryDetails(0, List.ListModel().Count() - 1);

    const int sub = RowOf(List, "sub"), small = RowOf(List, "small.wav"),
              notes = RowOf(List, "notes.txt"), big = RowOf(List, "big.mp3"),
              loudRow = RowOf(List, "LOUD.WAV");
    EXPECT_EQ(Cell(List, sub, 1), "");
    EXPECT_EQ(Cell(List, small, 1), "<1 KB");
    EXPECT_EQ(Cell(List, loudRow, 1), "1 KB");
    EXPECT_EQ(Cell(List, notes, 1), "2 KB");
    EXPECT_EQ(Cell(List, big, 1), "5,242,880 KB");
    EXPECT_EQ(Cell(List, small, 2), "3/7/2003");
    EXPECT_EQ(Cell(List, notes, 2), "3/7/2003 2:05:09 PM");

    EXPECT_EQ(Cell(List, loudRow, 3), "PCM 16 bit - 44100 Hz Stereo");
    EXPECT_EQ(Cell(List, loudRow, 4), "01:23.4");
    EXPECT_EQ(Cell(List, loudRow, 5), "Artist X");
    EXPECT_EQ(Cell(List, loudRow, 6), "Loud Title");
    EXPECT_EQ(Cell(List, loudRow, 7), "2004/01/31 08:30");
    EXPECT_EQ(Cell(List, loudRow, 8), " 08:30");
    EXPECT_EQ(Cell(List, small, 7), "2004/01/31");

    // Not audio: no library call, empty cells, not red.
    for (const char* name : {"notes.txt", "clip.mpg", "clip.mp1", "sub"}) {
        const int row = RowOf(List, name);
        EXPECT_EQ(Cell(List, row, 5), "") << name;
        EXPECT_FALSE(List.model()->index(row, 0).data(ReadFailedRole).toBool()) << name;
        for (const std::string& call : Libs.Calls)
            EXPECT_EQ(call.find(name), std::string::npos) << call;
    }
    // One open per audio file for all tag columns.
    EXPECT_EQ(Libs.CallCount("OpenWavFile"), 3);
    EXPECT_EQ(Libs.CallCount("CloseWavFile"), 3);
    EXPECT_FALSE(List.model()->index(loudRow, 0).data(ReadFailedRole).toBool());
    EXPECT_EQ(List.model()->headerData(6, Qt::Horizontal, ColumnNumberRole).toInt(), 4);
    EXPECT_EQ(List.model()->headerData(2, Qt::Horizontal, ColumnNumberRole).toInt(), 0);
}

TEST_F(XListView, OnlyTheFixedColumnsReadNoAudio) {
    for (int i = 0; i < 30; ++i)
        Touch(Dir.Path() / ("f" + std::to_string(i) + ".wav"));
    Browse(Dir.Path());
    Paint();
    List.ListModel().ReadEntryDetails(0, 29);
    EXPECT_FALSE(List.ListModel().Entry(29).Stale);
    EXPECT_TRUE(Libs.Calls.empty());
}

TEST_F(XListView, FailedReadsAreRedUntilARereadSucceeds) {
    Touch(Dir.Path() / "bad.wav");
    Touch(Dir.Path() / "odd.wav");
    List.SetColumns(WithColumns({3}));
    Browse(Dir.Path());
    const auto red = [&](const char* name) {
        return List.model()->index(RowOf(List, name), 0).data(ReadFailedRole).toBool();
    };
    Libs.Files[P("odd.wav")].Tags["IART"] = "Someone";
    List.ListModel().ReadEntryDetails(0, 1);
    EXPECT_TRUE(red("bad.wav"));
    EXPECT_EQ(List.model()->index(RowOf(List, "bad.wav"), 0).data(Qt::ForegroundRole),
              QVariant(QBrush(QColor(Qt::red))));
    EXPECT_FALSE(red("odd.wav"));

    // The file is repaired and saved from the editor: its row is read again and not red.
    Libs.Files[P("bad.wav")].Tags["IART"] = "Fixed";
    List.SelectRow(RowOf(List, "bad.wav"));
    List.RefreshSelectedEntry();
    List.ListModel().ReadEntryDetails(0, 1);
    EXPECT_FALSE(red("bad.wav"));
    EXPECT_EQ(Cell(List, RowOf(List, "bad.wav"), 3), "Fixed");

    // Format and length failures mark the row too.
    Libs.FormatKnown = false;
    List.SetColumns(WithColumns({1, 2, 3}));
    List.MarkAllStale();
    List.ListModel().ReadEntryDetails(0, 1);
    EXPECT_TRUE(red("odd.wav"));
    EXPECT_EQ(Cell(List, RowOf(List, "odd.wav"), 3), "Unknown");
    EXPECT_EQ(Cell(List, RowOf(List, "odd.wav"), 4), "Zero");
}

TEST_F(XListView, EnterEscapeDeleteAndSelectAllAtTheFocusedList) {
    fs::create_directory(Dir.Path() / "sub");
    Touch(Dir.Path() / "sub" / "inner.wav");
    Touch(Dir.Path() / "a.wav");
    Touch(Dir.Path() / "b.wav");
    Browse(Dir.Path());
    List.show();
    List.activateWindow();
    List.setFocus();
    QApplication::processEvents();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);

    QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(List.SelectedCount(), 3);

    QSignalSpy escape(&List, &TXListView::OnEscapeKey);
    QTest::keyClick(focused, Qt::Key_Escape);
    EXPECT_EQ(List.SelectedCount(), 0);
    EXPECT_EQ(escape.size(), 1);

    // Files only: each gets its default action, in row order.
    QSignalSpy open(&List, &TXListView::OnDefaultAction);
    List.SelectRow(RowOf(List, "a.wav"));
    List.selectionModel()->select(List.model()->index(RowOf(List, "b.wav"), 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(focused, Qt::Key_Return);
    ASSERT_EQ(open.size(), 2);
    EXPECT_EQ(open[0][1].toByteArray(), QByteArray::fromStdString(P("a.wav")));
    EXPECT_EQ(open[1][1].toByteArray(), QByteArray::fromStdString(P("b.wav")));

    QSignalSpy del(&List, &TXListView::OnDeleteKey);
    QTest::keyClick(focused, Qt::Key_Delete);
    EXPECT_EQ(del.size(), 1);

    // With the folder selected too (folders come first in the rows) the folder is shown.
    QSignalSpy folder(&List, &TXListView::OnFolderChange);
    List.selectAll();
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_EQ(open.size(), 2);
    ASSERT_EQ(folder.size(), 1);
    EXPECT_EQ(Names(List), QStringList{"inner.wav"});

    // Double click on the file: its default action; the list stays.
    const QRect cell = List.visualRect(List.model()->index(0, 0));
    QTest::mouseClick(List.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(List.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(open.size(), 3);
    EXPECT_EQ(Names(List), QStringList{"inner.wav"});
}

TEST_F(XListView, RightClickBelowTheRowsAsksForNoMenu) {
    Touch(Dir.Path() / "a.wav");
    Browse(Dir.Path());
    List.show();
    QSignalSpy menu(&List, &TXListView::OnContextMenu);
    const QPoint empty(5, List.viewport()->height() - 5);
    QContextMenuEvent below(QContextMenuEvent::Mouse, empty, List.viewport()->mapToGlobal(empty));
    QApplication::sendEvent(List.viewport(), &below);
    EXPECT_EQ(menu.size(), 0);
    const QPoint onRow = List.visualRect(List.model()->index(0, 0)).center();
    QContextMenuEvent on(QContextMenuEvent::Mouse, onRow, List.viewport()->mapToGlobal(onRow));
    QApplication::sendEvent(List.viewport(), &on);
    ASSERT_EQ(menu.size(), 1);
    EXPECT_EQ(menu[0][2].value<QList<int>>(), QList<int>{0});
}

TEST_F(XListView, ColumnSettingsAtStartAndEnd) {
    const QString ini = QString::fromStdString(Dir.File("Cuemark.ini"));
    TProfileFile settings(ini);
    settings.WriteString("Columns", "3", "Artist");
    settings.WriteString("Columns", "4", "Title");
    settings.WriteInteger("ColumnWidths", "Count", 12);
    settings.WriteInteger("ColumnWidths", "Width4", 77);
    List.ReadColumnSettings(settings);
    ASSERT_EQ(List.model()->columnCount(), 5);
    EXPECT_EQ(List.header()->sectionSize(0), 150);
    EXPECT_EQ(List.header()->sectionSize(4), 77);
    EXPECT_EQ(List.model()->headerData(3, Qt::Horizontal).toString(), "Artist");

    List.header()->resizeSection(3, 130);
    ASSERT_TRUE(List.WriteColumnWidths(settings));
    EXPECT_EQ(settings.ReadInteger("ColumnWidths", "Count", 0), 5);
    EXPECT_EQ(settings.ReadInteger("ColumnWidths", "Width3", 0), 130);
    EXPECT_EQ(settings.ReadInteger("ColumnWidths", "Width1", 0), 75);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
