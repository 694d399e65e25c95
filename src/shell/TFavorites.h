#pragma once

#include <QString>
#include <QStringList>

class TProfileFile;
class TRegistryStore;

// Where the favorites menu's folders are kept: the broadcast system's audio folders in the
// registry (read only), the user's favorites in the settings file's "Favorites" section.
class TFavorites {
public:
    static constexpr const char* AudioPathsKey =
        "Software\\VB and VBA Program Settings\\QAV\\AudioFilePaths";
    static constexpr const char* Section = "Favorites";

    // "AudioPath0" to "AudioPath127" in index order, up to the first missing or empty value.
    static QStringList ReadAudioFolders(const TRegistryStore& registry);
    // The section's values in file order (the keys' names are not interpreted).
    static QStringList ReadFavorites(const TProfileFile& settings);
    // Replaces the section by the paths under the keys "0", "1", ... in one write.
    static bool WriteFavorites(TProfileFile& settings, const QStringList& paths);
};
