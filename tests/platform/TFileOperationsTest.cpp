#include "TFileOperations.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QByteArray Raw(const fs::path& path) {
    return QByteArray::fromStdString(path.string());
}

// Names in a folder, sorted, as raw bytes.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The real file system, except that renames can be made to cross devices and one write can
// be made to fail; every call that matters is logged in order.
class TTestCalls : public TFileSystemCalls {
public:
    bool CrossDevice = false;
    int FailWriteNumber = 0; // 1-based; 0 = never
    int Writes = 0;
    std::vector<std::string> Log;

    int RenameNoReplace(const QByteArray& from, const QByteArray& to) override {
        // Within one folder (a finished copy put in place) a rename stays on its device.
        if (CrossDevice && TFileOperations::FolderOf(from) != TFileOperations::FolderOf(to))
            return EXDEV;
        return TFileSystemCalls::RenameNoReplace(from, to);
    }
    int Write(int fd, const char* buffer, int64_t size) override {
        if (++Writes == FailWriteNumber)
            return ENOSPC;
        return TFileSystemCalls::Write(fd, buffer, size);
    }
    int Sync(int fd) override {
        Log.push_back("sync");
        return TFileSystemCalls::Sync(fd);
    }
    int RemoveFile(const QByteArray& path) override {
        Log.push_back("remove " + path.toStdString());
        return TFileSystemCalls::RemoveFile(path);
    }
};

class FileOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Src = Dir.Path() / "src";
        Dst = Dir.Path() / "dst";
        fs::create_directories(Src / "Spots" / "Inner");
        fs::create_directories(Dst);
        WriteFile(Src / "take.wav", "RIFF take");
        WriteFile(Src / "caf\xe9.wav", std::string(3 << 20, 'x') + "end"); // not UTF-8, 3 MiB
        WriteFile(Src / "Spots" / "a.wav", "spot a");
        WriteFile(Src / "Spots" / "Inner" / "b.wav", "spot b");
        fs::create_symlink("a.wav", Src / "Spots" / "link.wav");
    }

    TTempDir Dir;
    fs::path Src;
    fs::path Dst;
    TTestCalls Calls;
};

TEST_F(FileOperationsTest, CopyKeepsContentsModesTimesAndLinksAndNamesThatAreNotUtf8) {
    ::chmod((Src / "take.wav").c_str(), 0640);
    const fs::file_time_type old = fs::last_write_time(Src / "take.wav") - std::chrono::hours(50);
    fs::last_write_time(Src / "take.wav", old);

    TFileOperations ops(Calls);
    const TFileOpResult result =
        ops.Transfer({Raw(Src / "take.wav"), Raw(Src / "caf\xe9.wav"), Raw(Src / "Spots")},
                     Raw(Dst), TTransferMode::Copy);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.Done.size(), 3);
    EXPECT_EQ(ReadFile(Dst / "caf\xe9.wav"), ReadFile(Src / "caf\xe9.wav"));
    EXPECT_EQ(ReadFile(Dst / "Spots" / "Inner" / "b.wav"), "spot b");
    EXPECT_TRUE(fs::is_symlink(Dst / "Spots" / "link.wav"));
    EXPECT_EQ(fs::read_symlink(Dst / "Spots" / "link.wav"), "a.wav");
    EXPECT_EQ(fs::status(Dst / "take.wav").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(Dst / "take.wav"), old);
    EXPECT_TRUE(fs::exists(Src / "take.wav"));
}

