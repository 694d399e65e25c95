#pragma once

#include "ItemIdList.h"

#include <QByteArray>
#include <QString>

class TRegistryStore;

// The folder the browser opens with, from the "Folder" setting: the word "Desktop" is the
// desktop itself; any other text is a path (or "::" name) to parse; an empty setting falls
// back to the broadcast system's first audio folder ("AudioPath0"), then to the user's music
// folder, each only when that folder exists, and last to the empty path, which shows Computer.
struct TStartFolder {
    static constexpr const char* DesktopWord = "Desktop";
    static constexpr const char* AudioPathsKey =
        "Software\\VB and VBA Program Settings\\QAV\\AudioFilePaths";

    bool Desktop = false;
    QByteArray Path; // bytes to parse when not the desktop

    // musicFolder: the XDG music folder (empty to look it up).
    static TStartFolder Choose(const QString& folderSetting, const TRegistryStore& registry,
                               const QString& musicFolder = QString());

    // The "Folder" value for the folder shown: "Desktop" for the desktop (empty list),
    // else its parsing name.
    static QString FolderSetting(PCItemIDList folder, const QByteArray& parsingName);
};
