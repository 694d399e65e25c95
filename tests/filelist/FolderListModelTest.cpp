// The list model as the one writer of its entries: every change a view shows (cut marks, a
// rename, a batch value) is announced, and Qt's model tester watches the model throughout.
#include "PidlHelp.h"
#include "TColumnTexts.h"
#include "TDetailReader.h"
#include "TFolderListModel.h"
#include "TListRoles.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QSignalSpy>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

namespace {

namespace fs = std::filesystem;

class FolderListModel : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TFolderListModel Model;
    std::unique_ptr<QAbstractItemModelTester> Tester;

    void SetUp() override {
        Home.BecomeHome();
        for (const char* name : {"a.wav", "b.mp3", "c.txt"})
            std::ofstream(Dir.Path() / name) << "x";
        fs::create_directory(Dir.Path() / "sub");
        Tester = std::make_unique<QAbstractItemModelTester>(
            &Model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        TPidl folder;
        ASSERT_TRUE(GetPIDLFromPath(&Model.DesktopFolder(), Dir.Path().string(), folder));
        ASSERT_TRUE(Model.OpenFolder(folder.Get()));
        ASSERT_EQ(Model.Count(), 4);
    }

    QByteArray Path(const std::string& name) const {
        return QByteArray::fromStdString(Dir.File(name));
    }
    // Rows announced by dataChanged signals, in order.
    static QList<int> Rows(const QSignalSpy& spy) {
        QList<int> rows;
        for (const QList<QVariant>& signal : spy) {
            const QModelIndex first = signal[0].value<QModelIndex>();
            const QModelIndex last = signal[1].value<QModelIndex>();
            EXPECT_EQ(first.row(), last.row());
            rows << first.row();
        }
        return rows;
    }
};

TEST_F(FolderListModel, PathOfRowAndRowOfPathAgree) {
    for (int row = 0; row < Model.Count(); ++row) {
        const QByteArray path = Model.PathOfRow(row);
        EXPECT_EQ(path, Path(Model.Entry(row).DisplayName.toStdString()));
        EXPECT_EQ(Model.RowOfPath(path), row);
    }
    EXPECT_EQ(Model.RowOfPath(Path("missing.wav")), -1);
    EXPECT_EQ(Model.RowOfPath(QByteArray()), -1);
    EXPECT_TRUE(Model.PathOfRow(-1).isEmpty());
    EXPECT_TRUE(Model.PathOfRow(Model.Count()).isEmpty());
}

TEST_F(FolderListModel, CutMarksAnnounceExactlyTheRowsThatChange) {
    const int a = Model.RowOfPath(Path("a.wav"));
    const int b = Model.RowOfPath(Path("b.mp3"));
    const int c = Model.RowOfPath(Path("c.txt"));
    QSignalSpy changed(&Model, &QAbstractItemModel::dataChanged);

    EXPECT_TRUE(Model.SetCutMarks({Path("a.wav"), Path("b.mp3")}));
    EXPECT_EQ(Rows(changed), (QList<int>{std::min(a, b), std::max(a, b)}));
    EXPECT_TRUE(Model.index(a, 0).data(FadedIconRole).toBool());
    EXPECT_FALSE(Model.index(c, 0).data(FadedIconRole).toBool());

    // The same marks again change nothing and say so.
    changed.clear();
    EXPECT_FALSE(Model.SetCutMarks({Path("a.wav"), Path("b.mp3")}));
    EXPECT_TRUE(changed.isEmpty());

    // A new cut moves the marks: b loses its mark, c gains one.
    EXPECT_TRUE(Model.SetCutMarks({Path("a.wav"), Path("c.txt")}));
    EXPECT_EQ(Rows(changed), (QList<int>{std::min(b, c), std::max(b, c)}));

    changed.clear();
    EXPECT_TRUE(Model.SetCutMarks({}));
    EXPECT_EQ(Rows(changed), (QList<int>{std::min(a, c), std::max(a, c)}));
    for (int row = 0; row < Model.Count(); ++row)
        EXPECT_FALSE(Model.index(row, 0).data(FadedIconRole).toBool()) << row;
}

TEST_F(FolderListModel, RenameEntryTakesTheNewItemAndAnnouncesItsRow) {
    const int row = Model.RowOfPath(Path("a.wav"));
    Model.SetCutMarks({Path("a.wav")});
    fs::rename(Dir.Path() / "a.wav", Dir.Path() / "z.mp2");
    QSignalSpy changed(&Model, &QAbstractItemModel::dataChanged);

    ASSERT_TRUE(Model.RenameEntry(row, "z.mp2"));
    EXPECT_EQ(Rows(changed), QList<int>{row});
    EXPECT_EQ(Model.index(row, 0).data().toString(), "z.mp2");
    EXPECT_EQ(Model.Entry(row).ParsingName, Path("z.mp2"));
    EXPECT_EQ(Model.PathOfRow(row), Path("z.mp2"));
    EXPECT_EQ(Model.RowOfPath(Path("a.wav")), -1);
    EXPECT_FALSE(Model.index(row, 0).data(FadedIconRole).toBool());
    EXPECT_TRUE(Model.Entry(row).Stale);

    // Out of range: nothing changes.
    changed.clear();
    EXPECT_FALSE(Model.RenameEntry(Model.Count(), "y.wav"));
    EXPECT_TRUE(changed.isEmpty());
}

// A view's editor renames through the model: only the name of a renamable row is editable, and
// only once the model is given a renamer; what the renamer does on disk decides the outcome.
TEST_F(FolderListModel, AnEditedNameIsRenamedThroughTheRenamerAndAnnounced) {
    const int row = Model.RowOfPath(Path("a.wav"));
    const QModelIndex name = Model.index(row, 0);
    EXPECT_FALSE(name.flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(Model.setData(name, "b.wav"));

    QList<QByteArray> asked;
    bool decline = false;
    Model.SetRenamer([&](const QByteArray& path, const QByteArray& newName) {
        asked << path + " -> " + newName;
        std::optional<QByteArray> result;
        if (!decline) {
            const QByteArray target = QByteArray::fromStdString(Dir.File(newName.toStdString()));
            if (::rename(path.constData(), target.constData()) == 0)
                result = target;
        }
        return result;
    });
    EXPECT_TRUE(name.flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(Model.index(row, 1).flags() & Qt::ItemIsEditable);
    EXPECT_EQ(name.data(Qt::EditRole).toString(), "a.wav");
    EXPECT_TRUE(Model.index(Model.RowOfPath(Path("sub")), 0).data(IsFolderRole).toBool());

    // Unchanged or empty: the renamer is not asked. Declined: nothing changes.
    EXPECT_FALSE(Model.setData(name, "a.wav"));
    EXPECT_FALSE(Model.setData(name, ""));
    EXPECT_TRUE(asked.isEmpty());
    decline = true;
    QSignalSpy changed(&Model, &QAbstractItemModel::dataChanged);
    QSignalSpy renamed(&Model, &TFolderListModel::EntryRenamed);
    EXPECT_FALSE(Model.setData(name, "d.wav"));
    EXPECT_EQ(asked, QList<QByteArray>{Path("a.wav") + " -> d.wav"});
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_TRUE(renamed.isEmpty());
    EXPECT_TRUE(fs::exists(Dir.Path() / "a.wav"));

    decline = false;
    EXPECT_TRUE(Model.setData(name, "d.wav"));
    EXPECT_TRUE(fs::exists(Dir.Path() / "d.wav"));
    EXPECT_EQ(Rows(changed), QList<int>{row});
    ASSERT_EQ(renamed.size(), 1);
    EXPECT_EQ(renamed[0][0].toByteArray(), Path("a.wav"));
    EXPECT_EQ(renamed[0][1].toByteArray(), Path("d.wav"));
    EXPECT_EQ(Model.PathOfRow(row), Path("d.wav"));
    EXPECT_EQ(name.data().toString(), "d.wav");
}

TEST_F(FolderListModel, EntryValueIsAnnounced) {
    const int row = Model.RowOfPath(Path("b.mp3"));
    QSignalSpy changed(&Model, &QAbstractItemModel::dataChanged);
    Model.SetEntryValue(row, 1, "Morning spot");
    EXPECT_EQ(Rows(changed), QList<int>{row});
    EXPECT_EQ(Model.Entry(row).Value(1), "Morning spot");
}

// A big folder's entries are made as a pass with progress (a share takes seconds for them);
// while it runs the rows of the folder left are gone, so a repaint reads none of them against
// the new folder. A small folder opens without progress.
TEST_F(FolderListModel, OpeningABigFolderIsAPassWithProgressOverNoOldRows) {
    TTempDir big;
    const int items = TFolderListModel::EnumerateProgressItems + 1;
    for (int i = 0; i < items; ++i)
        std::ofstream(big.Path() / ("f" + std::to_string(i))) << "x";
    struct TSeen {
        int Begins = 0, Steps = 0, Ends = 0, LastPercent = -1;
        bool StepsInOrder = true, OldRowsShown = false;
    } seen;
    QObject::connect(&Model, &TFolderListModel::PassBegun, [&] { ++seen.Begins; });
    QObject::connect(&Model, &TFolderListModel::PassStep, [&](int percent) {
        ++seen.Steps;
        seen.StepsInOrder = seen.StepsInOrder && percent >= seen.LastPercent && percent < 100;
        seen.LastPercent = percent;
        seen.OldRowsShown = seen.OldRowsShown || Model.Count() != 0 || !Model.IsReading();
    });
    QObject::connect(&Model, &TFolderListModel::PassEnded, [&] { ++seen.Ends; });

    TPidl folder;
    ASSERT_TRUE(GetPIDLFromPath(&Model.DesktopFolder(), big.Path().string(), folder));
    ASSERT_TRUE(Model.OpenFolder(folder.Get()));
    EXPECT_EQ(Model.Count(), items);
    EXPECT_FALSE(Model.IsReading());
    EXPECT_EQ(seen.Begins, 1);
    EXPECT_EQ(seen.Ends, 1);
    EXPECT_EQ(seen.Steps, items);
    EXPECT_TRUE(seen.StepsInOrder);
    EXPECT_FALSE(seen.OldRowsShown);

    seen = TSeen();
    ASSERT_TRUE(GetPIDLFromPath(&Model.DesktopFolder(), Dir.Path().string(), folder));
    ASSERT_TRUE(Model.OpenFolder(folder.Get()));
    EXPECT_EQ(Model.Count(), 4);
    EXPECT_EQ(seen.Begins + seen.Steps + seen.Ends, 0);
}

// The Modified column shows the file's time as the local wall clock, read through the
// listing's examination or a new one alike: compared with Qt's own local time of the same
// instant, in a zone with summer time, on both sides of its change.
TEST_F(FolderListModel, ModifiedShowsTheLocalWallClock) {
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    ::tzset();
    for (const long long seconds : {1625412645LL, 1609502400LL}) { // July (EDT), January (EST)
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, Dir.File("a.wav").c_str(), times, 0), 0);
        const QString expected =
            TColumnTexts::ModifiedText(QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime));
        TPidl folder;
        ASSERT_TRUE(GetPIDLFromPath(&Model.DesktopFolder(), Dir.Path().string(), folder));
        ASSERT_TRUE(Model.OpenFolder(folder.Get())); // the pass below takes the listing's stat
        const int row = Model.RowOfPath(Path("a.wav"));
        Model.ReadEntryDetails(0, Model.Count() - 1);
        EXPECT_EQ(Model.index(row, 2).data().toString(), expected);
        Model.MarkAllStale(); // this pass examines the file anew
        Model.ReadEntryDetails(0, Model.Count() - 1);
        EXPECT_EQ(Model.index(row, 2).data().toString(), expected);
        EXPECT_EQ(Model.Entry(row).ModifiedTime.toSecsSinceEpoch(), seconds);
    }
    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    ::tzset();
}

