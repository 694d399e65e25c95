// The folder list's status bar on real temporary folders, driven offscreen: the progress of
// long passes and Escape cancelling them, the reason a folder cannot be read, and where the
// list went when another program renamed or deleted its folder.
#include "TListSorter.h"
#include "TListStatus.h"
#include "TScriptedAudioLibs.h"
#include "TXListView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path, size_t bytes = 10) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

QStringList Names(const TXListView& list) {
    QStringList names;
    for (int row = 0; row < list.ListModel().Count(); ++row)
        names << list.ListModel().Entry(row).DisplayName;
    return names;
}

std::vector<TListColumn> WithColumns(std::initializer_list<int> numbers) {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (int n : numbers)
        columns.push_back({n, QString::number(n), 100});
    return columns;
}

class ListStatus : public ::testing::Test {
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

TEST_F(ListStatus, AFolderThatCannotBeReadShowsNoRowsAndSaysWhy) {
    QStatusBar status;
    TListStatus listStatus(List, status);
    const fs::path closed = Dir.Path() / "closed";
    fs::create_directory(closed);
    Touch(closed / "a.wav");
    ::chmod(closed.c_str(), 0);
    ::chmod(Dir.Path().c_str(), 0755);
    // Root reads every folder: the list looks as an ordinary user (nobody) for this.
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0)
        GTEST_SKIP() << "cannot act as an ordinary user";
    Browse(closed);
    const int rows = List.ListModel().Count();
    const QString shown = status.currentMessage();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(List.FolderParsingName(), QByteArray::fromStdString(closed.string()));
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(shown, QString::fromLocal8Bit(std::strerror(EACCES)));

    // A folder that can be read takes the reason away.
    Browse(Dir.Path());
    EXPECT_EQ(List.ListModel().Count(), 1);
    EXPECT_TRUE(status.currentMessage().isEmpty());
    ::chmod(closed.c_str(), 0700);
}

// Another program renames the shown folder: the list follows it and its notices go on. Then
// it deletes the folder and its parent: the list shows the nearest folder left and says so.
TEST_F(ListStatus, TheShownFolderRenamedIsFollowedAndDeletedLeadsToItsParent) {
    QStatusBar status;
    TListStatus listStatus(List, status);
    const fs::path outer = Dir.Path() / "outer";
    fs::create_directories(outer / "show");
    Touch(outer / "show" / "a.wav");
    Browse(outer / "show");
    ASSERT_EQ(List.ListModel().Count(), 1);

    ASSERT_EQ(std::system(("mv '" + (outer / "show").string() + "' '" +
                           (outer / "shown later").string() + "'")
                              .c_str()),
              0);
    QTRY_COMPARE_WITH_TIMEOUT(List.FolderParsingName(),
                              QByteArray::fromStdString((outer / "shown later").string()), 20000);
    EXPECT_EQ(Names(List), QStringList{"a.wav"});
    ASSERT_EQ(std::system(("touch '" + (outer / "shown later" / "b.wav").string() + "'").c_str()),
              0);
    QTRY_COMPARE_WITH_TIMEOUT(List.ListModel().Count(), 2, 20000);

    ASSERT_EQ(std::system(("rm -r '" + outer.string() + "'").c_str()), 0);
    QTRY_COMPARE_WITH_TIMEOUT(List.FolderParsingName(),
                              QByteArray::fromStdString(Dir.Path().string()), 20000);
    EXPECT_TRUE(status.currentMessage().contains(QStringLiteral("no longer exists")))
        << status.currentMessage().toStdString();
    // F5 on a folder that is gone also leads to its parent rather than keeping old rows.
    fs::create_directories(Dir.Path() / "again");
    Browse(Dir.Path() / "again");
    fs::remove(Dir.Path() / "again");
    List.RefreshFolder(true);
    EXPECT_EQ(List.FolderParsingName(), QByteArray::fromStdString(Dir.Path().string()));

    // A new folder swapped in under the old name is shown, with no word of a loss.
    fs::create_directories(Dir.Path() / "swapped");
    Browse(Dir.Path() / "swapped");
    status.clearMessage();
    fs::rename(Dir.Path() / "swapped", Dir.Path() / "old");
    fs::create_directories(Dir.Path() / "swapped");
    Touch(Dir.Path() / "swapped" / "fresh.wav");
    List.RefreshFolder(true);
    EXPECT_EQ(List.FolderParsingName(),
              QByteArray::fromStdString((Dir.Path() / "swapped").string()));
    EXPECT_EQ(Names(List), QStringList{"fresh.wav"});
    EXPECT_TRUE(status.currentMessage().isEmpty()) << status.currentMessage().toStdString();
}

