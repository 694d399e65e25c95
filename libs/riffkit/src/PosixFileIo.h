#pragma once

#include "FileIo.h"

#include <string>
#include <vector>

namespace riffkit {

// TFileIo over a POSIX file descriptor, with the advisory lock a commit holds.
class TPosixFileIo : public TFileIo {
public:
    TPosixFileIo() = default;
    ~TPosixFileIo() override;
    TPosixFileIo(const TPosixFileIo&) = delete;
    TPosixFileIo& operator=(const TPosixFileIo&) = delete;

    // Opens without blocking (a FIFO or a device never stalls the caller) and refuses
    // anything that is not a regular file, with OpenError() NotRegular.
    bool Open(const std::string& path, bool writable);
    // Takes over a descriptor opened elsewhere (already checked to be a regular file).
    void Adopt(int fd);
    // Reads through a descriptor that stays its owner's (never closed or written here): a
    // regular file of size bytes whose first headSize bytes the owner already read into head
    // (null when it read none). head must outlive this object's reads.
    void Borrow(int fd, std::uint64_t size, const void* head, std::size_t headSize);
    // A new file that did not exist (O_EXCL, never through a symbolic link) with this mode.
    bool Create(const std::string& path, unsigned mode = 0600);
    // The errno of the last failed Open or Create.
    int OpenError() const { return Error; }
    // The OpenError() of a path that is not a regular file.
    static constexpr int NotRegular = -1;
    // The reason for the last failed Open, for the user.
    std::string OpenErrorText() const;

    // Who the open file is, whatever its name or the device number of its disk: the file
    // system's id (statfs, which survives a remount) and the inode; with its owner and mode.
    struct TFacts {
        std::uint64_t FileSystem = 0;
        std::uint64_t Inode = 0;
        unsigned Owner = 0;
        unsigned Group = 0;
        unsigned Mode = 0;
    };
    bool Facts(TFacts& facts) const;
    // File-system id and inode (see TFacts).
    bool Identity(std::uint64_t& fileSystem, std::uint64_t& inode) const;
    int Descriptor() const { return Fd; }
    // True when no write permission bit is set: such a file is refused even to root.
    bool IsReadOnlyMode() const;
    void Close();
    bool IsOpen() const { return Fd >= 0; }
    // Exclusive flock and write record lock without waiting; false when another open file
    // holds either (a program using flock, fcntl/lockf record locks or OFD locks; Samba
    // maps its clients' locks to record locks).
    bool TryLockExclusive();

    // Forgets the bytes read ahead and the size, after the file was written through another
    // descriptor.
    void DropReadAhead() { ForgetContents(); }

    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;
    bool Write(std::uint64_t offset, const void* buffer, std::size_t size) override;
    bool Sync() override;
    std::uint64_t Size() override;
    bool Truncate(std::uint64_t size) override;
    bool Reserve(std::uint64_t size) override;

private:
    // A file opened for reading is read in windows of this size: its headers, chunk list and
    // tags usually take one call, where reading each header by itself took one call each.
    static constexpr std::size_t WindowSize = 64 * 1024;
    bool ReadDirect(std::uint64_t offset, void* buffer, std::size_t size);
    void ForgetContents();

    int Fd = -1;
    bool Borrowed = false; // the descriptor is its owner's to close
    int Error = 0;
    bool ReadAhead = false; // opened read-only: reads go through the window
    std::vector<char> Window;
    std::uint64_t WindowStart = 0;
    std::size_t WindowLength = 0; // bytes of the window that hold the file's bytes
    // A file opened for reading keeps the size its open found, so a read never asks again
    // and a window stops at the end without a read that returns nothing.
    bool SizeKnown = false;
    std::uint64_t KnownSize = 0;
    // The first bytes of a borrowed file, as its owner read them.
    const char* Lent = nullptr;
    std::size_t LentLength = 0;
};

} // namespace riffkit
