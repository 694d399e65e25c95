#include "PidlHelp.h"
#include "TShellNamespace.h"
#include "TSystemIconTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Lists written byte by byte, independently of the code under test: each item is its 16-bit
// little-endian size followed by its data, then a 16-bit zero. Allocated with malloc, as every
// list is, so FreePIDL can release them.
PItemIDList MakeList(std::initializer_list<std::string> items) {
    Bytes bytes;
    for (const std::string& data : items) {
        std::size_t size = data.size() + 2;
        bytes.push_back(static_cast<std::uint8_t>(size & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(size >> 8));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    bytes.push_back(0);
    bytes.push_back(0);
    auto* list = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(list, bytes.data(), bytes.size());
    return reinterpret_cast<PItemIDList>(list);
}

// The bytes of a list up to and including its terminator, read by hand.
Bytes ListBytes(PCItemIDList list) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(list);
    std::size_t size = 0;
    while (std::size_t cb = p[size] | (p[size + 1] << 8))
        size += cb;
    return Bytes(p, p + size + 2);
}

Bytes ExpectedBytes(std::initializer_list<std::string> items) {
    TPidl list(MakeList(items));
    return ListBytes(list.Get());
}

} // namespace

TEST(PidlHelpTest, SizesCountsAndWalking) {
    TPidl empty(MakeList({}));
    TPidl three(MakeList({"a", "bcd", "ef"}));
    EXPECT_EQ(GetPidlSize(nullptr), 0u);
    EXPECT_EQ(GetPidlSize(empty.Get()), 2u);
    EXPECT_EQ(GetPidlSize(three.Get()), 2u + 3 + 5 + 4);
    EXPECT_EQ(PIDLCount(nullptr), 0);
    EXPECT_EQ(PIDLCount(empty.Get()), 0);
    EXPECT_EQ(PIDLCount(three.Get()), 3);
    EXPECT_EQ(NextPIDL(empty.Get()), nullptr);
    PItemIDList second = NextPIDL(three.Get());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(
        reinterpret_cast<std::uint8_t*>(second) - reinterpret_cast<std::uint8_t*>(three.Get()), 3);
    PItemIDList terminator = NextPIDL(NextPIDL(second));
    ASSERT_NE(terminator, nullptr);
    EXPECT_EQ(NextPIDL(terminator), nullptr);
}

TEST(PidlHelpTest, CreateAndFree) {
    PItemIDList block = CreatePIDL(7);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(reinterpret_cast<std::uint8_t*>(block)[i], 0) << i;
    FreePIDL(block);
    EXPECT_EQ(block, nullptr);
    FreePIDL(block); // already null: nothing happens
    EXPECT_EQ(block, nullptr);
}