// Local times around zone changes, one after another as a pass meets them (the offset of one
// quarter hour is kept), equal Qt's own; a change of zone between passes is followed.
TEST(LocalTimeTest, FollowsDaylightSavingAndZoneChanges) {
    const QByteArray oldZone = qgetenv("TZ");
    struct TZoneCase {
        const char* Zone;
        long long Change; // a change of the zone's offset, in seconds since the epoch
    };
    const TZoneCase cases[] = {
        {"America/New_York", 1772953200LL},    // 2026-03-08 07:00 UTC, EST to EDT
        {"America/New_York", 1793512800LL},    // 2026-11-01 06:00 UTC, EDT to EST
        {"Australia/Lord_Howe", 1775314800LL}, // 2026-04-04 15:00 UTC, half an hour back
        {"Asia/Kolkata", 0LL},                 // no change: +05:30 throughout
    };
    for (const TZoneCase& c : cases) {
        SCOPED_TRACE(c.Zone);
        qputenv("TZ", c.Zone);
        TDetailReader::ZoneMayHaveChanged();
        for (long long at = c.Change - 1800; at <= c.Change + 1800; at += 299) {
            for (const long long seconds : {at, c.Change - 1, c.Change, c.Change + 1}) {
                const QDateTime expected = QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
                const QDateTime local = TDetailReader::LocalTime(seconds * 1000000000LL + 5);
                EXPECT_EQ(local.offsetFromUtc(), expected.offsetFromUtc()) << seconds;
                EXPECT_EQ(local.toSecsSinceEpoch(), seconds);
            }
        }
    }
    // The same instant in one zone after another.
    for (const char* zone : {"America/New_York", "Asia/Kolkata", "UTC"}) {
        qputenv("TZ", zone);
        TDetailReader::ZoneMayHaveChanged();
        const long long seconds = 1781000000LL;
        EXPECT_EQ(TDetailReader::LocalTime(seconds * 1000000000LL).offsetFromUtc(),
                  QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime).offsetFromUtc())
            << zone;
    }
    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    TDetailReader::ZoneMayHaveChanged();
}

