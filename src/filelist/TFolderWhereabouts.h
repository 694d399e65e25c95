#pragma once

#include <QByteArray>

#include <optional>
#include <sys/types.h>

// Where the folder a list shows has gone when another program renamed or deleted it. The
// folder is known by its device and inode from when it was opened: a folder of that identity
// among its old parent's folders is the same folder under a new name; otherwise the nearest
// existing folder above the old path takes its place.
class TFolderWhereabouts {
public:
    struct TIdentity {
        dev_t Device = 0;
        ino_t Inode = 0;
    };
    // Replaced: another folder now stands under the old name (a tool that writes a new
    // folder and swaps it in): the list shows that one.
    enum class TKind { Unchanged, Renamed, Replaced, Gone };
    struct TResult {
        TKind Kind = TKind::Unchanged;
        QByteArray Path; // the new name (Renamed), the old one (Replaced), else the nearest
                         // existing parent (Gone)
    };

    // The identity of an absolute folder path; none for anything else.
    static std::optional<TIdentity> IdentityOf(const QByteArray& path);
    static TResult Locate(const QByteArray& path, const TIdentity& identity);
};
