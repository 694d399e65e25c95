#pragma once

#include "FileIo.h"

#include <string>

namespace riffkit {

// TFileIo over a POSIX file descriptor, with the advisory lock a commit holds.
class TPosixFileIo : public TFileIo {
public:
    TPosixFileIo() = default;
    ~TPosixFileIo() override;
    TPosixFileIo(const TPosixFileIo&) = delete;
    TPosixFileIo& operator=(const TPosixFileIo&) = delete;

    bool Open(const std::string& path, bool writable);
    void Close();
    bool IsOpen() const { return Fd >= 0; }
    // Exclusive flock without waiting; false when another open file holds it.
    bool TryLockExclusive();

    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;
    bool Write(std::uint64_t offset, const void* buffer, std::size_t size) override;
    bool Sync() override;
    std::uint64_t Size() override;
    bool Truncate(std::uint64_t size) override;

private:
    int Fd = -1;
};

} // namespace riffkit
