#pragma once

#include <QByteArray>
#include <QString>

// Opens an item with the desktop's default application through xdg-open, the desktop's
// launcher, started detached (some desktops make it wait for the application). Unlike
// QDesktopServices it says why nothing could be started, so the user can be told.
class TDesktopLauncher {
public:
    // True once the launcher is running; else `reason` says why it could not be started.
    static bool Open(const QByteArray& path, QString& reason);
};
