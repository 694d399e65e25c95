// The MPEG save journal on real files: a full disk, a save killed in the middle of moving
// the audio and the file then restored, renamed, touched or its journal damaged; journals
// of other users, planted ones, FIFOs; another process's record locks.
#include "AudioFixtures.h"
#include "MpegCommitter.h"
#include "MpegFile.h"
#include "PosixFileIo.h"
#include "PosixJournal.h"
#include "TagError.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;

// An ID3v2.3 tag with a title, padding-free, then numbered MPEG frames and an ID3v1 tag.
TBytes Mp3(const std::string& title, int frames) {
    TBytes out = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    const std::string frame = std::string("TIT2") + std::string(3, '\0') +
                              static_cast<char>(title.size() + 1) + std::string(2, '\0') +
                              std::string(1, '\0') + title;
    out[9] = static_cast<uint8_t>(frame.size()); // fits 7 bits in these tests
    out.insert(out.end(), frame.begin(), frame.end());
    for (int i = 0; i < frames; ++i) {
        TBytes f(417, static_cast<uint8_t>(i * 13 + 1));
        f[0] = 0xFF, f[1] = 0xFB, f[2] = 0x90, f[3] = 0x44;
        out.insert(out.end(), f.begin(), f.end());
    }
    TBytes v1(128, 0);
    std::memcpy(v1.data(), "TAG", 3);
    std::memcpy(v1.data() + 3, title.data(), std::min<size_t>(title.size(), 30));
    v1[127] = 255;
    out.insert(out.end(), v1.begin(), v1.end());
    return out;
}

// The audio frames of a file, found by our own walk: from the first frame sync after the
// ID3v2 tag to the ID3v1 tag.
TBytes Audio(const TBytes& file) {
    if (file.size() < 10 + 128)
        return {};
    const size_t tag =
        10 + (size_t(file[6]) << 21 | size_t(file[7]) << 14 | size_t(file[8]) << 7 | file[9]);
    return TBytes(file.begin() + static_cast<long>(std::min(tag, file.size())), file.end() - 128);
}

std::string TitleOf(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    return file.tag() ? file.tag()->title().to8Bit(true) : std::string();
}

// Saves one title through the C operations; "" on success, else the reason.
std::string SaveTitle(const std::string& path, const std::string& title) {
    if (OpenWavFile(path.c_str(), 0, 0) != 0) {
        char reason[512] = {};
        GetTagLastError(reason, sizeof reason);
        return std::string("open: ") + reason;
    }
    SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
    if (CloseWavFile() == 0)
        return std::string();
    char reason[512] = {};
    GetTagLastError(reason, sizeof reason);
    return reason;
}

std::vector<std::string> Journals(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find("cuemark-journal") != std::string::npos)
            found.push_back(entry.path().string());
    return found;
}

// Runs `body` in a child process (which may drop privileges) and returns its exit code.
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// The file I/O of a save process that is killed during its N-th write to the audio file,
// after writing the first half of it.
class TDyingIo : public riffkit::TFileIo {
public:
    TDyingIo(riffkit::TFileIo& inner, int dieAt) : Inner(inner), DieAt(dieAt) {}
    bool Read(std::uint64_t o, void* b, std::size_t n) override { return Inner.Read(o, b, n); }
    bool Write(std::uint64_t o, const void* b, std::size_t n) override {
        if (++Writes == DieAt) {
            Inner.Write(o, b, n / 2);
            ::_exit(0);
        }
        return Inner.Write(o, b, n);
    }
    bool Sync() override { return Inner.Sync(); }
    std::uint64_t Size() override { return Inner.Size(); }
    bool Truncate(std::uint64_t s) override { return Inner.Truncate(s); }
    bool Reserve(std::uint64_t s) override { return Inner.Reserve(s); }

private:
    riffkit::TFileIo& Inner;
    int DieAt;
    int Writes = 0;
};

