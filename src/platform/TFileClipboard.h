#pragma once

#include "TTransferMode.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <optional>

class QMimeData;

// The file lists that desktop file managers exchange through the clipboard and drag and drop:
//  - "text/uri-list": one file URI per line (RFC 2483);
//  - "x-special/gnome-copied-files": "copy" or "cut", then one URI per line (GNOME, Xfce,
//    and what most others read);
//  - "application/x-kde-cutselection": "1" when the files were cut (KDE).
// Paths are raw bytes, percent-encoded byte for byte in the URIs, so names that are not
// UTF-8 survive the trip.
class TFileClipboard {
public:
    struct TContents {
        QList<QByteArray> Paths;
        TTransferMode Mode = TTransferMode::Copy;
    };

    // The data to place on the clipboard for the items; cut marks them to be moved.
    static std::unique_ptr<QMimeData> MimeData(const QList<QByteArray>& paths, bool cut);
    // The local files on offer: cut (either marker) moves; "copy" or a bare URI list copies.
    // Nothing when the data holds no local file (text only, remote URIs).
    static std::optional<TContents> Read(const QMimeData* data);
    // Whether the data offers a file list, from its formats alone: another program's list is
    // read only when the user pastes, as some hand it out once (libfm clears the clipboard
    // after the first read).
    static bool OffersFiles(const QMimeData* data);

    // "file:///a%20b.wav" for "/a b.wav".
    static QByteArray PathToUri(const QByteArray& path);
    // The local path of a "file:" URI (empty host or "localhost"); nothing for any other.
    static std::optional<QByteArray> UriToPath(const QByteArray& uri);

    static constexpr const char* UriListType = "text/uri-list";
    static constexpr const char* GnomeType = "x-special/gnome-copied-files";
    static constexpr const char* KdeCutType = "application/x-kde-cutselection";
};