// What a row's item allows is asked when needed, as the user's rights are then: a read-only
// file in one's own folder can still be deleted, a read-only folder's file only copied, an
// unreadable file not copied, and a folder made read-only after the listing is seen as such.
// Checked as an ordinary user (nobody) in a child process when the tests run as root.
std::string CheckRowCapabilities(const fs::path& base) {
    std::string failures;
    const std::uint32_t change = saCanDelete | saCanRename | saCanMove;
    TFolderListModel model;
    const auto rowsOf = [&](const fs::path& folder) {
        TPidl id;
        std::map<std::string, std::uint32_t> rows;
        if (!GetPIDLFromPath(&model.DesktopFolder(), folder.string(), id) ||
            !model.OpenFolder(id.Get()))
            return rows;
        for (int row = 0; row < model.Count(); ++row)
            rows[model.Entry(row).DisplayName.toStdString()] = model.Capabilities(row);
        return rows;
    };
    const auto check = [&](bool ok, const std::string& what) {
        if (!ok)
            failures += what + "\n";
    };
    auto open = rowsOf(base / "open");
    check(open["mine.wav"] == (saCanCopy | change), "own file");
    check(open["readonly.wav"] == (saCanCopy | change), "read-only file in a writable folder");
    check(open["secret.wav"] == change, "unreadable file: no copy");
    auto kept = rowsOf(base / "readonly");
    check(kept["kept.wav"] == saCanCopy, "read-only folder's file");

    TPidl id;
    GetPIDLFromPath(&model.DesktopFolder(), (base / "open").string(), id);
    model.OpenFolder(id.Get());
    ::chmod((base / "open").c_str(), 0555);
    const int row = model.RowOfPath(QByteArray::fromStdString((base / "open/mine.wav").string()));
    check(row >= 0 && model.Capabilities(row) == saCanCopy, "folder made read-only after listing");
    ::chmod((base / "open").c_str(), 0755);
    return failures;
}

