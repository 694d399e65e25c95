#include "MpegRewrite.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace riffkit {

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies a range of the source; the kernel copies (or shares extents) where it can.
bool CopyRange(int sourceFd, int targetFd, uint64_t offset, uint64_t length) {
    auto position = static_cast<off_t>(offset);
    bool kernelCopy = true;
    std::string buffer;
    while (length > 0) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(length, 1u << 20));
        if (kernelCopy) {
            const ssize_t n = ::copy_file_range(sourceFd, &position, targetFd, nullptr, chunk, 0);
            if (n > 0) {
                length -= static_cast<uint64_t>(n);
                continue;
            }
            if (n == 0)
                return false; // the source is shorter than it was
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return false;
            kernelCopy = false;
        }
        buffer.resize(chunk);
        const ssize_t n = ::pread(sourceFd, buffer.data(), chunk, position);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !WriteAll(targetFd, buffer.data(), static_cast<size_t>(n)))
            return false;
        position += n;
        length -= static_cast<uint64_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool RewriteMpegFile(const std::string& path, const std::vector<TMpegPiece>& pieces) {
    // Follow links so that the link stays and its target gets the new content.
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return false;
    const std::string target = resolved;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = target.substr(slash + 1);

    const int sourceFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (sourceFd < 0)
        return false;
    struct stat info {};
    if (::fstat(sourceFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(sourceFd);
        return false;
    }
    for (const TMpegPiece& piece : pieces) {
        if (piece.FromSource &&
            (piece.SourceOffset > static_cast<uint64_t>(info.st_size) ||
             piece.SourceLength > static_cast<uint64_t>(info.st_size) - piece.SourceOffset)) {
            ::close(sourceFd);
            return false;
        }
    }

    std::string temp = folder + "/." + name + ".XXXXXX";
    const int tempFd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (tempFd < 0) {
        ::close(sourceFd);
        return false;
    }

    bool ok = true;
    for (const TMpegPiece& piece : pieces) {
        ok = piece.FromSource ? CopyRange(sourceFd, tempFd, piece.SourceOffset, piece.SourceLength)
                              : WriteAll(tempFd, piece.Bytes.data(), piece.Bytes.size());
        if (!ok)
            break;
    }
    ::close(sourceFd);
    if (ok) {
        // Owner first: changing it may clear set-id bits. Only root may give files away,
        // so a failed change of owner is not an error.
        if (info.st_uid != ::geteuid() || info.st_gid != ::getegid())
            (void)::fchown(tempFd, info.st_uid, info.st_gid);
        ok = ::fchmod(tempFd, info.st_mode & 07777) == 0 && ::fsync(tempFd) == 0;
    }
    ok = ::close(tempFd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

} // namespace riffkit
