#include "PosixFileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace riffkit {

TPosixFileIo::~TPosixFileIo() {
    Close();
}

bool TPosixFileIo::Open(const std::string& path, bool writable) {
    Close();
    do {
        Fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    } while (Fd < 0 && errno == EINTR);
    if (Fd < 0) {
        Error = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        Error = EINVAL;
        return false;
    }
    return true;
}

bool TPosixFileIo::Create(const std::string& path) {
    Close();
    do {
        Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (Fd < 0 && errno == EINTR);
    if (Fd < 0)
        Error = errno;
    return Fd >= 0;
}

bool TPosixFileIo::Identity(std::uint64_t& device, std::uint64_t& inode) const {
    struct stat st {};
    if (Fd < 0 || ::fstat(Fd, &st) != 0)
        return false;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

bool TPosixFileIo::IsReadOnlyMode() const {
    struct stat st {};
    return Fd >= 0 && ::fstat(Fd, &st) == 0 && (st.st_mode & 0222) == 0;
}

void TPosixFileIo::Close() {
    if (Fd >= 0) {
        ::close(Fd); // also releases the flock
        Fd = -1;
    }
}

bool TPosixFileIo::TryLockExclusive() {
    int rc;
    do {
        rc = ::flock(Fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool TPosixFileIo::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(Fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n, offset += static_cast<std::uint64_t>(n), size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TPosixFileIo::Write(std::uint64_t offset, const void* buffer, std::size_t size) {
    const auto* p = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pwrite(Fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n, offset += static_cast<std::uint64_t>(n), size -= static_cast<std::size_t>(n);
    }
    return true;
}

// fdatasync flushes the data and the size needed to read it back; the modification time
// can wait, which keeps a save's cost independent of the file's size.
bool TPosixFileIo::Sync() {
    return ::fdatasync(Fd) == 0;
}

std::uint64_t TPosixFileIo::Size() {
    struct stat st {};
    if (::fstat(Fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool TPosixFileIo::Truncate(std::uint64_t size) {
    return ::ftruncate(Fd, static_cast<off_t>(size)) == 0;
}

} // namespace riffkit
