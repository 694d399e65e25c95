#pragma once

#include <cstddef>
#include <cstdint>

namespace riffkit {

// The few file operations the RIFF engine needs. Every byte the commit changes goes through
// Write, so a test can replace this seam to fail or stop at any single write.
class TFileIo {
public:
    virtual ~TFileIo() = default;

    // Reads exactly size bytes at offset; false on error or end of file.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t size) = 0;
    // Writes exactly size bytes at offset (extending the file when past its end).
    virtual bool Write(std::uint64_t offset, const void* buffer, std::size_t size) = 0;
    // Makes every write so far durable.
    virtual bool Sync() = 0;
    virtual std::uint64_t Size() = 0;
    virtual bool Truncate(std::uint64_t size) = 0;
    // Reserves the space for the file to grow to `size`, without changing its contents or
    // its size, so that later writes up to there cannot fail for lack of space.
    virtual bool Reserve(std::uint64_t size) {
        (void)size;
        return true;
    }
};

} // namespace riffkit
