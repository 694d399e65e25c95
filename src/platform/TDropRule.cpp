#include "TDropRule.h"

#include "TFileOperations.h"

bool TDropRule::LiesIn(const QByteArray& path, const QByteArray& folder, TFileSystemCalls& calls) {
    const QByteArray parent = TFileOperations::FolderOf(path);
    TFileStatus a;
    TFileStatus b;
    if (calls.StatusFollowed(parent, a) == 0 && calls.StatusFollowed(folder, b) == 0)
        return a.Device == b.Device && a.Inode == b.Inode;
    return parent == TFileOperations::Clean(folder);
}

TTransferMode TDropRule::DefaultMode(const QList<QByteArray>& dropped, const QByteArray& folder,
                                     TFileSystemCalls& calls) {
    if (dropped.isEmpty())
        return TTransferMode::Copy;
    // The first name speaks for the drop, as a file manager's drag does.
    const QByteArray& first = dropped.front();
    TFileStatus item;
    TFileStatus target;
    if (calls.Status(first, item) != 0 || calls.StatusFollowed(folder, target) != 0)
        return TTransferMode::Copy;
    if (item.Device != target.Device || LiesIn(first, folder, calls))
        return TTransferMode::Copy;
    return TTransferMode::Move;
}

TDropRule::TSplit TDropRule::SplitSkipped(const QList<QByteArray>& dropped,
                                          const QByteArray& folder, TFileSystemCalls& calls) {
    TSplit split;
    for (const QByteArray& path : dropped) {
        if (LiesIn(path, folder, calls))
            split.Skipped = true;
        else
            split.Transfer.append(path);
    }
    return split;
}
