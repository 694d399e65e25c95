#pragma once

#include <QString>

// Where the program keeps its files.
//
// Cuemark.ini lies beside the executable when that folder is writable (a
// portable install, a build tree), else in $XDG_CONFIG_HOME/cuemark (default
// ~/.config/cuemark). When the environment variable CUEMARK_SETTINGS_DIR is set
// and not empty, Cuemark.ini lies in that folder instead: tests use it so that
// parallel runs of the program from one build tree do not share a settings file.
class TSettingsLocation {
public:
    // Full path of the running executable (symbolic links resolved).
    static QString ExecutablePath();
    // Folder of the running executable.
    static QString ExecutableDir();
    // $XDG_CONFIG_HOME (or ~/.config when unset or not absolute).
    static QString ConfigHome();
    // $XDG_DATA_HOME (or ~/.local/share when unset or not absolute).
    static QString DataHome();
    // ConfigHome() + "/cuemark".
    static QString ConfigDir();
    // Full path of Cuemark.ini, chosen as described above. The folder is not created.
    static QString SettingsFilePath();
};