TEST_F(FileOperationsTest, ArrivingNamesThatAreTakenGetFreeNames) {
    WriteFile(Dst / "take.wav", "other");
    WriteFile(Dst / "take (2).wav", "other 2");
    fs::create_directory(Dst / "Spots");
    TFileOperations ops(Calls);
    ASSERT_TRUE(
        ops.Transfer({Raw(Src / "take.wav"), Raw(Src / "Spots")}, Raw(Dst), TTransferMode::Copy)
            .Ok());
    EXPECT_EQ(ReadFile(Dst / "take.wav"), "other");
    EXPECT_EQ(ReadFile(Dst / "take (2).wav"), "other 2");
    EXPECT_EQ(ReadFile(Dst / "take (3).wav"), "RIFF take");
    EXPECT_EQ(ReadFile(Dst / "Spots (2)" / "a.wav"), "spot a");

    // A copy into the item's own folder is a second copy beside it.
    ASSERT_TRUE(ops.Transfer({Raw(Src / "take.wav")}, Raw(Src), TTransferMode::Copy).Ok());
    EXPECT_EQ(ReadFile(Src / "take (2).wav"), "RIFF take");

    struct TCase {
        std::string Existing;
        bool IsDir;
        std::string Expected;
    };
    for (const TCase& c : std::vector<TCase>{{"x.tar.gz", false, "x.tar (2).gz"},
                                             {".hidden", false, ".hidden (2)"},
                                             {"v1.0", true, "v1.0 (2)"},
                                             {"mix (7).mp3", false, "mix (8).mp3"},
                                             {"noext", false, "noext (2)"}}) {
        WriteFile(Dst / c.Existing, "");
        EXPECT_EQ(ops.FreeName(Raw(Dst), QByteArray::fromStdString(c.Existing), c.IsDir),
                  QByteArray::fromStdString(c.Expected))
            << c.Existing;
    }
    EXPECT_EQ(ops.FreeName(Raw(Dst), "free.wav", false), "free.wav");
}

TEST_F(FileOperationsTest, MoveWithinOneFileSystemRenamesAndSkipsItemsAlreadyThere) {
    struct stat before {};
    ::stat((Src / "take.wav").c_str(), &before);
    TFileOperations ops(Calls);
    const TFileOpResult result =
        ops.Transfer({Raw(Src / "take.wav"), Raw(Src / "Spots")}, Raw(Dst), TTransferMode::Move);
    ASSERT_TRUE(result.Ok());
    struct stat after {};
    ::stat((Dst / "take.wav").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_FALSE(fs::exists(Src / "Spots"));
    EXPECT_EQ(ReadFile(Dst / "Spots" / "Inner" / "b.wav"), "spot b");
    EXPECT_TRUE(Calls.Log.empty()); // no copy, no removal

    // Moving items into the folder they are in does nothing (no "take (2).wav").
    const TFileOpResult again =
        ops.Transfer({Raw(Dst / "take.wav")}, Raw(Dst) + "/", TTransferMode::Move);
    EXPECT_TRUE(again.Ok());
    EXPECT_TRUE(again.Done.isEmpty());
    EXPECT_EQ(Names(Dst), (std::vector<std::string>{"Spots", "take.wav"}));
}

TEST_F(FileOperationsTest, CrossDeviceMoveSyncsEveryCopyBeforeRemovingAnyOriginal) {
    Calls.CrossDevice = true;
    TFileOperations ops(Calls);
    const TFileOpResult result =
        ops.Transfer({Raw(Src / "Spots"), Raw(Src / "caf\xe9.wav")}, Raw(Dst), TTransferMode::Move);
    ASSERT_TRUE(result.Ok()) << result.Errors.size();
    EXPECT_FALSE(fs::exists(Src / "Spots"));
    EXPECT_FALSE(fs::exists(Src / "caf\xe9.wav"));
    EXPECT_EQ(ReadFile(Dst / "Spots" / "Inner" / "b.wav"), "spot b");
    EXPECT_EQ(ReadFile(Dst / "caf\xe9.wav").size(), (3u << 20) + 3);
    // The folder's two files are synced before the first original goes.
    const auto firstRemove = std::find_if(Calls.Log.begin(), Calls.Log.end(),
                                          [](const std::string& s) { return s != "sync"; });
    EXPECT_EQ(std::count(Calls.Log.begin(), firstRemove, "sync"), 2);
}

TEST_F(FileOperationsTest, FailureHalfWayLeavesTheOriginalWholeAndNoPartialCopy) {
    Calls.CrossDevice = true;
    Calls.FailWriteNumber = 2; // the folder's second file
    TFileOperations ops(Calls);
    std::vector<QByteArray> asked;
    ops.SetErrorHandler([&](const TFileOpError& error) {
        asked.push_back(error.Path);
        return true; // go on with the rest
    });
    const TFileOpResult result =
        ops.Transfer({Raw(Src / "Spots"), Raw(Src / "take.wav")}, Raw(Dst), TTransferMode::Move);
    ASSERT_EQ(result.Errors.size(), 1);
    EXPECT_EQ(result.Errors[0].Path, Raw(Src / "Spots"));
    EXPECT_EQ(result.Errors[0].Errno, ENOSPC);
    EXPECT_EQ(result.Errors[0].SystemText(), QString::fromLocal8Bit(strerror(ENOSPC)));
    EXPECT_EQ(asked.size(), 1u);
    // The folder is untouched at its place and gone from the target; the next item moved.
    EXPECT_EQ(ReadFile(Src / "Spots" / "a.wav"), "spot a");
    EXPECT_EQ(ReadFile(Src / "Spots" / "Inner" / "b.wav"), "spot b");
    EXPECT_TRUE(fs::is_symlink(Src / "Spots" / "link.wav"));
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"take.wav"});
    EXPECT_FALSE(fs::exists(Src / "take.wav"));

    // Without an error handler the operation stops at the failure.
    Calls.Writes = 0;
    Calls.FailWriteNumber = 1;
    TFileOperations stopping(Calls);
    const TFileOpResult stopped = stopping.Transfer({Raw(Src / "caf\xe9.wav"), Raw(Src / "Spots")},
                                                    Raw(Dst), TTransferMode::Copy);
    EXPECT_EQ(stopped.Errors.size(), 1);
    EXPECT_TRUE(stopped.Done.isEmpty());
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"take.wav"});
}

