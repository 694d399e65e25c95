#include "TDesktopFolder.h"
#include "TDrivesFolder.h"
#include "TFileSystemFolder.h"
#include "TShellNamespace.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string OddName = "caf\xe9 \xff.wav"; // Latin-1 bytes: not UTF-8

// The item data of a one-item list, read by hand: size field, then kind byte and name.
std::string ItemName(PCItemIDList item) {
    const auto* p = reinterpret_cast<const unsigned char*>(item);
    std::size_t size = p[0] | (p[1] << 8);
    return std::string(reinterpret_cast<const char*>(p) + 3, size - 3);
}

std::vector<std::string> Names(const std::vector<TPidl>& items) {
    std::vector<std::string> names;
    for (const TPidl& item : items)
        names.push_back(ItemName(item.Get()));
    return names;
}

// A folder of the kinds of entries a real folder holds, and a home with a desktop directory.
class ShellNamespaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = Dir.Path() / "tree";
        fs::create_directories(Root / "sub");
        fs::create_directories(Root / ".hiddendir");
        Write(Root / "a.wav");
        Write(Root / "A.WAV");
        Write(Root / ".hidden");
        Write(Root / OddName);
        Write(Root / "sub" / "inner.wav");
        fs::create_directory_symlink("sub", Root / "link-to-sub");
        fs::create_symlink("a.wav", Root / "link-to-a");
        fs::create_symlink("nowhere", Root / "broken");

        HomeDir.BecomeHome();
        Home = HomeDir.Path();
        fs::create_directories(Home / "My Desk" / "Show");
        Write(Home / "My Desk" / "jingle.wav");
        Write(Home / "My Desk" / ".dotfile");
        fs::create_directories(Config());
        std::ofstream(Config() / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/My Desk\"\n";
    }
    static void Write(const fs::path& path) { std::ofstream(path) << "data"; }
    // XDG_CONFIG_HOME as BecomeHome sets it.
    fs::path Config() const { return Home / ".config"; }

    TTempDir Dir;
    TTempDir HomeDir;
    fs::path Root, Home;
};

TEST_F(ShellNamespaceTest, EnumerationFiltersFoldersFilesAndHiddenItems) {
    TFileSystemFolder folder(Root.string());
    std::vector<TPidl> items;
    ASSERT_TRUE(folder.EnumObjects(efFolders | efNonFolders | efIncludeHidden, items));
    std::vector<std::string> all = {".hidden", ".hiddendir", "A.WAV",       "a.wav", "broken",
                                    OddName,   "link-to-a",  "link-to-sub", "sub"};
    std::sort(all.begin(), all.end());
    EXPECT_EQ(Names(items), all);

    ASSERT_TRUE(folder.EnumObjects(efFolders | efNonFolders, items));
    for (const std::string& name : Names(items))
        EXPECT_NE(name.front(), '.') << name;
    EXPECT_EQ(items.size(), all.size() - 2);

    ASSERT_TRUE(folder.EnumObjects(efFolders | efIncludeHidden, items));
    EXPECT_EQ(Names(items), (std::vector<std::string>{".hiddendir", "link-to-sub", "sub"}));
    ASSERT_TRUE(folder.EnumObjects(efNonFolders, items));
    EXPECT_EQ(Names(items),
              (std::vector<std::string>{"A.WAV", "a.wav", "broken", OddName, "link-to-a"}));
}

// The attributes the list asks for, item by item, against what the file system says.
TEST_F(ShellNamespaceTest, AttributesAndCapabilitiesFromTheFileSystem) {
    const std::uint32_t mask = saFileSystem | saFolder | saShare | saLink | saGhosted |
                               saCanDelete | saCanRename | saCanMove | saCanCopy;
    const std::uint32_t change = saCanDelete | saCanRename | saCanMove;
    const std::uint32_t file = saFileSystem | change | saCanCopy;
    const std::uint32_t folderBits = file | saFolder;
    std::map<std::string, std::uint32_t> expected = {
        {"a.wav", file},
        {OddName, file},
        {".hidden", file | saGhosted},
        {".hiddendir", folderBits | saGhosted},
        {"sub", folderBits},
        {"link-to-sub", folderBits | saLink},
        {"link-to-a", file | saLink},
        {"broken", (file & ~saCanCopy) | saLink},
    };
    TFileSystemFolder folder(Root.string());
    for (const auto& [name, bits] : expected) {
        TPidl item;
        ASSERT_TRUE(folder.ParseDisplayName(name, item)) << name;
        EXPECT_EQ(folder.GetAttributesOf(item.Get(), mask), bits) << name;
    }
    TPidl missing = TShellNamespace::MakeItem(TShellNamespace::ikFileSystem, "gone.wav");
    EXPECT_EQ(folder.GetAttributesOf(missing.Get(), mask), 0u);
    // Items that would step outside the folder are refused.
    for (const char* bad : {"..", ".", "a/b", ""}) {
        TPidl item = TShellNamespace::MakeItem(TShellNamespace::ikFileSystem, bad);
        EXPECT_EQ(folder.GetAttributesOf(item.Get(), mask), 0u) << bad;
        EXPECT_EQ(folder.GetPathOf(item.Get()), "") << bad;
        EXPECT_EQ(folder.BindToObject(item.Get()), nullptr) << bad;
    }
}

