#include "TDirMonitorThread.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Stands in for the main window: counts the notices it receives and may act inside one.
class TNoticeTarget : public QObject {
public:
    int Count = 0;
    std::function<void()> OnNotice;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() != MSG_REFRESH_FOLDER)
            return;
        ++Count;
        if (OnNotice)
            OnNotice();
    }
};

// Another program changing the folder.
void RunProgram(const QString& program, const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(program, arguments), 0) << program.toStdString();
}

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Serves the event loop until the target has `count` notices; false if that never happens
// (the limit only ends a broken run, it is not a timing expectation).
bool WaitForNotices(const TNoticeTarget& target, int count) {
    QDeadlineTimer deadline(30000);
    while (target.Count < count && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return target.Count >= count;
}

// Serves the event loop for a while, so that a notice that should not come has every chance.
void ServeEvents(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class DirMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(Dir.Path() / "sub"); }
    std::unique_ptr<TDirMonitorThread> Watch() {
        auto monitor = std::make_unique<TDirMonitorThread>(&Target);
        monitor->SetFolder(Dir.Path().string());
        EXPECT_TRUE(monitor->IsWatching());
        monitor->Start();
        return monitor;
    }
    // A change by another program that must be noticed, to end a "nothing else came" check.
    void ExpectMarkerNotice(int before) {
        RunProgram("touch", {Q(Dir.Path() / "marker")});
        ASSERT_TRUE(WaitForNotices(Target, before + 1));
    }

    TTempDir Dir;
    TNoticeTarget Target;
};

} // namespace

TEST_F(DirMonitorTest, SeesFilesCreatedAndRemovedByAnotherProgram) {
    auto monitor = Watch();
    RunProgram("touch", {Q(Dir.Path() / "new.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 1));
    RunProgram("mv", {Q(Dir.Path() / "new.wav"), Q(Dir.Path() / "renamed.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 2));
    RunProgram("chmod", {"a-w", Q(Dir.Path() / "renamed.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 3));
    RunProgram("rm", {"-f", Q(Dir.Path() / "renamed.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 4));
}

TEST_F(DirMonitorTest, ContentWritesAndSubFoldersAreNotWatched) {
    std::ofstream(Dir.Path() / "song.wav") << "data";
    auto monitor = Watch();
    RunProgram("sh", {"-c", "echo more >> \"$0\"", Q(Dir.Path() / "song.wav")});
    RunProgram("touch", {Q(Dir.Path() / "sub" / "inner.wav")});
    RunProgram("rm", {Q(Dir.Path() / "sub" / "inner.wav")});
    ServeEvents(300);
    EXPECT_EQ(Target.Count, 0);
    ExpectMarkerNotice(0);
}

TEST_F(DirMonitorTest, OwnWritesWhileNoticesAreOffAreDropped) {
    auto monitor = Watch();
    EXPECT_TRUE(monitor->IsActive());
    monitor->SetActive(false);
    EXPECT_FALSE(monitor->IsActive());
    // What a save, a batch write or a rename does in the folder.
    std::ofstream(Dir.Path() / "song.wav") << "data";
    fs::rename(Dir.Path() / "song.wav", Dir.Path() / "song2.wav");
    ::chmod((Dir.Path() / "song2.wav").c_str(), 0600);
    fs::remove(Dir.Path() / "song2.wav");
    monitor->SetActive(true);
    ServeEvents(300);
    EXPECT_EQ(Target.Count, 0);
    ExpectMarkerNotice(0);
}

// Changes made while the target handles a notice give exactly one more notice.
TEST_F(DirMonitorTest, BurstDuringARereadGivesOneMoreNotice) {
    auto monitor = Watch();
    Target.OnNotice = [&] {
        if (Target.Count == 1)
            RunProgram("sh", {"-c", "for i in 1 2 3 4 5 6 7 8 9 10; do touch \"$0/burst$i\"; done",
                              Q(Dir.Path())});
    };
    RunProgram("touch", {Q(Dir.Path() / "first.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 2));
    ServeEvents(300);
    EXPECT_EQ(Target.Count, 2);
}

TEST_F(DirMonitorTest, VirtualAndMissingFoldersAreNotWatched) {
    for (const std::string& path : {std::string("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"),
                                    (Dir.Path() / "missing").string(), std::string()}) {
        SCOPED_TRACE(path);
        TDirMonitorThread monitor(&Target);
        monitor.SetFolder(path);
        EXPECT_FALSE(monitor.IsWatching());
        EXPECT_EQ(monitor.WatchedPath(), path);
        monitor.Start();
        EXPECT_TRUE(monitor.wait(QDeadlineTimer(30000))) << "the thread ends at once";
    }
}

TEST_F(DirMonitorTest, SameFolderAgainKeepsTheWatch) {
    TDirMonitorThread monitor(&Target);
    monitor.SetFolder(Dir.Path().string());
    ASSERT_TRUE(monitor.IsWatching());
    monitor.SetFolder(Dir.Path().string());
    EXPECT_TRUE(monitor.IsWatching());
    monitor.SetFolder((Dir.Path() / "sub").string());
    EXPECT_TRUE(monitor.IsWatching());
    EXPECT_EQ(monitor.WatchedPath(), (Dir.Path() / "sub").string());
}

// Destroying the monitor while its notice waits for the user-interface thread must neither
// hang nor deliver the notice afterwards.
TEST_F(DirMonitorTest, DestructionWhileANoticeIsPending) {
    auto monitor = Watch();
    RunProgram("touch", {Q(Dir.Path() / "new.wav")});
    QThread::msleep(100); // let the thread post its delivery; without it the test is still valid
    monitor.reset();
    ServeEvents(100);
    EXPECT_EQ(Target.Count, 0);
}

// The target's handler may replace the monitor (a navigation inside the notice).
TEST_F(DirMonitorTest, HandlerMayDestroyTheMonitor) {
    auto monitor = Watch();
    Target.OnNotice = [&] { monitor.reset(); };
    RunProgram("touch", {Q(Dir.Path() / "new.wav")});
    ASSERT_TRUE(WaitForNotices(Target, 1));
    EXPECT_EQ(monitor, nullptr);
    ServeEvents(100);
    EXPECT_EQ(Target.Count, 1);
}

TEST_F(DirMonitorTest, TheFolderItselfRemovedEndsTheWatch) {
    fs::create_directories(Dir.Path() / "gone");
    TDirMonitorThread monitor(&Target);
    monitor.SetFolder((Dir.Path() / "gone").string());
    monitor.Start();
    RunProgram("rmdir", {Q(Dir.Path() / "gone")});
    ASSERT_TRUE(WaitForNotices(Target, 1));
    QDeadlineTimer deadline(30000);
    while (!monitor.isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(monitor.isFinished());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
