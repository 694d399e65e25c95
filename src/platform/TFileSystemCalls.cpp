#include "TFileSystemCalls.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Errno(int rc) {
    return rc == 0 ? 0 : (errno != 0 ? errno : EIO);
}

void Fill(const struct stat& st, TFileStatus& status) {
    status.Mode = st.st_mode;
    status.Device = st.st_dev;
    status.Inode = st.st_ino;
    status.Size = st.st_size;
    status.Accessed = st.st_atim;
    status.Modified = st.st_mtim;
}

// The home trash ($XDG_DATA_HOME/Trash) as the freedesktop Trash layout has it, for names that Qt's
// trash cannot carry (Qt turns a non-UTF-8 name into text and loses bytes). Only on the
// device of the home trash: other devices need QFile::moveToTrash's top-folder trashes.
int MoveToHomeTrash(const QByteArray& path) {
    const QByteArray trash =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
        "/Trash";
    const QByteArray files = trash + "/files";
    const QByteArray info = trash + "/info";
    for (const QByteArray& dir : {trash, files, info})
        if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    struct stat item {};
    struct stat home {};
    if (::lstat(path.constData(), &item) != 0)
        return errno;
    if (::stat(files.constData(), &home) != 0)
        return errno;
    if (item.st_dev != home.st_dev)
        return ENOTSUP;

    QByteArray absolute = path;
    if (!absolute.startsWith('/')) {
        char* cwd = ::getcwd(nullptr, 0);
        absolute = QByteArray(cwd ? cwd : "") + '/' + path;
        std::free(cwd);
    }
    const QByteArray name = absolute.mid(absolute.lastIndexOf('/') + 1);
    const QByteArray text =
        "[Trash Info]\nPath=" + absolute.toPercentEncoding("/") +
        "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
    for (int n = 1; n < 10000; ++n) {
        const QByteArray entry = n == 1 ? name : name + '.' + QByteArray::number(n);
        const QByteArray infoPath = info + '/' + entry + ".trashinfo";
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlink(infoPath.constData());
            return writeError != 0 ? writeError : EIO;
        }
        const QByteArray target = files + '/' + entry;
        if (::access(target.constData(), F_OK) == 0) {
            ::unlink(infoPath.constData());
            continue;
        }
        if (::rename(absolute.constData(), target.constData()) != 0) {
            const int error = errno;
            ::unlink(infoPath.constData());
            return error;
        }
        return 0;
    }
    return EEXIST;
}

} // namespace

bool TFileStatus::IsDir() const {
    return S_ISDIR(Mode);
}

bool TFileStatus::IsRegular() const {
    return S_ISREG(Mode);
}

bool TFileStatus::IsSymlink() const {
    return S_ISLNK(Mode);
}

TFileSystemCalls& TFileSystemCalls::Native() {
    static TFileSystemCalls native;
    return native;
}

int TFileSystemCalls::Status(const QByteArray& path, TFileStatus& status) {
    struct stat st {};
    errno = 0;
    if (::lstat(path.constData(), &st) != 0)
        return Errno(-1);
    Fill(st, status);
    return 0;
}

int TFileSystemCalls::StatusFollowed(const QByteArray& path, TFileStatus& status) {
    struct stat st {};
    errno = 0;
    if (::stat(path.constData(), &st) != 0)
        return Errno(-1);
    Fill(st, status);
    return 0;
}

int TFileSystemCalls::Canonical(const QByteArray& path, QByteArray& canonical) {
    errno = 0;
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return Errno(-1);
    canonical = QByteArray(resolved);
    std::free(resolved);
    return 0;
}

int TFileSystemCalls::RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    errno = 0;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Errno(-1);
    // File systems without the no-replace flag: look first. Not atomic, but the window is
    // the few microseconds between the two calls.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    errno = 0;
    return Errno(::rename(from.constData(), to.constData()));
}

int TFileSystemCalls::ReadDir(const QByteArray& dir, QList<QByteArray>& names) {
    names.clear();
    errno = 0;
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return Errno(-1);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(d);
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    const int error = errno;
    ::closedir(d);
    return error;
}

int TFileSystemCalls::MakeDir(const QByteArray& path, mode_t mode) {
    errno = 0;
    return Errno(::mkdir(path.constData(), mode));
}

int TFileSystemCalls::RemoveFile(const QByteArray& path) {
    errno = 0;
    return Errno(::unlink(path.constData()));
}

int TFileSystemCalls::RemoveDir(const QByteArray& path) {
    errno = 0;
    return Errno(::rmdir(path.constData()));
}

int TFileSystemCalls::ReadLink(const QByteArray& path, QByteArray& target) {
    QByteArray buffer(4096, '\0');
    errno = 0;
    const ssize_t n = ::readlink(path.constData(), buffer.data(), size_t(buffer.size()));
    if (n < 0)
        return Errno(-1);
    if (n >= buffer.size())
        return ENAMETOOLONG;
    target = buffer.left(n);
    return 0;
}

int TFileSystemCalls::MakeSymlink(const QByteArray& target, const QByteArray& path) {
    errno = 0;
    return Errno(::symlink(target.constData(), path.constData()));
}

int TFileSystemCalls::SetMode(const QByteArray& path, mode_t mode) {
    errno = 0;
    return Errno(::chmod(path.constData(), mode & 07777));
}

int TFileSystemCalls::SetTimes(const QByteArray& path, const timespec& accessed,
                               const timespec& modified) {
    const timespec times[2] = {accessed, modified};
    errno = 0;
    return Errno(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW));
}

int TFileSystemCalls::OpenRead(const QByteArray& path, int& fd) {
    errno = 0;
    fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return fd < 0 ? Errno(-1) : 0;
}

int TFileSystemCalls::CreateExclusive(const QByteArray& path, mode_t mode, int& fd) {
    errno = 0;
    fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    return fd < 0 ? Errno(-1) : 0;
}

int TFileSystemCalls::Read(int fd, char* buffer, int64_t size, int64_t& got) {
    for (;;) {
        errno = 0;
        const ssize_t n = ::read(fd, buffer, size_t(size));
        if (n >= 0) {
            got = n;
            return 0;
        }
        if (errno != EINTR)
            return Errno(-1);
    }
}

int TFileSystemCalls::Write(int fd, const char* buffer, int64_t size) {
    while (size > 0) {
        errno = 0;
        const ssize_t n = ::write(fd, buffer, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Errno(-1);
        }
        if (n == 0)
            return EIO;
        buffer += n;
        size -= n;
    }
    return 0;
}

int TFileSystemCalls::Sync(int fd) {
    errno = 0;
    return Errno(::fsync(fd));
}

int TFileSystemCalls::Close(int fd) {
    errno = 0;
    return Errno(::close(fd));
}

int TFileSystemCalls::SyncDir(const QByteArray& dir) {
    errno = 0;
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Errno(-1);
    const int rc = Errno(::fsync(fd));
    ::close(fd);
    // Some file systems cannot flush a directory; their entries are as durable as they get.
    return rc == EINVAL || rc == EROFS ? 0 : rc;
}

int TFileSystemCalls::MoveToTrash(const QByteArray& path) {
    const QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) != path)
        return MoveToHomeTrash(path);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return errno;
    // Qt makes the home trash's own folders but not a missing data folder above them (a
    // fresh account has no ~/.local/share yet).
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    errno = 0;
    if (QFile::moveToTrash(name))
        return 0;
    // Qt gives no error number; when it left none behind, the device has no usable trash.
    return errno != 0 && errno != ENOENT ? errno : ENOTSUP;
}
