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
    if (Fd < 0)
        return false;
    struct stat st {};
    if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    return true;
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