// Each copying operation on a table of inputs, checked against lists written by hand.
TEST(PidlHelpTest, CopiesOfPartsOfLists) {
    struct Case {
        const char* what;
        std::initializer_list<std::string> source;
        std::initializer_list<std::string> parent, first, last;
    };
    const Case cases[] = {
        {"empty (the desktop)", {}, {}, {}, {}},
        {"one item", {"only"}, {}, {"only"}, {"only"}},
        {"three items", {"a", "bcd", "ef"}, {"a", "bcd"}, {"a"}, {"ef"}},
        {"item of 300 bytes",
         {std::string(300, 'x'), "y"},
         {std::string(300, 'x')},
         {std::string(300, 'x')},
         {"y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPidl source(MakeList(c.source));
        Bytes before = ListBytes(source.Get());
        TPidl parent(CopyParentPIDL(source.Get()));
        TPidl first(CopyFirstID(source.Get()));
        TPidl last(CopyLastID(source.Get()));
        TPidl copy(CopyPIDL(source.Get()));
        ASSERT_TRUE(parent && first && last && copy);
        EXPECT_EQ(ListBytes(parent.Get()), ExpectedBytes(c.parent));
        EXPECT_EQ(ListBytes(first.Get()), ExpectedBytes(c.first));
        EXPECT_EQ(ListBytes(last.Get()), ExpectedBytes(c.last));
        EXPECT_EQ(ListBytes(copy.Get()), before);
        EXPECT_NE(copy.Get(), source.Get());
        EXPECT_EQ(ListBytes(source.Get()), before) << "the argument is not changed";
    }
    EXPECT_EQ(CopyPIDL(nullptr), nullptr);
    EXPECT_EQ(CopyParentPIDL(nullptr), nullptr);
    EXPECT_EQ(CopyLastID(nullptr), nullptr);
}

TEST(PidlHelpTest, ParentOfTheDesktopIsTheDesktopSoUpStopsThere) {
    TPidl desktop(MakeList({}));
    TPidl parent(CopyParentPIDL(desktop.Get()));
    ASSERT_TRUE(parent);
    EXPECT_NE(parent.Get(), desktop.Get());
    EXPECT_TRUE(ComparePIDLs(parent.Get(), desktop.Get()));
    TPidl drive(MakeList({"C", "D/"}));
    TPidl up(CopyParentPIDL(drive.Get()));
    EXPECT_FALSE(ComparePIDLs(up.Get(), drive.Get()));
}

TEST(PidlHelpTest, Concatenation) {
    TPidl empty(MakeList({}));
    TPidl one(MakeList({"x"}));
    TPidl two(MakeList({"ab", "cd"}));
    TPidl a(ConcatPIDLs(empty.Get(), one.Get()));
    TPidl b(ConcatPIDLs(nullptr, one.Get()));
    TPidl c(ConcatPIDLs(two.Get(), one.Get()));
    TPidl d(ConcatPIDLs(one.Get(), empty.Get()));
    EXPECT_EQ(ListBytes(a.Get()), ExpectedBytes({"x"}));
    EXPECT_EQ(ListBytes(b.Get()), ExpectedBytes({"x"}));
    EXPECT_EQ(ListBytes(c.Get()), ExpectedBytes({"ab", "cd", "x"}));
    EXPECT_EQ(ListBytes(d.Get()), ExpectedBytes({"x"}));
    EXPECT_EQ(ConcatPIDLs(one.Get(), nullptr), nullptr);
}

TEST(PidlHelpTest, ComparisonIsOnBytes) {
    TPidl empty(MakeList({}));
    TPidl list(MakeList({"Fa.wav", "Fb"}));
    TPidl copy1(CopyPIDL(list.Get()));
    TPidl copy2(CopyPIDL(list.Get()));
    TPidl otherCase(MakeList({"FA.wav", "Fb"}));
    TPidl shorter(MakeList({"Fa.wav"}));
    TPidl longer(MakeList({"Fa.wav", "Fb", "Fc"}));
    EXPECT_TRUE(ComparePIDLs(nullptr, nullptr));
    EXPECT_FALSE(ComparePIDLs(nullptr, empty.Get()));
    EXPECT_FALSE(ComparePIDLs(empty.Get(), nullptr));
    EXPECT_TRUE(ComparePIDLs(copy1.Get(), copy2.Get()));
    EXPECT_FALSE(ComparePIDLs(list.Get(), otherCase.Get()));
    EXPECT_FALSE(ComparePIDLs(list.Get(), shorter.Get()));
    EXPECT_FALSE(ComparePIDLs(list.Get(), longer.Get()));
}

TEST(PidlHelpTest, StripLastIdWorksInPlace) {
    TPidl two(MakeList({"first", "second"}));
    auto* base = reinterpret_cast<std::uint8_t*>(two.Get());
    PItemIDList end = StripLastID(two.Get());
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(end), base + 7) << "where the second item began";
    EXPECT_EQ(ListBytes(two.Get()), ExpectedBytes({"first"}));
    TPidl empty(MakeList({}));
    EXPECT_EQ(StripLastID(empty.Get()), empty.Get());
    EXPECT_EQ(ListBytes(empty.Get()), ExpectedBytes({}));
    EXPECT_EQ(StripLastID(nullptr), nullptr);
}

TEST(PidlHelpTest, OwnerReleasesAndHandsOver) {
    TPidl owner(MakeList({"a"}));
    PItemIDList raw = owner.Release();
    EXPECT_FALSE(owner);
    TPidl other;
    other.Reset(raw);
    TPidl moved = std::move(other);
    EXPECT_FALSE(other);
    EXPECT_EQ(moved.Get(), raw);
}

// Names, paths and icons through the namespace; the environment points at temporary folders.
class PidlHelpNamespaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home.BecomeHome();
        std::filesystem::create_directories(Home.Path() / "Desktop");
        std::filesystem::create_directories(Home.Path() / ".config");
        std::filesystem::create_directories(Dir.Path() / "music" / "sub");
        std::ofstream(Dir.File("music/Song.WAV")) << "x";
        std::ofstream(Dir.File("music/\xff\xfe.mp3")) << "x";
        Desktop = TShellNamespace::DesktopFolder();
    }

    TPidl Parse(const std::string& path) {
        TPidl list;
        EXPECT_TRUE(GetPIDLFromPath(Desktop.get(), path, list)) << path;
        return list;
    }

    TTempDir Dir;
    TTempDir Home;
    std::unique_ptr<TShellFolder> Desktop;
};

