#pragma once

#include <QByteArray>

// The freedesktop Trash on raw-byte paths, for every name (Qt's own trash turns names into text,
// and writes Path= unescaped). An item on the device of the home trash ($XDG_DATA_HOME/Trash)
// goes there; any other item goes to the trash at the top folder of its own file system:
// "$topdir/.Trash/$uid" when "$topdir/.Trash" is a sticky folder and not a link, else
// "$topdir/.Trash-$uid" (made on first use). Path= is escaped as in URLs; in a top-folder
// trash it is relative to the top folder, so the entry survives a remount elsewhere.
class TTrash {
public:
    // Moves `path` into the Trash; 0 or the errno value of the failure.
    static int MoveToTrash(const QByteArray& path);

    // The mount point of the file system holding `folder` (an existing folder).
    static QByteArray TopDir(const QByteArray& folder);
};