// Items come in byte order of their names, also where names share their first 16 bytes, one
// starts another, or bytes are above 0x7f.
TEST_F(ShellNamespaceTest, EnumerationIsInByteOrderOfNames) {
    const fs::path folderPath = Dir.Path() / "order";
    fs::create_directories(folderPath);
    std::vector<std::string> names = {"station_jingle_0001.wav",
                                      "station_jingle_0002.wav",
                                      "station_jingle_000.wav",
                                      "station_jingle_0",
                                      "station_jingle_",
                                      "station_jingle",
                                      "station_jinglf",
                                      "Station_jingle_0001.wav",
                                      "\xe9t\xe9.wav",
                                      "\xff",
                                      "\x7f",
                                      "b",
                                      "ab",
                                      "a",
                                      "abcdefghijklmnop",
                                      "abcdefghijklmnoq",
                                      "abcdefghijklmnopq",
                                      "abcdefghijklmnoo\xff"};
    for (const std::string& name : names)
        Write(folderPath / name);
    std::sort(names.begin(), names.end()); // char_traits<char> compares bytes as unsigned
    TFileSystemFolder folder(folderPath.string());
    std::vector<TPidl> items;
    ASSERT_TRUE(folder.EnumObjects(efFolders | efNonFolders | efIncludeHidden, items));
    EXPECT_EQ(Names(items), names);
}

TEST_F(ShellNamespaceTest, NonUtf8NamesRoundTrip) {
    TFileSystemFolder folder(Root.string());
    std::vector<TPidl> items;
    ASSERT_TRUE(folder.EnumObjects(efNonFolders, items));
    auto found = std::find_if(items.begin(), items.end(),
                              [](const TPidl& item) { return ItemName(item.Get()) == OddName; });
    ASSERT_NE(found, items.end());
    std::string path = folder.GetDisplayNameOf(found->Get(), dntForParsing);
    EXPECT_EQ(path, (Root / OddName).string());
    EXPECT_EQ(folder.GetDisplayNameOf(found->Get(), dntNormal), OddName);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << "the parsing name opens the file";
    std::fclose(file);
    TPidl parsed;
    ASSERT_TRUE(folder.ParseDisplayName(OddName, parsed));
    EXPECT_EQ(folder.CompareIDs(parsed.Get(), found->Get()), 0);
}

TEST_F(ShellNamespaceTest, NamesThatDifferOnlyInCaseAreTwoItems) {
    TFileSystemFolder folder(Root.string());
    TPidl lower, upper;
    ASSERT_TRUE(folder.ParseDisplayName("a.wav", lower));
    ASSERT_TRUE(folder.ParseDisplayName("A.WAV", upper));
    EXPECT_NE(folder.CompareIDs(lower.Get(), upper.Get()), 0);
    EXPECT_LT(folder.CompareIDs(upper.Get(), lower.Get()), 0);
    EXPECT_GT(folder.CompareIDs(lower.Get(), upper.Get()), 0);
}

