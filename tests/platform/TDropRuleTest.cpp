#include "TDropRule.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

QByteArray Raw(const fs::path& path) {
    return QByteArray::fromStdString(path.string());
}

// The real file system, with one folder standing on another device.
class TTwoDevices : public TFileSystemCalls {
public:
    QByteArray OtherDevice;

    int Status(const QByteArray& path, TFileStatus& status) override {
        return Mark(path, TFileSystemCalls::Status(path, status), status);
    }
    int StatusFollowed(const QByteArray& path, TFileStatus& status) override {
        return Mark(path, TFileSystemCalls::StatusFollowed(path, status), status);
    }

private:
    int Mark(const QByteArray& path, int rc, TFileStatus& status) {
        if (rc == 0 && path.startsWith(OtherDevice))
            status.Device += 1;
        return rc;
    }
};

TEST(DropRuleTest, SameDeviceMovesUnlessAlreadyHereOtherDeviceCopies) {
    TTempDir dir;
    for (const char* sub : {"shown", "other", "stick"})
        fs::create_directory(dir.Path() / sub);
    for (const char* file : {"shown/a.wav", "other/b.wav", "other/c.wav", "stick/d.wav"})
        std::ofstream(dir.Path() / file) << "x";
    fs::create_directory_symlink(dir.Path() / "shown", dir.Path() / "alias");
    TTwoDevices calls;
    calls.OtherDevice = Raw(dir.Path() / "stick");
    const QByteArray shown = Raw(dir.Path() / "shown");

    struct TCase {
        const char* Name;
        QList<QByteArray> Dropped;
        TTransferMode Expected;
    };
    const QList<TCase> cases = {
        {"same device", {Raw(dir.Path() / "other/b.wav")}, TTransferMode::Move},
        {"already here", {Raw(dir.Path() / "shown/a.wav")}, TTransferMode::Copy},
        {"already here by a link", {Raw(dir.Path() / "alias/a.wav")}, TTransferMode::Copy},
        {"other device", {Raw(dir.Path() / "stick/d.wav")}, TTransferMode::Copy},
        {"the first name decides",
         {Raw(dir.Path() / "stick/d.wav"), Raw(dir.Path() / "other/b.wav")},
         TTransferMode::Copy},
        {"nothing", {}, TTransferMode::Copy},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TDropRule::DefaultMode(c.Dropped, shown, calls), c.Expected) << c.Name;
    EXPECT_EQ(TDropRule::DefaultMode({Raw(dir.Path() / "other/b.wav")}, shown + "/", calls),
              TTransferMode::Move);
}

TEST(DropRuleTest, NamesAlreadyInTheShownFolderAreSkipped) {
    TTempDir dir;
    fs::create_directories(dir.Path() / "shown");
    fs::create_directories(dir.Path() / "other");
    const QByteArray shown = Raw(dir.Path() / "shown");
    const QList<QByteArray> dropped = {Raw(dir.Path() / "other/b.wav"),
                                       Raw(dir.Path() / "shown/a.wav"),
                                       Raw(dir.Path() / "other/c.wav")};
    const TDropRule::TSplit split = TDropRule::SplitSkipped(dropped, shown);
    EXPECT_TRUE(split.Skipped);
    EXPECT_EQ(split.Transfer, (QList<QByteArray>{dropped[0], dropped[2]}));
    EXPECT_FALSE(TDropRule::SplitSkipped({dropped[0]}, shown).Skipped);
}

} // namespace