// Escape during a long pass ends it: the rows read keep their values, the later ones stay
// unread, an unfinished sort is not applied and the status bar says so. A click that arrives
// during the pass is dropped, not acted on later.
TEST_F(ListStatus, EscapeCancelsALongPassAndClicksDuringItAreDropped) {
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track%03d.wav", i);
        Touch(Dir.Path() / name);
        Libs.Files[P(name)].Tags["IART"] = "Artist " + std::to_string(2000 - i);
    }
    QStatusBar status;
    TListStatus listStatus(List, status);
    List.SetColumns(WithColumns({3, 5}));
    Browse(Dir.Path());
    TListSorter sorter(List);
    const QStringList before = Names(List);
    List.SelectRow(0);
    Paint();
    const int artist = 3; // after Name, Size and Modified: column 3, Artist
    ASSERT_EQ(List.ListModel().Columns()[artist].Number, 3);

    const QPoint at = List.visualRect(List.model()->index(3, 0)).center();
    QCoreApplication::postEvent(List.viewport(),
                                new QMouseEvent(QEvent::MouseButtonPress, at,
                                                List.viewport()->mapToGlobal(at), Qt::LeftButton,
                                                Qt::LeftButton, Qt::NoModifier));
    // Escape typed at the focused list while the pass runs (as the keyboard delivers it:
    // shortcut override first, then the key).
    List.activateWindow();
    List.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&List));
    ASSERT_EQ(QApplication::focusWidget(), &List);
    QTimer::singleShot(0, &List,
                       [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    sorter.SortByColumn(artist);

    EXPECT_TRUE(List.ListModel().LastPassCancelled());
    EXPECT_TRUE(List.ListModel().Entry(59).Stale);
    EXPECT_EQ(sorter.SortColumn(), 0);
    EXPECT_EQ(Names(List), before);
    EXPECT_EQ(List.SelectedRows(), QList<int>{0});
    EXPECT_TRUE(status.currentMessage().startsWith(QStringLiteral("Cancelled")));
    QCoreApplication::processEvents();
    EXPECT_EQ(List.SelectedRows(), QList<int>{0});

    // Without Escape the same sort runs to its end.
    sorter.SortByColumn(artist);
    EXPECT_FALSE(List.ListModel().LastPassCancelled());
    EXPECT_EQ(sorter.SortColumn(), artist);
    EXPECT_EQ(Names(List).first(), QStringLiteral("track059.wav"));
}

TEST_F(ListStatus, OnlyVisibleRowsAreReadAndScrollingReadsAScreen) {
    for (int i = 0; i < 400; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track%03d.wav", i);
        Touch(Dir.Path() / name);
        Libs.Files[P(name)].Tags["IART"] = "A";
    }
    QStatusBar status;
    status.resize(600, 20);
    int bars = 0;
    struct TBarCounter : QObject {
        int* Count;
        explicit TBarCounter(int* count) : Count(count) {}
        bool eventFilter(QObject*, QEvent* e) override {
            // The bar is still being made when it is added: count widgets added.
            if (e->type() == QEvent::ChildAdded &&
                static_cast<QChildEvent*>(e)->child()->isWidgetType())
                ++*Count;
            return false;
        }
    } counter(&bars);
    status.installEventFilter(&counter);
    TListStatus listStatus(List, status);
    List.SetColumns(WithColumns({3, 5}));
    Browse(Dir.Path());
    EXPECT_EQ(Libs.CallCount("OpenWavFile"), 0); // nothing read before painting
    Paint();

    const int first = List.indexAt(QPoint(1, 1)).row();
    const int last = List.indexAt(QPoint(1, List.viewport()->height() - 1)).row();
    ASSERT_EQ(first, 0);
    ASSERT_GT(last, 11);
    EXPECT_EQ(Libs.CallCount("OpenWavFile"), last - first + 1);
    EXPECT_TRUE(List.ListModel().Entry(last + 1).Stale);
    // Format and length are measured only when their columns are shown.
    EXPECT_EQ(Libs.CallCount("SN_GetWaveFileFormat"), 0);
    EXPECT_EQ(Libs.CallCount("SN_PlayGetLengthMsFile"), 0);
    EXPECT_EQ(bars, 1); // more than eleven unread rows
    EXPECT_EQ(listStatus.Progress(), nullptr);

    // Repainting reads nothing again; scrolling to the end reads about a screen.
    Paint();
    EXPECT_EQ(Libs.CallCount("OpenWavFile"), last - first + 1);
    List.scrollToBottom();
    Paint();
    const int screen = last - first + 1;
    EXPECT_LE(Libs.CallCount("OpenWavFile"), 2 * screen + 1);
    EXPECT_FALSE(List.ListModel().Entry(399).Stale);
    EXPECT_TRUE(List.ListModel().Entry(200).Stale);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
