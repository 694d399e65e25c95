// The folder the browser starts in, and the "Folder" value written at the end.

#include "PidlHelp.h"
#include "TRegistryStore.h"
#include "TStartFolder.h"
#include "TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fstream>

namespace {

class StartFolderTest : public testing::Test {
protected:
    TTempDir Dir;
    QString Music = QString::fromStdString(Dir.File("Music"));
    QString Audio = QString::fromStdString(Dir.File("Audio"));
    TRegistryStore Registry{QString::fromStdString(Dir.File("registry.reg"))};

    void SetAudioPath(const QString& path) {
        ASSERT_TRUE(Registry.WriteString(QLatin1String(TStartFolder::AudioPathsKey),
                                         QStringLiteral("AudioPath0"), path));
    }
};

TEST_F(StartFolderTest, SettingWins) {
    std::filesystem::create_directory(Dir.Path() / "Audio");
    SetAudioPath(Audio);
    const TStartFolder desktop = TStartFolder::Choose(QStringLiteral("Desktop"), Registry, Music);
    EXPECT_TRUE(desktop.Desktop);
    // A saved path is used even when it is gone (the list then shows Computer).
    const TStartFolder saved = TStartFolder::Choose(QStringLiteral("/no/such/dir"), Registry);
    EXPECT_FALSE(saved.Desktop);
    EXPECT_EQ(saved.Path, QByteArray("/no/such/dir"));
    // Only the exact word names the desktop.
    EXPECT_EQ(TStartFolder::Choose(QStringLiteral("desktop"), Registry).Path, "desktop");
}

TEST_F(StartFolderTest, EmptySettingFallsBackInOrder) {
    // Nothing exists: the empty path.
    SetAudioPath(Audio);
    TStartFolder start = TStartFolder::Choose(QString(), Registry, Music);
    EXPECT_FALSE(start.Desktop);
    EXPECT_TRUE(start.Path.isEmpty());
    // The music folder when the audio folder does not exist.
    std::filesystem::create_directory(Dir.Path() / "Music");
    EXPECT_EQ(TStartFolder::Choose(QString(), Registry, Music).Path, QFile::encodeName(Music));
    // The broadcast system's audio folder first once it exists.
    std::filesystem::create_directory(Dir.Path() / "Audio");
    EXPECT_EQ(TStartFolder::Choose(QString(), Registry, Music).Path, QFile::encodeName(Audio));
    // A file of that name is not a folder.
    std::filesystem::remove(Dir.Path() / "Audio");
    { std::ofstream(Dir.Path() / "Audio") << "x"; }
    EXPECT_EQ(TStartFolder::Choose(QString(), Registry, Music).Path, QFile::encodeName(Music));
}

TEST_F(StartFolderTest, FolderValueForTheDesktopAndOthers) {
    PItemIDList desktop = CreatePIDL(2);
    EXPECT_EQ(TStartFolder::FolderSetting(desktop, "/home/x/Desktop"), QStringLiteral("Desktop"));
    FreePIDL(desktop);
    const TPidl item = TPidl::FromItemData("Fx", 2);
    EXPECT_EQ(TStartFolder::FolderSetting(item.Get(), "/srv/audio"), QStringLiteral("/srv/audio"));
}

} // namespace
