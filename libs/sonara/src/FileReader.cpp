#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The head block covers the WAV chunks before the audio and the MPEG meter's search window
// behind a small ID3v2 tag; the tail block the tags and last frames at the end.
constexpr size_t kHeadBytes = 80 * 1024;
constexpr size_t kTailBytes = 32 * 1024;

} // namespace

int TFileReader::OpenRegular(const std::string& path, uint64_t& size, std::string& error) {
    size = 0;
    if (path.empty()) {
        error = "No file name was given";
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "Is a folder, not a file" : "not a regular file";
        ::close(fd);
        return -1;
    }
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

TFileReader::TFileReader(const std::string& path) {
    Fd = OpenRegular(path, FileSize, ErrorText);
}

TFileReader::TFileReader(int fd, uint64_t size, const void* head, size_t headSize)
    : Fd(fd), OwnsFd(false), FileSize(size) {
    if (head != nullptr && headSize > 0) {
        Head.Data = static_cast<const uint8_t*>(head);
        Head.Length = static_cast<size_t>(std::min<uint64_t>(headSize, size));
        Head.Loaded = true;
    }
}

TFileReader::~TFileReader() {
    if (Fd >= 0 && OwnsFd)
        ::close(Fd);
}

size_t TFileReader::ReadRaw(uint64_t offset, void* buffer, size_t size) const {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size) {
        const ssize_t got = ::pread(Fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

void TFileReader::Load(TBlock& block, uint64_t offset, size_t size) const {
    block.Offset = offset;
    block.Bytes.resize(size);
    block.Bytes.resize(ReadRaw(offset, block.Bytes.data(), size));
    block.Data = block.Bytes.data();
    block.Length = block.Bytes.size();
    block.Loaded = true;
}

size_t TFileReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (Fd < 0 || offset >= FileSize)
        return 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, FileSize - offset));
    const uint64_t tailStart = FileSize > kTailBytes ? FileSize - kTailBytes : 0;
    const uint64_t headEnd = std::min<uint64_t>(FileSize, kHeadBytes);
    if (offset + size <= kHeadBytes) {
        // A head lent by the file's owner that stops short of this read is replaced by the
        // whole head block, in one read as if none had been lent.
        if (!Head.Loaded || (!Head.Holds(offset, size) && Head.Length < headEnd))
            Load(Head, 0, static_cast<size_t>(headEnd));
    } else if (!Tail.Loaded && offset >= tailStart) {
        Load(Tail, tailStart, static_cast<size_t>(FileSize - tailStart));
    }
    for (const TBlock* block : {&Head, &Tail}) {
        if (block->Holds(offset, size)) {
            std::memcpy(buffer, block->Data + (offset - block->Offset), size);
            return size;
        }
    }
    return ReadRaw(offset, buffer, size);
}
