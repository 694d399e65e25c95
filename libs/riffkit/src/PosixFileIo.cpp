#include "PosixFileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace riffkit {

TPosixFileIo::~TPosixFileIo() {
    Close();
}

bool TPosixFileIo::Open(const std::string& path, bool writable) {
    Close();
    do {
        Fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    } while (Fd < 0 && errno == EINTR);
    if (Fd < 0) {
        Error = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(Fd, &st) != 0) {
        Error = errno;
        Close();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Close();
        Error = NotRegular;
        return false;
    }
    ReadAhead = !writable;
    SizeKnown = !writable;
    KnownSize = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void TPosixFileIo::Adopt(int fd) {
    Close();
    Fd = fd;
}

void TPosixFileIo::Borrow(int fd, std::uint64_t size, const void* head, std::size_t headSize) {
    Close();
    Fd = fd;
    Borrowed = true;
    ReadAhead = true;
    SizeKnown = true;
    KnownSize = size;
    Lent = head != nullptr ? static_cast<const char*>(head) : nullptr;
    LentLength =
        Lent != nullptr ? static_cast<std::size_t>(std::min<std::uint64_t>(headSize, size)) : 0;
}

void TPosixFileIo::ForgetContents() {
    WindowLength = 0;
    SizeKnown = false;
    Lent = nullptr;
    LentLength = 0;
}

bool TPosixFileIo::Create(const std::string& path, unsigned mode) {
    Close();
    do {
        Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    } while (Fd < 0 && errno == EINTR);
    if (Fd < 0)
        Error = errno;
    return Fd >= 0;
}

std::string TPosixFileIo::OpenErrorText() const {
    switch (Error) {
    case NotRegular:
        return "not a regular file";
    case ENOENT:
        return "file not found";
    case EACCES:
    case EPERM:
    case EROFS:
        return "file is read-only";
    default:
        return std::string("cannot open the file: ") + std::strerror(Error);
    }
}

bool TPosixFileIo::Facts(TFacts& facts) const {
    struct stat st {};
    if (Fd < 0 || ::fstat(Fd, &st) != 0)
        return false;
    // The file system's id does not change when the same disk comes back under another
    // device number; where a file system reports none, the device number stands in.
    struct statfs fs {};
    std::uint64_t id = 0;
    if (::fstatfs(Fd, &fs) == 0) {
        int words[2];
        static_assert(sizeof words == sizeof fs.f_fsid);
        std::memcpy(words, &fs.f_fsid, sizeof words);
        id = std::uint64_t(static_cast<std::uint32_t>(words[0])) << 32 |
             static_cast<std::uint32_t>(words[1]);
    }
    facts.FileSystem = id != 0 ? id : static_cast<std::uint64_t>(st.st_dev);
    facts.Inode = static_cast<std::uint64_t>(st.st_ino);
    facts.Owner = st.st_uid;
    facts.Group = st.st_gid;
    facts.Mode = st.st_mode & 07777;
    return true;
}

bool TPosixFileIo::Identity(std::uint64_t& fileSystem, std::uint64_t& inode) const {
    TFacts facts;
    if (!Facts(facts))
        return false;
    fileSystem = facts.FileSystem;
    inode = facts.Inode;
    return true;
}

bool TPosixFileIo::IsReadOnlyMode() const {
    struct stat st {};
    return Fd >= 0 && ::fstat(Fd, &st) == 0 && (st.st_mode & 0222) == 0;
}

void TPosixFileIo::Close() {
    ReadAhead = false;
    ForgetContents();
    if (Fd >= 0 && !Borrowed)
        ::close(Fd); // also releases the flock
    Fd = -1;
    Borrowed = false;
}

bool TPosixFileIo::TryLockExclusive() {
    int rc;
    do {
        rc = ::flock(Fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return false;
    // flock and record locks do not see each other: take a write record lock on the whole
    // file too. An OFD lock conflicts with every other holder, this process's included,
    // and goes away with this descriptor; kernels without it are asked with F_GETLK.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(Fd, F_OFD_SETLK, &lock) == 0)
        return true;
    if (errno != EINVAL)
        return false;
    lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(Fd, F_GETLK, &lock) == 0 && lock.l_type == F_UNLCK;
}

bool TPosixFileIo::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    if (Lent != nullptr && offset <= LentLength && size <= LentLength - offset) {
        std::memcpy(buffer, Lent + offset, size);
        return true;
    }
    if (!ReadAhead || size > WindowSize)
        return ReadDirect(offset, buffer, size);
    const bool inside =
        WindowLength > 0 && offset >= WindowStart && offset - WindowStart + size <= WindowLength;
    if (!inside) {
        // A new window from this offset, as much of it as the file holds.
        Window.resize(WindowSize);
        WindowStart = offset;
        WindowLength = 0;
        while (WindowLength < WindowSize && !(SizeKnown && offset + WindowLength >= KnownSize)) {
            const ssize_t n = ::pread(Fd, Window.data() + WindowLength, WindowSize - WindowLength,
                                      static_cast<off_t>(offset + WindowLength));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                WindowLength = 0;
                return false;
            }
            if (n == 0)
                break;
            WindowLength += static_cast<std::size_t>(n);
        }
        if (size > WindowLength)
            return false; // the file ends before the bytes asked for
    }
    std::memcpy(buffer, Window.data() + (offset - WindowStart), size);
    return true;
}

bool TPosixFileIo::ReadDirect(std::uint64_t offset, void* buffer, std::size_t size) {
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
    ForgetContents();
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
    if (SizeKnown)
        return KnownSize;
    struct stat st {};
    if (::fstat(Fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool TPosixFileIo::Truncate(std::uint64_t size) {
    ForgetContents();
    return ::ftruncate(Fd, static_cast<off_t>(size)) == 0;
}

// Blocks past the end are allocated without changing the size, so a crash before the
// first write leaves the file as it was. Where the file system cannot allocate ahead,
// the extension is written (zeros) and synced instead; errno tells a full disk.
bool TPosixFileIo::Reserve(std::uint64_t size) {
    const std::uint64_t old = Size();
    if (size <= old)
        return true;
    int rc;
    do {
        rc = ::fallocate(Fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(old),
                         static_cast<off_t>(size - old));
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    const std::string zeros(64 * 1024, '\0');
    for (std::uint64_t at = old; at < size;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), size - at));
        if (!Write(at, zeros.data(), n))
            return false;
        at += n;
    }
    return Sync();
}

} // namespace riffkit
