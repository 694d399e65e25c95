#include "SndfileFile.h"

#include "FileReader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

TSndfileFile::TSource& SourceOf(void* user) {
    return *static_cast<TSndfileFile::TSource*>(user);
}

sf_count_t SourceLength(void* user) {
    return SourceOf(user).Size;
}

sf_count_t SourceSeek(sf_count_t offset, int whence, void* user) {
    TSndfileFile::TSource& s = SourceOf(user);
    const int64_t base = whence == SEEK_CUR ? s.Pos : (whence == SEEK_END ? s.Size : 0);
    if (base + offset < 0)
        return -1;
    s.Pos = base + offset;
    return s.Pos;
}

sf_count_t SourceRead(void* buffer, sf_count_t count, void* user) {
    TSndfileFile::TSource& s = SourceOf(user);
    if (count <= 0 || s.Pos >= s.Size)
        return 0;
    const auto wanted = static_cast<size_t>(std::min<int64_t>(count, s.Size - s.Pos));
    ssize_t got;
    do {
        got = ::pread(s.Fd, buffer, wanted, static_cast<off_t>(s.Pos));
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return 0;
    // Overlay the patched fields on what was read.
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (const THeaderPatch& patch : s.Patches) {
        for (int i = 0; i < 4; ++i) {
            const int64_t at = static_cast<int64_t>(patch.Offset) + i - s.Pos;
            if (at >= 0 && at < got)
                bytes[at] = static_cast<uint8_t>(patch.Value >> (8 * i));
        }
    }
    s.Pos += got;
    return got;
}

sf_count_t SourceWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t SourceTell(void* user) {
    return SourceOf(user).Pos;
}

} // namespace

TSndfileFile::~TSndfileFile() {
    if (File)
        sf_close(File);
    if (Source.OwnsFd && Source.Fd >= 0)
        ::close(Source.Fd);
}

bool TSndfileFile::Open(const std::string& path, const std::vector<THeaderPatch>& patches,
                        SF_INFO& info, std::string& error) {
    info = SF_INFO{};
    uint64_t size = 0;
    const int fd = TFileReader::OpenRegular(path, size, error);
    if (fd < 0)
        return false;
    Source.OwnsFd = true;
    return OpenBorrowed(fd, size, patches, info, error);
}

bool TSndfileFile::OpenBorrowed(int fd, uint64_t size, const std::vector<THeaderPatch>& patches,
                                SF_INFO& info, std::string& error) {
    info = SF_INFO{};
    Source.Fd = fd;
    Source.Size = static_cast<int64_t>(size);
    Source.Pos = 0;
    Source.Patches = patches;
    static SF_VIRTUAL_IO io = {SourceLength, SourceSeek, SourceRead, SourceWrite, SourceTell};
    File = sf_open_virtual(&io, SFM_READ, &info, &Source);
    if (!File)
        error = sf_strerror(nullptr);
    return File != nullptr;
}
