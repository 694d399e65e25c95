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
    // A new, empty file readable and writable by the owner only (any old one is replaced).
    bool Create(const std::string& path);
    // The errno of the last failed Open or Create.
    int OpenError() const { return Error; }
    // Device and inode of the open file: who the file is, whatever its name.
    bool Identity(std::uint64_t& device, std::uint64_t& inode) const;
    // True when no write permission bit is set: such a file is refused even to root.
    bool IsReadOnlyMode() const;
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
    int Error = 0;
};

} // namespace riffkit