TEST_F(ShellNamespaceTest, DesktopHoldsComputerHomeAndTheDesktopEntries) {
    TDesktopFolder desktop;
    std::vector<TPidl> items;
    ASSERT_TRUE(desktop.EnumObjects(efFolders | efNonFolders, items));
    ASSERT_EQ(items.size(), 4u);
    std::vector<std::string> names, parsing;
    for (const TPidl& item : items) {
        names.push_back(desktop.GetDisplayNameOf(item.Get(), dntNormal));
        parsing.push_back(desktop.GetDisplayNameOf(item.Get(), dntForParsing));
    }
    std::string deskPath = (Home / "My Desk").string();
    EXPECT_EQ(names, (std::vector<std::string>{"Computer", "Home", "Show", "jingle.wav"}));
    EXPECT_EQ(parsing, (std::vector<std::string>{std::string(TShellNamespace::ComputerParsingName),
                                                 Home.string(), deskPath + "/Show",
                                                 deskPath + "/jingle.wav"}));
    TPidl empty(ItemIdAlloc(2));
    EXPECT_EQ(desktop.GetDisplayNameOf(empty.Get(), dntNormal), "Desktop");
    EXPECT_EQ(desktop.GetDisplayNameOf(empty.Get(), dntForParsing), deskPath);
    EXPECT_EQ(desktop.GetPathOf(items[0].Get()), "") << "Computer has no path";
    EXPECT_EQ(desktop.GetAttributesOf(items[0].Get(), saFolder | saFileSystem), saFolder);
    EXPECT_EQ(desktop.GetAttributesOf(items[2].Get(), saFolder | saFileSystem | saCanDelete),
              saFolder | saFileSystem | saCanDelete);

    // Below a desktop entry and below Home is the file system.
    auto show = desktop.BindToObject(items[2].Get());
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->GetDisplayNameOf(empty.Get(), dntForParsing), deskPath + "/Show");
    auto home = desktop.BindToObject(items[1].Get());
    ASSERT_NE(home, nullptr);
    TPidl inHome;
    ASSERT_TRUE(home->ParseDisplayName("My Desk/jingle.wav", inHome));
    EXPECT_EQ(home->GetPathOf(inHome.Get()), deskPath + "/jingle.wav");

    ASSERT_TRUE(desktop.EnumObjects(efFolders | efNonFolders | efIncludeHidden, items));
    EXPECT_EQ(items.size(), 5u) << "hidden desktop entries only when asked";
    ASSERT_TRUE(desktop.EnumObjects(efNonFolders, items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(desktop.GetDisplayNameOf(items[0].Get(), dntNormal), "jingle.wav");
}

TEST_F(ShellNamespaceTest, DesktopWithoutItsOwnDirectory) {
    std::ofstream(Config() / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/\"\n";
    TDesktopFolder desktop;
    std::vector<TPidl> items;
    ASSERT_TRUE(desktop.EnumObjects(efFolders | efNonFolders | efIncludeHidden, items));
    EXPECT_EQ(items.size(), 2u) << "the home folder's entries are not put on the desktop";
    TPidl empty(ItemIdAlloc(2));
    std::string name = desktop.GetDisplayNameOf(empty.Get(), dntForParsing);
    EXPECT_EQ(name, TShellNamespace::DesktopParsingName);
    EXPECT_EQ(desktop.GetPathOf(empty.Get()), "");
    TPidl parsed;
    ASSERT_TRUE(desktop.ParseDisplayName(name, parsed));
    EXPECT_EQ(ItemSizeField(parsed.Get()), 0) << "the desktop's name parses to the empty list";
}

TEST_F(ShellNamespaceTest, DesktopParsesPathsBelowComputer) {
    TDesktopFolder desktop;
    struct Case {
        std::string text;
        bool ok;
        std::string path;
    };
    std::string root = Root.string();
    const Case cases[] = {
        {root + "/sub/inner.wav", true, root + "/sub/inner.wav"},
        {root + "//sub/./inner.wav", true, root + "/sub/inner.wav"},
        {root + "/sub/../a.wav", true, root + "/a.wav"},
        {root + "/" + OddName, true, root + "/" + OddName},
        {root + "/sub/", true, root + "/sub"},
        {"/", true, "/"},
        {root + "/missing.wav", false, ""},
        {"", false, ""},
        {"relative/path", false, ""},
        {"::{00000000-0000-0000-0000-000000000000}", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TPidl list;
        ASSERT_EQ(desktop.ParseDisplayName(c.text, list), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(TShellNamespace::ItemKind(list.Get()), TShellNamespace::ikComputer);
        EXPECT_EQ(desktop.GetPathOf(list.Get()), c.path);
        EXPECT_EQ(desktop.GetDisplayNameOf(list.Get(), dntForParsing), c.path);
        EXPECT_EQ(TShellNamespace::PathFromIDList(list.Get()), c.path);
    }
    TPidl file;
    ASSERT_TRUE(desktop.ParseDisplayName(root + "/sub/inner.wav", file));
    EXPECT_EQ(desktop.GetDisplayNameOf(file.Get(), dntNormal), "inner.wav");
    EXPECT_EQ(desktop.GetAttributesOf(file.Get(), saFolder | saFileSystem), saFileSystem);
    TPidl folder;
    ASSERT_TRUE(desktop.ParseDisplayName(root + "/link-to-sub", folder));
    auto bound = desktop.BindToObject(folder.Get());
    ASSERT_NE(bound, nullptr);
    std::vector<TPidl> items;
    ASSERT_TRUE(bound->EnumObjects(efNonFolders, items));
    EXPECT_EQ(Names(items), std::vector<std::string>{"inner.wav"});
    EXPECT_EQ(desktop.BindToObject(file.Get()), nullptr) << "a file is no folder";
}

// A listing that examines each item once tells, item by item, what GetAttributesOf tells of it
// (the capabilities aside) and what a stat of it says: a link's target, a dangling link itself.
TEST_F(ShellNamespaceTest, ListingFactsAgreeWithAttributesAndStat) {
    const std::uint32_t listed = saFileSystem | saCanLink | saLink | saFolder | saFileSysAncestor |
                                 saGhosted | saHidden | saShare;
    TFileSystemFolder folder(Root.string());
    std::vector<TPidl> items;
    std::vector<TItemFacts> facts;
    ASSERT_TRUE(
        folder.EnumObjectsWithFacts(efFolders | efNonFolders | efIncludeHidden, items, facts));
    std::vector<TPidl> plain;
    ASSERT_TRUE(folder.EnumObjects(efFolders | efNonFolders | efIncludeHidden, plain));
    EXPECT_EQ(Names(items), Names(plain));
    ASSERT_EQ(facts.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string name = ItemName(items[i].Get());
        SCOPED_TRACE(name);
        ASSERT_TRUE(facts[i].Known);
        EXPECT_EQ(facts[i].Attributes, folder.GetAttributesOf(items[i].Get(), listed));
        struct stat st {};
        const std::string path = (Root / name).string();
        ASSERT_TRUE(::stat(path.c_str(), &st) == 0 || ::lstat(path.c_str(), &st) == 0);
        EXPECT_TRUE(facts[i].Examined);
        EXPECT_EQ(facts[i].Inode, st.st_ino);
        EXPECT_EQ(facts[i].Mode, st.st_mode);
        EXPECT_EQ(facts[i].Size, st.st_size);
        EXPECT_EQ(facts[i].MtimeNs, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
        EXPECT_EQ(facts[i].CtimeNs, st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec);
    }
    // Only folders, or only files: links are told by their targets, as without facts.
    for (std::uint32_t side : {efFolders, efNonFolders}) {
        ASSERT_TRUE(folder.EnumObjectsWithFacts(side | efIncludeHidden, items, facts));
        ASSERT_TRUE(folder.EnumObjects(side | efIncludeHidden, plain));
        EXPECT_EQ(Names(items), Names(plain));
        EXPECT_EQ(facts.size(), items.size());
    }
}

// Capabilities and readability as an ordinary user sees them: an unreadable folder binds but
// lists nothing; a read-only folder's files can be copied but not renamed, moved or deleted; in a
// sticky folder only one's own files can be changed (`othersFile`: sticky/theirs.wav belongs to
// another user). Returns the failures as text.
std::string CheckPermissions(const fs::path& base, bool othersFile) {
    std::string failures;
    auto check = [&](bool ok, const std::string& what) {
        if (!ok)
            failures += what + "\n";
    };
    TFileSystemFolder folder(base.string());
    const std::uint32_t change = saCanDelete | saCanRename | saCanMove;
    const std::uint32_t mask = change | saCanCopy | saFolder | saReadOnly;
    auto attributes = [&](const std::string& name) {
        TPidl item;
        if (!folder.ParseDisplayName(name, item))
            return 0xFFFFFFFFu;
        return folder.GetAttributesOf(item.Get(), mask);
    };
    TPidl locked;
    check(folder.ParseDisplayName("open/locked", locked), "locked parses");
    auto bound = folder.BindToObject(locked.Get());
    check(bound != nullptr, "locked binds");
    std::vector<TPidl> items;
    items.push_back(TPidl::Copy(locked.Get()));
    check(bound && !bound->EnumObjects(efFolders | efNonFolders | efIncludeHidden, items),
          "locked cannot be listed");
    check(items.empty(), "a failed listing leaves no items");
    check(attributes("open/locked") == (saFolder | change | saReadOnly), "locked: no copy");
    check(attributes("readonly/kept.wav") == (saCanCopy | saReadOnly), "read-only folder's file");
    check(attributes("open/mine.wav") == (saCanCopy | change), "writable folder's file");
    if (othersFile)
        check(attributes("sticky/theirs.wav") == (saCanCopy | saReadOnly), "sticky: another's");
    std::ofstream(base / "sticky" / "mine.wav") << "x";
    check(attributes("sticky/mine.wav") == (saCanCopy | change), "sticky: own file");
    return failures;
}

TEST(ShellPermissionsTest, CapabilitiesFollowTheUsersRights) {
    TTempDir dir;
    fs::path base = dir.Path();
    fs::create_directories(base / "open" / "locked");
    fs::create_directories(base / "readonly");
    fs::create_directories(base / "sticky");
    std::ofstream(base / "open" / "mine.wav") << "x";
    std::ofstream(base / "readonly" / "kept.wav") << "x";
    std::ofstream(base / "sticky" / "theirs.wav") << "x";
    ::chmod((base / "open" / "locked").c_str(), 0);
    ::chmod((base / "readonly" / "kept.wav").c_str(), 0444);
    ::chmod((base / "readonly").c_str(), 0555);
    ::chmod((base / "sticky").c_str(), 01777);
    ::chmod(base.c_str(), 0755);
    if (::geteuid() != 0) {
        EXPECT_EQ(CheckPermissions(base, false), "");
    } else {
        // Root passes every permission check: look as an ordinary user, in a child process.
        for (const char* name : {"open", "open/locked", "open/mine.wav"})
            ASSERT_EQ(::chown((base / name).c_str(), 65534, 65534), 0) << name;
        EXPECT_EXIT(
            {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    std::_Exit(2);
                std::string failures = CheckPermissions(base, true);
                std::fputs(failures.c_str(), stderr);
                std::_Exit(failures.empty() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
    ::chmod((base / "open" / "locked").c_str(), 0755);
    ::chmod((base / "readonly").c_str(), 0755);
}

TEST(DrivesFolderTest, UserVisibleMountsFromMountInfo) {
    const std::string text =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "25 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "26 25 0:5 / /dev rw - devtmpfs udev rw\n"
        "27 25 0:23 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        "28 25 8:17 / /media/ann/My\\040Disk rw,nosuid shared:7 - vfat /dev/sdb1 rw\n"
        "29 25 8:33 / /run/media/bob/CARD rw - exfat /dev/sdc1 rw\n"
        "30 25 8:2 / /mnt/data rw - ext4 /dev/sda2 rw\n"
        "31 25 0:50 / /srv/station rw - nfs4 server:/export rw\n"
        "32 25 0:51 / /home/ann/remote rw - fuse.sshfs ann@host: rw\n"
        "33 25 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "34 25 8:2 / /mnt/data rw - ext4 /dev/sda2 rw\n"
        "35 25 8:3 / /boot rw - ext4 /dev/sda3 rw\n"
        "garbage line\n";
    EXPECT_EQ(TDrivesFolder::ParseMountInfo(text),
              (std::vector<std::string>{"/", "/home/ann/remote", "/media/ann/My Disk", "/mnt/data",
                                        "/run/media/bob/CARD", "/srv/station"}));
    EXPECT_EQ(TDrivesFolder::ParseMountInfo(""), std::vector<std::string>{"/"});
    auto system = TDrivesFolder::SystemMountPoints();
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system.front(), "/");
}

TEST(DrivesFolderTest, PathsBelongToTheDeepestDrive) {
    TTempDir dir;
    fs::create_directories(dir.Path() / "usb" / "Music");
    std::string usb = (dir.Path() / "usb").string();
    TDrivesFolder drives({"/", usb});
    std::vector<TPidl> items;
    ASSERT_TRUE(drives.EnumObjects(efFolders | efNonFolders, items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(drives.GetDisplayNameOf(items[0].Get(), dntNormal), "File System (/)");
    EXPECT_EQ(drives.GetDisplayNameOf(items[1].Get(), dntNormal), "usb (" + usb + ")");
    EXPECT_EQ(drives.GetDisplayNameOf(items[1].Get(), dntForParsing), usb);
    EXPECT_EQ(drives.GetAttributesOf(items[1].Get(), saFolder | saFileSystem | saCanDelete),
              saFolder | saFileSystem);
    ASSERT_TRUE(drives.EnumObjects(efNonFolders, items));
    EXPECT_TRUE(items.empty());

    TPidl music;
    ASSERT_TRUE(drives.ParseDisplayName(usb + "/Music", music));
    EXPECT_EQ(ItemName(music.Get()), usb) << "first item: the usb drive, not /";
    EXPECT_EQ(drives.GetPathOf(music.Get()), usb + "/Music");
    TPidl rootOnly;
    ASSERT_TRUE(drives.ParseDisplayName("/", rootOnly));
    EXPECT_EQ(drives.GetPathOf(rootOnly.Get()), "/");
}

} // namespace
