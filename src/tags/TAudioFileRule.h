#pragma once

#include <QByteArray>
#include <QString>

// Which files the program treats as audio files by name: the list reads their information,
// batch tagging writes them, cuemark-tag exports them, and the editor describes their format.
// Names are bytes, so a file name that is not valid UTF-8 is judged like any other.
class TAudioFileRule {
public:
    // The file name's extension (from its last ".") is ".wav", ".mp2" or ".mp3" in any letter
    // case.
    static bool IsAudioPath(const QByteArray& path);
    // The editor's MPEG rule: the extension's first three letters are MP2, MP3 or MPG in any
    // letter case (so ".mpg" and ".mp3x" count, ".mp1" does not).
    static bool IsMpegSuffix(const QString& suffix);
};
