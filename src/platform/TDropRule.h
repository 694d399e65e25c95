#pragma once

#include "TFileSystemCalls.h"
#include "TTransferMode.h"

#include <QByteArray>
#include <QList>

// What a drop of files on the folder list does, decided without widgets.
//  - The default of a plain drop follows the "drive" rule: files from the same file system
//    (device) as the shown folder are moved, unless they already lie in that folder; files
//    from another device are copied.
//  - Files that already lie in the shown folder are never transferred onto themselves: they
//    are left out, and the caller says "At least one file has been skipped".
// "Lies in the folder" compares the item's folder with the shown one as file-system objects
// (device and inode), so two spellings of one folder (a link, a trailing "/") agree.
class TDropRule {
public:
    static TTransferMode DefaultMode(const QList<QByteArray>& dropped, const QByteArray& folder,
                                     TFileSystemCalls& calls = TFileSystemCalls::Native());

    static bool LiesIn(const QByteArray& path, const QByteArray& folder,
                       TFileSystemCalls& calls = TFileSystemCalls::Native());

    struct TSplit {
        QList<QByteArray> Transfer; // in drop order
        bool Skipped = false;
    };
    static TSplit SplitSkipped(const QList<QByteArray>& dropped, const QByteArray& folder,
                               TFileSystemCalls& calls = TFileSystemCalls::Native());
};