// A save of a longer title that moves the audio in 4 KiB steps, killed at the given write
// to the file (2: in the middle of the second step). Runs as the given user when not 0.
void CrashGrowingSave(const std::string& path, const std::string& title, int dieAt, uid_t user = 0,
                      gid_t group = 0) {
    const int code = InChild([&] {
        if (user != 0 &&
            (::setgroups(1, &group) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0))
            return 3;
        riffkit::TPosixFileIo io;
        riffkit::TPosixFileIo::TFacts facts;
        if (!io.Open(path, true) || !io.Facts(facts))
            return 4;
        riffkit::TPosixJournal journal(path, facts);
        std::string reason;
        auto file = riffkit::TMpegFile::Read(io, reason);
        auto edit = file ? file->PlanSave({{"DISP", title}}, reason) : std::nullopt;
        if (!edit || edit->Delta == 0)
            return 5;
        TDyingIo dying(io, dieAt);
        riffkit::TMpegCommitter::Commit(dying, journal, *edit, {facts.FileSystem, facts.Inode},
                                        4096);
        return 6; // not killed
    });
    ASSERT_EQ(code, 0) << "the save was not killed where planned";
}

class MpegJournalTest : public ::testing::Test {
protected:
    void SetUp() override { Dir.BecomeHome(); }
    void TearDown() override { CloseWavFile(); }
    TTempDir Dir;
    const std::string NewTitle = std::string(2500, 'N');
};

TEST_F(MpegJournalTest, CrashedGrowthThenRestoredRenamedOrTouched) {
    const TBytes original = Mp3("Old title", 60);
    enum { Nothing, Restored, Renamed, Touched, SlotDamaged };
    const struct {
        const char* Name;
        int After;
        bool Completes;
    } cases[] = {
        {"reopened", Nothing, true},
        {"restored with cp", Restored, false},
        {"renamed", Renamed, true},
        {"touched in moved audio", Touched, false},
        {"latest slot damaged", SlotDamaged, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path folder = Dir.Path() / c.Name;
        fs::create_directories(folder);
        std::string path = (folder / "a.mp3").string();
        ASSERT_TRUE(Fixtures::WriteBytes(path, original));
        CrashGrowingSave(path, NewTitle, 4);
        ASSERT_EQ(Journals(folder).size(), 1u);
        const TBytes crashed = Fixtures::ReadBytes(path);
        ASSERT_NE(crashed, original);
        TBytes expectedAfter = crashed;
        if (c.After == Restored) {
            // cp over the file keeps its inode.
            ASSERT_TRUE(Fixtures::WriteBytes(path, original));
            expectedAfter = original;
        } else if (c.After == Renamed) {
            const std::string renamed = (folder / "b.mp3").string();
            fs::rename(path, renamed);
            path = renamed;
        } else if (c.After == Touched) {
            // Another program writes into audio the save had already moved.
            const int fd = ::open(path.c_str(), O_WRONLY);
            ASSERT_GE(::pwrite(fd, "X", 1, static_cast<off_t>(crashed.size() - 200)), 1);
            ::close(fd);
            expectedAfter = Fixtures::ReadBytes(path);
        } else if (c.After == SlotDamaged) {
            // The slot that holds the step cut short, whose source the step overwrote.
            const std::string journal = Journals(folder).front();
            const auto size = fs::file_size(journal);
            const int fd = ::open(journal.c_str(), O_WRONLY);
            for (std::uintmax_t at = size - 100; at > size - 8300; at -= 1000)
                ASSERT_EQ(::pwrite(fd, "garbage!", 8, static_cast<off_t>(at)), 8);
            ::close(fd);
        }
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        char title[4096] = {};
        GetChunkInfo("DISP", title, sizeof title);
        CloseWavFile();
        const TBytes after = Fixtures::ReadBytes(path);
        if (c.Completes) {
            EXPECT_EQ(Audio(after), Audio(original));
            EXPECT_EQ(std::string(title), NewTitle);
            EXPECT_EQ(TitleOf(path), NewTitle);
            EXPECT_TRUE(Journals(folder).empty());
            continue;
        }
        if (c.After == Restored) {
            // Back in its old state: the journal goes, the file stays as it was.
            EXPECT_EQ(after, original);
            EXPECT_EQ(std::string(title), "Old title");
            EXPECT_TRUE(Journals(folder).empty());
            EXPECT_EQ(SaveTitle(path, "Saved again"), "");
            EXPECT_EQ(TitleOf(path), "Saved again");
            continue;
        }
        // In no state the journal knows: both are left alone and saves are refused.
        EXPECT_EQ(after, expectedAfter);
        EXPECT_EQ(Journals(folder).size(), 1u);
        const std::string reason = SaveTitle(path, "Refused");
        EXPECT_NE(reason.find("cuemark-journal"), std::string::npos) << reason;
        EXPECT_EQ(Journals(folder).size(), 1u);
    }
}

// A disk that comes back through another loop device has another device number; the
// journal still finds its file by the file system's id and the inode.
TEST_F(MpegJournalTest, RemountUnderAnotherDeviceNumberCompletesTheSave) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "loop mounts need root";
    const std::string image = Dir.File("disk.img");
    const std::string spare = Dir.File("spare.img");
    const fs::path mount = Dir.Path() / "disk";
    fs::create_directories(mount);
    const auto run = [](const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    };
    const auto attach = [](const std::string& file) {
        std::string device;
        if (FILE* out = ::popen(("losetup -f --show " + file + " 2>/dev/null").c_str(), "r")) {
            char line[128] = {};
            if (std::fgets(line, sizeof line, out))
                device = line;
            ::pclose(out);
        }
        while (!device.empty() && device.back() == '\n')
            device.pop_back();
        return device;
    };
    if (!run("truncate -s 8M " + image) || !run("truncate -s 1M " + spare) ||
        !run("mkfs.ext4 -q -F " + image))
        GTEST_SKIP() << "cannot make an ext4 image";
    const std::string first = attach(image);
    if (first.empty() || !run("mount " + first + " " + mount.string())) {
        if (!first.empty())
            run("losetup -d " + first);
        GTEST_SKIP() << "cannot attach or mount a loop device here";
    }
    const std::string path = (mount / "song.mp3").string();
    const TBytes original = Mp3("Old title", 60);
    ASSERT_TRUE(Fixtures::WriteBytes(path, original));
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    CrashGrowingSave(path, NewTitle, 4);
    ASSERT_TRUE(run("umount " + mount.string()));
    run("losetup -d " + first);
    // The spare takes the first free device, so the disk comes back under another one.
    const std::string taken = attach(spare);
    const std::string second = attach(image);
    ASSERT_FALSE(second.empty());
    ASSERT_TRUE(run("mount " + second + " " + mount.string()));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_dev, before.st_dev);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Journals(mount).size(), 1u);

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    CloseWavFile();
    EXPECT_EQ(TitleOf(path), NewTitle);
    EXPECT_EQ(Audio(Fixtures::ReadBytes(path)), Audio(original));
    EXPECT_TRUE(Journals(mount).empty());
    run("umount " + mount.string());
    run("losetup -d " + second);
    if (!taken.empty())
        run("losetup -d " + taken);
}

