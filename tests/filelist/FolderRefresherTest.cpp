// Keeping the list model in step with its folder on disk, without any view: notices that come
// during a pass wait for it and become one re-read, and a shown folder that another program
// renames or deletes is reported where it went.
#include "PidlHelp.h"
#include "TDirMonitorThread.h"
#include "TFolderListModel.h"
#include "TFolderRefresher.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FolderRefresher : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TFolderListModel Model;
    TFolderRefresher Refresher{Model};

    void SetUp() override { Home.BecomeHome(); }

    void Open(const fs::path& folder) {
        TPidl list;
        ASSERT_TRUE(GetPIDLFromPath(&Model.DesktopFolder(), folder.string(), list));
        Model.OpenFolder(list.Get());
    }

    void Notice() {
        QEvent notice(MSG_REFRESH_FOLDER);
        QCoreApplication::sendEvent(&Refresher, &notice);
    }

    QStringList Names() const {
        QStringList names;
        for (int row = 0; row < Model.Count(); ++row)
            names << Model.Entry(row).DisplayName;
        return names;
    }
};

// A burst of notices and a re-sorting refresh during a long pass: nothing is re-read under the
// pass; once it is over, one re-read runs, re-sorted because one of them asked for it.
TEST_F(FolderRefresher, NoticesDuringAPassBecomeOneRereadAfterIt) {
    const int items = 1001; // a pass over more rows than this shows progress
    for (int i = 0; i < items; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.txt", i);
        std::ofstream(Dir.Path() / name) << "x";
    }
    Open(Dir.Path());
    ASSERT_EQ(Model.Count(), items);
    ASSERT_NE(Refresher.Monitor(), nullptr);
    EXPECT_TRUE(Refresher.Monitor()->IsWatching());
    // Only the notices this test sends: the monitor's own would arrive at any moment.
    Refresher.SetChangeNotices(false);

    int stepsSeen = 0;
    int refreshesDuringPass = -1;
    QObject::connect(&Model, &TFolderListModel::PassStep, [&](int) {
        if (stepsSeen++ == 0) {
            std::ofstream(Dir.Path() / "a new.txt") << "x";
            Notice();
            Refresher.Refresh(true);
            Notice();
            Notice();
        }
        refreshesDuringPass = Refresher.RefreshCount();
    });
    QSignalSpy ended(&Model, &TFolderListModel::PassEnded);
    Model.ReadEntryDetails(0, items - 1);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(refreshesDuringPass, 0);
    EXPECT_EQ(Model.Count(), items);

    QTRY_COMPARE(Refresher.RefreshCount(), 1);
    ASSERT_EQ(Model.Count(), items + 1);
    EXPECT_EQ(Names().first(), QStringLiteral("a new.txt")); // re-sorted, not appended
    QTest::qWait(50);
    EXPECT_EQ(Refresher.RefreshCount(), 1);

    // Outside a pass a notice re-reads at once.
    fs::remove(Dir.Path() / "a new.txt");
    Notice();
    EXPECT_EQ(Refresher.RefreshCount(), 2);
    EXPECT_EQ(Model.Count(), items);
}

// Another program renames the shown folder: the monitor's notice leads to its new name, not to
// a re-read of a folder that is no longer there; shown there, it is watched again. Deleted, it
// is reported gone with the nearest folder left.
TEST_F(FolderRefresher, TheShownFolderRenamedIsFollowedAndDeletedIsReportedGone) {
    const fs::path outer = Dir.Path() / "outer";
    fs::create_directories(outer / "show");
    std::ofstream(outer / "show" / "a.wav") << "x";
    // As a view does: whatever place is reported is shown.
    QObject::connect(&Refresher, &TFolderRefresher::FolderMoved,
                     [&](const QByteArray& path) { Open(path.toStdString()); });
    QSignalSpy moved(&Refresher, &TFolderRefresher::FolderMoved);
    QSignalSpy gone(&Refresher, &TFolderRefresher::FolderGone);
    Open(outer / "show");
    ASSERT_EQ(Model.Count(), 1);

    fs::rename(outer / "show", outer / "shown later");
    QTRY_COMPARE_WITH_TIMEOUT(moved.size(), 1, 20000);
    EXPECT_EQ(moved[0][0].toByteArray(),
              QByteArray::fromStdString((outer / "shown later").string()));
    EXPECT_EQ(Model.FolderParsingName(),
              QByteArray::fromStdString((outer / "shown later").string()));
    EXPECT_EQ(gone.size(), 0);
    EXPECT_EQ(Refresher.RefreshCount(), 0);
    ASSERT_NE(Refresher.Monitor(), nullptr);
    EXPECT_EQ(Refresher.Monitor()->WatchedPath(), (outer / "shown later").string());

    std::ofstream(outer / "shown later" / "b.wav") << "x";
    QTRY_COMPARE_WITH_TIMEOUT(Model.Count(), 2, 20000);

    fs::remove_all(outer);
    QTRY_COMPARE_WITH_TIMEOUT(gone.size(), 1, 20000);
    EXPECT_EQ(gone[0][0].toByteArray(),
              QByteArray::fromStdString((outer / "shown later").string()));
    EXPECT_EQ(gone[0][1].toByteArray(), QByteArray::fromStdString(Dir.Path().string()));
    EXPECT_EQ(Model.FolderParsingName(), QByteArray::fromStdString(Dir.Path().string()));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
