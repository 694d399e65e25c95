#pragma once

#include <QByteArray>
#include <QString>

// A path kept as text in a settings file (the start folder, favorites), so that any path's bytes
// come back: a path that is valid UTF-8 is stored as itself, as a user would type it; any other
// path as a file URL with its bytes escaped ("file:///music/caf%E9"), which no plain path
// begins with.
class TPathText {
public:
    static QString ToText(const QByteArray& path);
    static QByteArray FromText(const QString& text);
};