TEST_F(PidlHelpNamespaceTest, NamesAndPathsOfFilesAndVirtualFolders) {
    std::string music = Dir.File("music");
    TPidl folder = Parse(music);
    auto bound = Desktop->BindToObject(folder.Get());
    ASSERT_NE(bound, nullptr);
    TPidl file;
    ASSERT_TRUE(GetPIDLFromPath(bound.get(), "Song.WAV", file));
    EXPECT_EQ(PIDLCount(file.Get()), 1);
    EXPECT_EQ(GetDisplayName(bound.get(), file.Get(), dntForParsing), music + "/Song.WAV");
    EXPECT_EQ(GetDisplayName(bound.get(), file.Get(), dntNormal), "Song.WAV");
    EXPECT_EQ(GetDisplayName(bound.get(), file.Get(), dntInFolder), "Song.WAV");
    TPidl absolute(ConcatPIDLs(folder.Get(), file.Get()));
    EXPECT_EQ(GetPathFromPIDL(absolute.Get()), music + "/Song.WAV");
    EXPECT_EQ(GetDisplayName(Desktop.get(), absolute.Get(), dntNormal), "Song.WAV");

    TPidl drives = TShellNamespace::DrivesLocation();
    std::string drivesName = GetDisplayName(Desktop.get(), drives.Get(), dntForParsing);
    EXPECT_EQ(drivesName.substr(0, 2), "::");
    EXPECT_EQ(GetPathFromPIDL(drives.Get()), "");
    EXPECT_EQ(GetDisplayName(Desktop.get(), drives.Get(), dntNormal), "Computer");
    TPidl reparsed = Parse(drivesName);
    EXPECT_TRUE(ComparePIDLs(reparsed.Get(), drives.Get()));

    TPidl missing;
    EXPECT_FALSE(GetPIDLFromPath(Desktop.get(), music + "/nothing.wav", missing));
    EXPECT_FALSE(GetPIDLFromPath(Desktop.get(), "", missing));
    EXPECT_FALSE(missing);
    EXPECT_EQ(GetDisplayName(nullptr, file.Get(), dntNormal), "");
}

TEST_F(PidlHelpNamespaceTest, PathsAreBytesAndNeverShortened) {
    std::string odd = Dir.File("music/\xff\xfe.mp3");
    TPidl list = Parse(odd);
    EXPECT_EQ(GetPathFromPIDL(list.Get()), odd);
    // A path longer than the old 260-character limit round-trips whole.
    std::filesystem::path deep = Dir.Path() / "music";
    for (int i = 0; i < 8; ++i)
        deep /= std::string(40, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    ASSERT_GT(deep.string().size(), 300u);
    TPidl deepList = Parse(deep.string());
    EXPECT_EQ(GetPathFromPIDL(deepList.Get()), deep.string());
}

TEST_F(PidlHelpNamespaceTest, IconIndicesShareOneTable) {
    TPidl sub = Parse(Dir.File("music/sub"));
    TPidl song = Parse(Dir.File("music/Song.WAV"));
    TPidl desktop(MakeList({}));
    int folderNormal = -2, folderOpen = -2, songNormal = -2, songOpen = -2;
    GetNormalAndSelectedIcons(sub.Get(), folderNormal, folderOpen);
    GetNormalAndSelectedIcons(song.Get(), songNormal, songOpen);
    EXPECT_GE(folderNormal, 0);
    EXPECT_GE(songNormal, 0);
    EXPECT_NE(folderNormal, folderOpen) << "folders have an open-state icon";
    EXPECT_NE(folderNormal, songNormal);
    EXPECT_EQ(songNormal, songOpen) << "files look the same when selected";
    EXPECT_EQ(GetIconIndex(Parse(Dir.File("music")).Get(), SHGFI_SYSICONINDEX), folderNormal)
        << "every folder shares one index";
    EXPECT_EQ(TSystemIconTable::Instance().KeyAt(folderNormal), "folder");
    EXPECT_GE(GetIconIndex(desktop.Get(), SHGFI_SYSICONINDEX), 0);
    EXPECT_EQ(GetIconIndex(nullptr, SHGFI_SYSICONINDEX), -1);
}
