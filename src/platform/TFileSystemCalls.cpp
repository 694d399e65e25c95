#include "TFileSystemCalls.h"

#include "TTrash.h"

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
    return TTrash::MoveToTrash(path);
}
