#include "TTrash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Absolute(const QByteArray& path) {
    if (path.startsWith('/'))
        return path;
    char* cwd = ::getcwd(nullptr, 0);
    const QByteArray absolute = QByteArray(cwd ? cwd : "") + '/' + path;
    std::free(cwd);
    return absolute;
}

QByteArray Canonical(const QByteArray& path) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    const QByteArray out(resolved);
    std::free(resolved);
    return out;
}

// A folder of ours: exists (made 0700 when missing), is a real folder, not a link, and ours.
int OwnFolder(const QByteArray& dir) {
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
        return errno;
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return EPERM;
    return 0;
}

int PrepareTrash(const QByteArray& trash) {
    for (const QByteArray& dir : {trash, trash + "/files", trash + "/info"})
        if (const int rc = OwnFolder(dir); rc != 0)
            return rc;
    return 0;
}

// The trash at the top of a file system other than the home trash's.
int TopDirTrash(const QByteArray& topDir, QByteArray& trash) {
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray base = topDir == "/" ? QByteArray() : topDir;
    const QByteArray shared = base + "/.Trash";
    struct stat st {};
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        trash = shared + '/' + uid;
        if (PrepareTrash(trash) == 0)
            return 0;
    }
    trash = base + "/.Trash-" + uid;
    return PrepareTrash(trash);
}

// Writes the info file under a free entry name, then moves the item in under that name.
int MoveInto(const QByteArray& trash, const QByteArray& absolute, const QByteArray& infoPath) {
    const QByteArray name = absolute.mid(absolute.lastIndexOf('/') + 1);
    const QByteArray text =
        "[Trash Info]\nPath=" + infoPath.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString("yyyy-MM-ddTHH:mm:ss").toLatin1() + "\n";
    for (int n = 1; n < 10000; ++n) {
        const QByteArray entry = n == 1 ? name : name + '.' + QByteArray::number(n);
        const QByteArray info = trash + "/info/" + entry + ".trashinfo";
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const bool written =
            ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlink(info.constData());
            return writeError != 0 ? writeError : EIO;
        }
        const QByteArray target = trash + "/files/" + entry;
        if (::renameat2(AT_FDCWD, absolute.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return 0;
        const int error = errno;
        ::unlink(info.constData());
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

} // namespace

QByteArray TTrash::TopDir(const QByteArray& folder) {
    QByteArray dir = Canonical(folder);
    struct stat st {};
    if (dir.isEmpty() || ::stat(dir.constData(), &st) != 0)
        return {};
    while (dir != "/") {
        const qsizetype slash = dir.lastIndexOf('/');
        const QByteArray parent = slash <= 0 ? QByteArray("/") : dir.left(slash);
        struct stat up {};
        if (::stat(parent.constData(), &up) != 0 || up.st_dev != st.st_dev)
            break;
        dir = parent;
    }
    return dir;
}

int TTrash::MoveToTrash(const QByteArray& path) {
    QByteArray absolute = Absolute(path);
    while (absolute.size() > 1 && absolute.endsWith('/'))
        absolute.chop(1);
    struct stat item {};
    if (::lstat(absolute.constData(), &item) != 0)
        return errno;
    const qsizetype slash = absolute.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : absolute.left(slash);

    // A fresh account has no data folder yet.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(data);
    const QByteArray home = QFile::encodeName(data);
    struct stat homeStatus {};
    if (::stat(home.constData(), &homeStatus) == 0 && homeStatus.st_dev == item.st_dev) {
        const QByteArray trash = home + "/Trash";
        if (const int rc = PrepareTrash(trash); rc != 0)
            return rc;
        return MoveInto(trash, absolute, absolute);
    }

    const QByteArray topDir = TopDir(folder);
    if (topDir.isEmpty())
        return errno != 0 ? errno : ENOENT;
    QByteArray trash;
    if (const int rc = TopDirTrash(topDir, trash); rc != 0)
        return rc;
    // Relative to the top folder, as the layout allows for these trashes.
    const QByteArray canonicalFolder = Canonical(folder);
    const QByteArray inTop = canonicalFolder.mid(topDir == "/" ? 1 : topDir.size() + 1);
    const QByteArray name = absolute.mid(slash + 1);
    return MoveInto(trash, absolute, inTop.isEmpty() ? name : inTop + '/' + name);
}