TEST_F(MpegJournalTest, FullDiskRefusesGrowthWithTheFileByteIdentical) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const fs::path mount = Dir.Path() / "small";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount tmpfs: " << std::strerror(errno);
    const std::string path = (mount / "song.mp3").string();
    const TBytes original = Mp3("Old title", 408); // 170 KB
    ASSERT_TRUE(Fixtures::WriteBytes(path, original));
    // Fill the disk to 172 KiB free.
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(mount.c_str(), &vfs), 0);
    const std::uint64_t free = std::uint64_t(vfs.f_bavail) * vfs.f_frsize;
    ASSERT_TRUE(Fixtures::WriteBytes((mount / "filler").string(), TBytes(free - 172 * 1024, 0x55)));
    const std::string reason = SaveTitle(path, NewTitle);
    EXPECT_NE(reason.find("not enough space on the disk"), std::string::npos) << reason;
    EXPECT_EQ(Fixtures::ReadBytes(path), original);
    EXPECT_TRUE(Journals(mount).empty());
    // With room again the same save goes through.
    fs::remove(mount / "filler");
    EXPECT_EQ(SaveTitle(path, NewTitle), "");
    EXPECT_EQ(TitleOf(path), NewTitle);
    EXPECT_EQ(Audio(Fixtures::ReadBytes(path)), Audio(original));
    ::umount2(mount.c_str(), MNT_DETACH);
}

