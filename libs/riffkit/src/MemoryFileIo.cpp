#include "MemoryFileIo.h"

#include <cstring>

namespace riffkit {

namespace {
// Keeps a corrupt size from asking for an absurd allocation.
constexpr std::uint64_t MaxMemoryFile = std::uint64_t(1) << 32;
} // namespace

bool TMemoryFileIo::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset > Bytes.size() || size > Bytes.size() - offset)
        return false;
    if (size > 0)
        std::memcpy(buffer, Bytes.data() + offset, size);
    return true;
}

bool TMemoryFileIo::Write(std::uint64_t offset, const void* buffer, std::size_t size) {
    if (offset > MaxMemoryFile || size > MaxMemoryFile - offset)
        return false;
    if (offset + size > Bytes.size())
        Bytes.resize(offset + size);
    if (size > 0)
        std::memcpy(Bytes.data() + offset, buffer, size);
    return true;
}

bool TMemoryFileIo::Truncate(std::uint64_t size) {
    if (size > MaxMemoryFile)
        return false;
    Bytes.resize(size);
    return true;
}

} // namespace riffkit
