// The Trash as trash-cli (an independent reader of the freedesktop layout) sees it: the home
// trash for items on its device, and the top-folder trashes of another file system.

#include "TFileOperations.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QByteArray Raw(const fs::path& path) {
    return QByteArray::fromStdString(path.string());
}

bool HaveTrashCli() {
    return std::system("command -v trash-list >/dev/null 2>&1") == 0;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command line with the test's home and returns its standard output.
std::string RunShell(const TTempDir& home, const std::string& command) {
    const std::string line =
        "cd " + Quote(home.Path().string()) + " && HOME=" + Quote(home.Path().string()) +
        " XDG_DATA_HOME=" + Quote(home.Path().string() + "/.local/share") + " " + command;
    std::string out;
    if (FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

// The original paths trash-list reports ("2026-01-01 10:00:00 /path" per line) of items that
// were in the test's own folder (it lists every trash on the machine).
std::set<std::string> TrashListPaths(const TTempDir& home) {
    std::set<std::string> paths;
    std::istringstream lines(RunShell(home, "trash-list"));
    const std::string own = home.Path().string() + "/";
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 20 && line.compare(20, own.size(), own) == 0)
            paths.insert(line.substr(20));
    return paths;
}

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTrashCli())
            GTEST_SKIP() << "trash-cli is not installed";
        OldHome = qgetenv("HOME");
        OldData = qgetenv("XDG_DATA_HOME");
        Home.BecomeHome();
    }
    void TearDown() override {
        qputenv("HOME", OldHome);
        qputenv("XDG_DATA_HOME", OldData);
    }

    TTempDir Home;
    QByteArray OldHome;
    QByteArray OldData;
};

TEST_F(TrashTest, HomeTrashEntriesAreListedAndRestoredUnderTheirOwnNames) {
    const fs::path folder = Home.Path() / "Spots";
    fs::create_directories(folder);
    const std::vector<std::string> names = {"100%41 off.wav", "a#b?c&d.wav", "Jingle \xc3\xb6.mp3",
                                            "plain.wav"};
    QList<QByteArray> paths;
    std::set<std::string> expected;
    for (const std::string& name : names) {
        std::ofstream(folder / name) << name;
        paths.append(Raw(folder / name));
        expected.insert((folder / name).string());
    }
    TFileOperations ops;
    const TFileOpResult result = ops.Trash(paths);
    ASSERT_TRUE(result.Ok());
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(TrashListPaths(Home), expected);

    const std::string restored = (folder / "100%41 off.wav").string();
    RunShell(Home, "echo 0 | trash-restore " + Quote(restored) + " >/dev/null");
    std::ifstream in(restored);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "100%41 off.wav");
}

// A tmpfs mounted in the test's folder is another file system with its own top folder.
class VolumeTrashTest : public TrashTest {
protected:
    void SetUp() override {
        TrashTest::SetUp();
        if (IsSkipped())
            return;
        Volume = Home.Path() / "volume";
        fs::create_directories(Volume);
        if (::geteuid() != 0 || ::mount("none", Volume.c_str(), "tmpfs", 0, "size=4m") != 0)
            GTEST_SKIP() << "mounting a tmpfs needs root";
        Mounted = true;
    }
    void TearDown() override {
        if (Mounted)
            ::umount2(Volume.c_str(), MNT_DETACH);
        TrashTest::TearDown();
    }

    fs::path Volume;
    bool Mounted = false;
};

TEST_F(VolumeTrashTest, ItemsOnAnotherFileSystemGoToItsTopFolderTrashForEveryName) {
    const std::string uid = std::to_string(::getuid());
    enum class TShared { None, Sticky, NotSticky, LinkToSticky };
    struct TCase {
        TShared Shared;
        fs::path Trash; // relative to the volume
    } cases[] = {
        {TShared::None, ".Trash-" + uid},
        {TShared::Sticky, ".Trash/" + uid},
        {TShared::NotSticky, ".Trash-" + uid},
        {TShared::LinkToSticky, ".Trash-" + uid},
    };
    const std::string name = "caf\xe9 100%41.wav"; // not UTF-8
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Shared));
        for (const auto& entry : fs::directory_iterator(Volume))
            fs::remove_all(entry.path());
        const fs::path sticky = Volume / "sticky";
        if (c.Shared != TShared::None) {
            const fs::path made = c.Shared == TShared::LinkToSticky ? sticky : Volume / ".Trash";
            fs::create_directory(made);
            ::chmod(made.c_str(), c.Shared == TShared::NotSticky ? 0777 : 01777);
            if (c.Shared == TShared::LinkToSticky)
                fs::create_directory_symlink("sticky", Volume / ".Trash");
        }
        fs::create_directories(Volume / "Spots");
        const fs::path item = Volume / "Spots" / name;
        std::ofstream(item) << "take";

        TFileOperations ops;
        const TFileOpResult result = ops.Trash({Raw(item)});
        ASSERT_TRUE(result.Ok()) << result.Errors.value(0).SystemText().toStdString();
        EXPECT_FALSE(fs::exists(item));
        EXPECT_TRUE(fs::exists(Volume / c.Trash / "files" / name));
        EXPECT_TRUE(fs::exists(Volume / c.Trash / "info" / (name + ".trashinfo")));
        if (c.Shared == TShared::LinkToSticky) {
            EXPECT_TRUE(fs::is_empty(sticky)); // a linked .Trash is never used
        }
        // trash-cli reads names as UTF-8 with replacement characters, as QString does.
        const std::string shown = QString::fromUtf8(Raw(item)).toStdString();
        EXPECT_EQ(TrashListPaths(Home), std::set<std::string>{shown});
    }
}

} // namespace
