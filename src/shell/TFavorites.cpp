#include "TFavorites.h"

#include "TProfileFile.h"
#include "TRegistryStore.h"

QStringList TFavorites::ReadAudioFolders(const TRegistryStore& registry) {
    QStringList folders;
    for (int i = 0; i < 128; ++i) {
        const QString path =
            registry.ReadString(QLatin1String(AudioPathsKey), QStringLiteral("AudioPath%1").arg(i));
        if (path.isEmpty())
            break;
        folders.append(path);
    }
    return folders;
}

QStringList TFavorites::ReadFavorites(const TProfileFile& settings) {
    QStringList paths;
    const QString section = QLatin1String(Section);
    for (const QString& key : settings.ReadSectionKeys(section)) {
        const QString path = settings.ReadString(section, key, QString());
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

bool TFavorites::WriteFavorites(TProfileFile& settings, const QStringList& paths) {
    if (paths.isEmpty())
        return settings.EraseSection(QLatin1String(Section));
    QList<QPair<QString, QString>> entries;
    for (qsizetype i = 0; i < paths.size(); ++i)
        entries.append({QString::number(i), paths[i]});
    return settings.WriteSection(QLatin1String(Section), entries);
}