TEST_F(MpegJournalTest, UntrustworthyJournalsAreNeitherReplayedNorRemoved) {
    const TBytes original = Mp3("Old title", 60);
    enum { OtherOwner, WritableByOthers, SymbolicLink, Fifo };
    const struct {
        const char* Name;
        int Kind;
        bool NeedsRoot;
    } cases[] = {{"owned by another user", OtherOwner, true},
                 {"writable by others", WritableByOthers, false},
                 {"a symbolic link", SymbolicLink, false},
                 {"a FIFO", Fifo, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.NeedsRoot && ::geteuid() != 0)
            continue; // giving a file away needs root
        const fs::path folder = Dir.Path() / c.Name;
        fs::create_directories(folder);
        const std::string path = (folder / "song.mp3").string();
        ASSERT_TRUE(Fixtures::WriteBytes(path, original));
        // A real journal of this file, made by a killed save, then planted as `kind`.
        CrashGrowingSave(path, "Planted title", 4);
        const std::string journal = Journals(folder).front();
        ASSERT_TRUE(Fixtures::WriteBytes(path, original)); // the file as its owner has it
        if (c.Kind == OtherOwner) {
            ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
        } else if (c.Kind == WritableByOthers) {
            ASSERT_EQ(::chmod(journal.c_str(), 0666), 0);
        } else {
            const std::string elsewhere = (Dir.Path() / (std::string(c.Name) + ".j")).string();
            fs::rename(journal, elsewhere);
            if (c.Kind == SymbolicLink)
                fs::create_symlink(elsewhere, journal);
            else
                ASSERT_EQ(::mkfifo(journal.c_str(), 0600), 0);
        }
        // Opening reads the file as it is, without blocking.
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        char title[256] = {};
        GetChunkInfo("DISP", title, sizeof title);
        EXPECT_STREQ(title, "Old title");
        CloseWavFile();
        EXPECT_EQ(Fixtures::ReadBytes(path), original);
        const std::string reason = SaveTitle(path, "Mine");
        EXPECT_NE(reason.find(journal), std::string::npos) << reason;
        EXPECT_EQ(Fixtures::ReadBytes(path), original);
        EXPECT_TRUE(fs::exists(fs::symlink_status(journal)));
    }
}