TEST_F(FileOperationsTest, CancelRemovesThePartialCopyAndKeepsTheOriginal) {
    Calls.CrossDevice = true;
    TFileOperations ops(Calls);
    std::vector<TFileOpProgress> seen;
    ops.SetProgressHandler([&](const TFileOpProgress& p) {
        seen.push_back(p);
        return p.BytesDone < (1 << 20); // cancel after the first MiB
    });
    const TFileOpResult result =
        ops.Transfer({Raw(Src / "caf\xe9.wav")}, Raw(Dst), TTransferMode::Move);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_TRUE(result.Errors.isEmpty());
    EXPECT_TRUE(Names(Dst).empty());
    EXPECT_EQ(fs::file_size(Src / "caf\xe9.wav"), (3u << 20) + 3);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().BytesTotal, (3 << 20) + 3);
    EXPECT_EQ(seen.back().Current, Raw(Src / "caf\xe9.wav"));
}

// A real second file system: a tmpfs mounted in the test's folder.
TEST_F(FileOperationsTest, MoveKilledHalfWayLeavesNoItemUnderTheRealName) {
    const fs::path volume = Dir.Path() / "volume";
    fs::create_directories(volume);
    if (::geteuid() != 0 || ::mount("none", volume.c_str(), "tmpfs", 0, "size=64m") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    struct TUnmount {
        fs::path Path;
        ~TUnmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{volume};
    WriteFile(Src / "big.wav", std::string(8 << 20, 'b'));
    // Work in progress of a running process (pid 1) is never touched.
    WriteFile(volume / ".cuemark-1-0.part", "running");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFileOperations ops; // the real file system
        ops.SetProgressHandler([](const TFileOpProgress& p) {
            if (p.BytesDone >= (3 << 20))
                ::raise(SIGKILL);
            return true;
        });
        ops.Transfer({Raw(Src / "big.wav")}, Raw(volume), TTransferMode::Move);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    EXPECT_EQ(fs::file_size(Src / "big.wav"), 8u << 20);
    std::vector<std::string> left = Names(volume);
    EXPECT_EQ(std::count(left.begin(), left.end(), "big.wav"), 0);
    ASSERT_EQ(left.size(), 2u); // the dead child's part and the running one's
    EXPECT_EQ(fs::file_size(volume / left[0]) + fs::file_size(volume / left[1]),
              (3u << 20) + 7); // what the child wrote before it died, and "running"

    // The next operation in that folder removes the dead process's leftover and completes.
    TFileOperations ops;
    ASSERT_TRUE(ops.Transfer({Raw(Src / "big.wav")}, Raw(volume), TTransferMode::Move).Ok());
    EXPECT_EQ(Names(volume), (std::vector<std::string>{".cuemark-1-0.part", "big.wav"}));
    EXPECT_EQ(fs::file_size(volume / "big.wav"), 8u << 20);
    EXPECT_FALSE(fs::exists(Src / "big.wav"));
}

TEST_F(FileOperationsTest, FolderIsNeverCopiedOrMovedIntoItself) {
    TFileOperations ops(Calls);
    for (TTransferMode mode : {TTransferMode::Copy, TTransferMode::Move}) {
        const TFileOpResult result =
            ops.Transfer({Raw(Src / "Spots")}, Raw(Src / "Spots" / "Inner"), mode);
        ASSERT_EQ(result.Errors.size(), 1);
        EXPECT_EQ(result.Errors[0].Errno, EINVAL);
        EXPECT_EQ(Names(Src / "Spots" / "Inner"), std::vector<std::string>{"b.wav"});
    }
    const TFileOpResult missing =
        ops.Transfer({Raw(Src / "gone.wav")}, Raw(Dst), TTransferMode::Copy);
    ASSERT_EQ(missing.Errors.size(), 1);
    EXPECT_EQ(missing.Errors[0].Errno, ENOENT);
}

TEST_F(FileOperationsTest, RenameNeverReplacesAnotherItem) {
    TFileOperations ops(Calls);
    WriteFile(Src / "other.wav", "other");
    auto r = ops.Rename(Raw(Src / "take.wav"), "other.wav");
    EXPECT_EQ(r.Outcome, TFileOperations::TRenameOutcome::NameTaken);
    EXPECT_EQ(ReadFile(Src / "other.wav"), "other");
    EXPECT_EQ(ReadFile(Src / "take.wav"), "RIFF take");

    r = ops.Rename(Raw(Src / "take.wav"), "n\xf6tutf8.wav");
    EXPECT_EQ(r.Outcome, TFileOperations::TRenameOutcome::Renamed);
    EXPECT_EQ(r.NewPath, Raw(Src / "n\xf6tutf8.wav"));
    EXPECT_EQ(ReadFile(Src / "n\xf6tutf8.wav"), "RIFF take");

    r = ops.Rename(Raw(Src / "n\xf6tutf8.wav"), "n\xf6tutf8.wav");
    EXPECT_EQ(r.Outcome, TFileOperations::TRenameOutcome::Unchanged);
    for (const QByteArray& name : {QByteArray(""), QByteArray("."), QByteArray(".."),
                                   QByteArray("a/b.wav"), QByteArray("a\0b", 3)})
        EXPECT_EQ(ops.Rename(Raw(Src / "other.wav"), name).Outcome,
                  TFileOperations::TRenameOutcome::InvalidName);
    EXPECT_EQ(ops.Rename(Raw(Src / "gone.wav"), "x.wav").Outcome,
              TFileOperations::TRenameOutcome::Failed);
    EXPECT_EQ(ReadFile(Src / "other.wav"), "other");
}

TEST_F(FileOperationsTest, TrashKeepsTheOriginalPathInTheTrashInfo) {
    const fs::path data = Dir.Path() / "data";
    fs::create_directories(data);
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", Raw(data));
    TFileOperations ops(Calls);
    const TFileOpResult result =
        ops.Trash({Raw(Src / "take.wav"), Raw(Src / "caf\xe9.wav"), Raw(Src / "gone.wav")});
    qputenv("XDG_DATA_HOME", oldData);
    ASSERT_EQ(result.Errors.size(), 1); // no handler: the missing one ends the list
    EXPECT_EQ(result.Errors[0].Errno, ENOENT);
    EXPECT_EQ(result.Done.size(), 2);
    EXPECT_FALSE(fs::exists(Src / "take.wav"));
    EXPECT_FALSE(fs::exists(Src / "caf\xe9.wav"));
    EXPECT_EQ(ReadFile(data / "Trash" / "files" / "take.wav"), "RIFF take");
    EXPECT_TRUE(fs::exists(data / "Trash" / "files" / "caf\xe9.wav"));
    const std::string info = ReadFile(data / "Trash" / "info" / "caf\xe9.wav.trashinfo");
    const auto at = info.find("Path=");
    ASSERT_NE(at, std::string::npos);
    const std::string encoded = info.substr(at + 5, info.find('\n', at) - at - 5);
    EXPECT_EQ(QByteArray::fromPercentEncoding(QByteArray::fromStdString(encoded)),
              Raw(Src / "caf\xe9.wav"));
}

} // namespace
