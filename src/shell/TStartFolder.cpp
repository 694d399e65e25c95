#include "TStartFolder.h"

#include "ItemIdList.h"
#include "TPathText.h"
#include "TRegistryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool IsFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

// The user's music folder from the XDG user dirs; "" when that is just the home folder.
QString XdgMusicFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return QFileInfo(music) == QFileInfo(home) ? QString() : music;
}

} // namespace

TStartFolder TStartFolder::Choose(const QString& folderSetting, const TRegistryStore& registry,
                                  const QString& musicFolder) {
    TStartFolder start;
    if (folderSetting == QLatin1String(DesktopWord)) {
        start.Desktop = true;
        return start;
    }
    if (!folderSetting.isEmpty()) {
        start.Path = TPathText::FromText(folderSetting);
        return start;
    }
    // The audio folders stop at the first empty value, so the first one is AudioPath0.
    const QString audio =
        registry.ReadString(QLatin1String(AudioPathsKey), QStringLiteral("AudioPath0"));
    if (IsFolder(audio)) {
        start.Path = QFile::encodeName(audio);
        return start;
    }
    const QString music = musicFolder.isEmpty() ? XdgMusicFolder() : musicFolder;
    if (IsFolder(music))
        start.Path = QFile::encodeName(music);
    return start;
}

QString TStartFolder::FolderSetting(PCItemIDList folder, const QByteArray& parsingName) {
    if (folder != nullptr && ItemSizeField(folder) == 0)
        return QLatin1String(DesktopWord);
    return TPathText::ToText(parsingName);
}