TEST_F(MpegJournalTest, AnotherWriterCompletesAReadableJournalAndIsToldOfAnUnreadableOne) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    // Users A (the file's owner) and B share the group that may write the file.
    const uid_t a = 61001, b = 61002;
    const gid_t group = 61000;
    const TBytes original = Mp3("Old title", 60);
    for (bool readable : {true, false}) {
        SCOPED_TRACE(readable ? "journal readable by the group" : "journal unreadable");
        const fs::path folder = Dir.Path() / (readable ? "shared1" : "shared2");
        fs::create_directories(folder);
        ASSERT_EQ(::chmod(Dir.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(folder.c_str(), 0, group), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
        const std::string path = (folder / "song.mp3").string();
        ASSERT_TRUE(Fixtures::WriteBytes(path, original));
        ASSERT_EQ(::chown(path.c_str(), a, group), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
        CrashGrowingSave(path, NewTitle, 4, a, group);
        ASSERT_EQ(Journals(folder).size(), 1u);
        const std::string journal = Journals(folder).front();
        struct stat st {};
        ASSERT_EQ(::stat(journal.c_str(), &st), 0);
        EXPECT_EQ(st.st_gid, group);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        if (!readable) {
            ASSERT_EQ(::chmod(journal.c_str(), 0600), 0);
        }
        const TBytes crashed = Fixtures::ReadBytes(path);
        // B saves another title.
        const int code = InChild([&] {
            if (::setgroups(1, &group) != 0 || ::setgid(group) != 0 || ::setuid(b) != 0)
                return 3;
            const std::string reason = SaveTitle(path, "B's title");
            if (readable)
                return reason.empty() ? 0 : 10;
            return reason.find("another user's unfinished save of this file") != std::string::npos
                       ? 0
                       : 11;
        });
        EXPECT_EQ(code, 0);
        if (readable) {
            // A's save completed first, then B's title on top; the audio is whole.
            EXPECT_EQ(TitleOf(path), "B's title");
            EXPECT_TRUE(Journals(folder).empty());
        } else {
            EXPECT_EQ(Fixtures::ReadBytes(path), crashed);
            EXPECT_EQ(Journals(folder).size(), 1u);
            // A, its owner, completes it.
            EXPECT_EQ(InChild([&] {
                          if (::setgroups(1, &group) != 0 || ::setgid(group) != 0 ||
                              ::setuid(a) != 0)
                              return 3;
                          return SaveTitle(path, "A's title").empty() ? 0 : 12;
                      }),
                      0);
            EXPECT_EQ(TitleOf(path), "A's title");
        }
        EXPECT_EQ(Audio(Fixtures::ReadBytes(path)), Audio(original));
    }
}

TEST_F(MpegJournalTest, LongNamesAndFifosNeverBlockOrFail) {
    // A 250-byte name: the journal's name does not grow with it.
    const std::string longName = std::string(246, 'n') + ".mp3";
    const std::string path = Dir.File(longName);
    const TBytes original = Mp3("Old title", 30);
    ASSERT_TRUE(Fixtures::WriteBytes(path, original));
    EXPECT_EQ(SaveTitle(path, NewTitle), "");
    EXPECT_EQ(TitleOf(path), NewTitle);
    EXPECT_EQ(Audio(Fixtures::ReadBytes(path)), Audio(original));
    EXPECT_TRUE(Journals(Dir.Path()).empty());

    for (const char* name : {"pipe.mp3", "pipe.wav"}) {
        const std::string fifo = Dir.File(name);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
        ASSERT_NE(OpenWavFile(fifo.c_str(), 0, 0), 0);
        char reason[128] = {};
        GetTagLastError(reason, sizeof reason);
        EXPECT_STREQ(reason, "not a regular file");
    }
}

// Another process holds a lock of each kind on the file; saves of WAV and MPEG are refused.
TEST_F(MpegJournalTest, SavesAreRefusedUnderAnotherProcesssLock) {
    const std::string mp3 = Dir.File("song.mp3");
    const std::string wav = Dir.File("song.wav");
    ASSERT_TRUE(Fixtures::WriteBytes(mp3, Mp3("Old title", 10)));
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, {44100, 1, 0.1, 440.0}, 0x0002));
    enum { Flock, Fcntl, Lockf, Ofd };
    for (const auto& path : {mp3, wav}) {
        for (int kind : {Flock, Fcntl, Lockf, Ofd}) {
            SCOPED_TRACE(path + " lock kind " + std::to_string(kind));
            const TBytes before = Fixtures::ReadBytes(path);
            int ready[2], release[2];
            ASSERT_EQ(::pipe(ready), 0);
            ASSERT_EQ(::pipe(release), 0);
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int fd = ::open(path.c_str(), O_RDWR);
                struct flock lock {};
                lock.l_type = F_WRLCK;
                lock.l_whence = SEEK_SET;
                lock.l_len = 100; // a record, not the whole file
                const bool ok = kind == Flock   ? ::flock(fd, LOCK_EX) == 0
                                : kind == Fcntl ? ::fcntl(fd, F_SETLK, &lock) == 0
                                : kind == Lockf ? ::lockf(fd, F_TLOCK, 0) == 0
                                                : ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
                char c = ok ? 'y' : 'n';
                (void)!::write(ready[1], &c, 1);
                (void)!::read(release[0], &c, 1);
                ::_exit(0);
            }
            char c = 0;
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
            ASSERT_EQ(c, 'y');
            const std::string reason = SaveTitle(path, "Locked out");
            EXPECT_EQ(reason, "another program is writing this file");
            EXPECT_EQ(Fixtures::ReadBytes(path), before);
            (void)!::write(release[1], "x", 1);
            ::waitpid(pid, nullptr, 0);
            for (int fd : {ready[0], ready[1], release[0], release[1]})
                ::close(fd);
        }
        EXPECT_EQ(SaveTitle(path, "Free again"), "");
    }
}

} // namespace