TEST(FolderListRights, CapabilitiesAreAskedWhenNeeded) {
    TTempDir dir;
    const fs::path base = dir.Path();
    fs::create_directories(base / "open");
    fs::create_directories(base / "readonly");
    for (const char* name :
         {"open/mine.wav", "open/readonly.wav", "open/secret.wav", "readonly/kept.wav"})
        std::ofstream(base / name) << "x";
    ::chmod((base / "open/readonly.wav").c_str(), 0444);
    ::chmod((base / "open/secret.wav").c_str(), 0600);
    ::chmod((base / "readonly").c_str(), 0555);
    ::chmod(base.c_str(), 0755);
    if (::geteuid() != 0) {
        ::chmod((base / "open/secret.wav").c_str(), 0);
        EXPECT_EQ(CheckRowCapabilities(base), "");
    } else {
        // Root passes every permission check: look as nobody, in a child process. The
        // secret file stays root's.
        for (const char* name : {"open", "open/mine.wav", "open/readonly.wav"})
            ASSERT_EQ(::chown((base / name).c_str(), 65534, 65534), 0) << name;
        EXPECT_EXIT(
            {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    std::_Exit(2);
                const std::string failures = CheckRowCapabilities(base);
                std::fputs(failures.c_str(), stderr);
                std::_Exit(failures.empty() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
    ::chmod((base / "readonly").c_str(), 0755);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
