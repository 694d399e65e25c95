#include "TFolderWhereabouts.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

QByteArray ParentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

bool IsFolder(const QByteArray& path, struct stat& st) {
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<TFolderWhereabouts::TIdentity>
TFolderWhereabouts::IdentityOf(const QByteArray& path) {
    struct stat st {};
    if (!path.startsWith('/') || !IsFolder(path, st))
        return std::nullopt;
    return TIdentity{st.st_dev, st.st_ino};
}

TFolderWhereabouts::TResult TFolderWhereabouts::Locate(const QByteArray& path,
                                                       const TIdentity& identity) {
    struct stat st {};
    // Another folder under the old name wins: the path is what the user asked for.
    if (IsFolder(path, st))
        return {st.st_dev == identity.Device && st.st_ino == identity.Inode ? TKind::Unchanged
                                                                            : TKind::Replaced,
                path};
    // Renamed within its parent: the parent lists a folder of the same identity.
    const QByteArray parent = ParentOf(path);
    if (DIR* dir = ::opendir(parent.constData())) {
        QByteArray found;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            // d_ino is not compared: on some file systems (overlays) it differs from st_ino.
            if (name == "." || name == ".." ||
                (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN))
                continue;
            const QByteArray candidate = (parent == "/" ? parent : parent + '/') + name;
            struct stat cs {};
            if (::lstat(candidate.constData(), &cs) == 0 && S_ISDIR(cs.st_mode) &&
                cs.st_dev == identity.Device && cs.st_ino == identity.Inode) {
                found = candidate;
                break;
            }
        }
        ::closedir(dir);
        if (!found.isEmpty())
            return {TKind::Renamed, found};
    }
    QByteArray nearest = parent;
    while (nearest != "/" && !IsFolder(nearest, st))
        nearest = ParentOf(nearest);
    return {TKind::Gone, nearest};
}
