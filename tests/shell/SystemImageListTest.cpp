#include "PidlHelp.h"
#include "TShellNamespace.h"
#include "TSystemIconTable.h"
#include "TSystemImageList.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>

// Every index the namespace hands out has an image, and one index always gives the same image.
TEST(SystemImageListTest, EveryIndexHasAnImage) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "sub");
    std::ofstream(dir.File("song.wav")) << "x";
    std::ofstream(dir.File("notes.txt")) << "x";
    auto desktop = TShellNamespace::DesktopFolder();
    std::vector<int> indices;
    for (const char* name : {"sub", "song.wav", "notes.txt"}) {
        TPidl list;
        ASSERT_TRUE(GetPIDLFromPath(desktop.get(), dir.File(name), list)) << name;
        int normal = -1, selected = -1;
        GetNormalAndSelectedIcons(list.Get(), normal, selected);
        indices.push_back(normal);
        indices.push_back(selected);
    }
    TPidl root(ItemIdAlloc(2));
    TPidl computer = TShellNamespace::DrivesLocation();
    indices.push_back(GetIconIndex(root.Get(), SHGFI_SYSICONINDEX));
    indices.push_back(GetIconIndex(computer.Get(), SHGFI_SYSICONINDEX));
    TSystemImageList& images = TSystemImageList::Instance();
    for (int index : indices) {
        SCOPED_TRACE(TSystemIconTable::Instance().KeyAt(index));
        QIcon icon = images.Icon(index);
        EXPECT_FALSE(icon.isNull());
        EXPECT_EQ(images.Icon(index).cacheKey(), icon.cacheKey());
    }
    EXPECT_TRUE(images.Icon(-1).isNull());
    EXPECT_TRUE(images.Icon(TSystemIconTable::Instance().Count()).isNull());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
