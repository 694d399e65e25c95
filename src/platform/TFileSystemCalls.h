#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <ctime>
#include <sys/types.h>

// What the file operations need to know of one directory entry (lstat: links not followed).
struct TFileStatus {
    mode_t Mode = 0;
    dev_t Device = 0;
    ino_t Inode = 0;
    int64_t Size = 0;
    timespec Accessed{};
    timespec Modified{};

    bool IsDir() const;
    bool IsRegular() const;
    bool IsSymlink() const;
};

// The system calls under the file operations, one virtual function each, so that tests can
// stand in for the file system: a rename that answers EXDEV makes every move a cross-device
// move, a write that fails after some bytes is a full disk half-way. Paths are raw bytes
// (any file name, UTF-8 or not). Every call returns 0 or the errno value of its failure.
class TFileSystemCalls {
public:
    virtual ~TFileSystemCalls() = default;

    // The process-wide instance of this class (the real file system).
    static TFileSystemCalls& Native();

    virtual int Status(const QByteArray& path, TFileStatus& status);
    // Status of what a path leads to (links followed).
    virtual int StatusFollowed(const QByteArray& path, TFileStatus& status);
    // The path with every link and "." / ".." resolved (the item must exist).
    virtual int Canonical(const QByteArray& path, QByteArray& canonical);
    // Renames without ever replacing an existing `to` (EEXIST then).
    virtual int RenameNoReplace(const QByteArray& from, const QByteArray& to);
    // Names in a directory without "." and "..", in the order the system gives them.
    virtual int ReadDir(const QByteArray& dir, QList<QByteArray>& names);
    virtual int MakeDir(const QByteArray& path, mode_t mode);
    virtual int RemoveFile(const QByteArray& path);
    virtual int RemoveDir(const QByteArray& path);
    virtual int ReadLink(const QByteArray& path, QByteArray& target);
    virtual int MakeSymlink(const QByteArray& target, const QByteArray& path);
    virtual int SetMode(const QByteArray& path, mode_t mode);
    virtual int SetTimes(const QByteArray& path, const timespec& accessed,
                         const timespec& modified);

    // File contents, through descriptors.
    virtual int OpenRead(const QByteArray& path, int& fd);
    // Creates a new file; EEXIST when the name is taken (never truncates another file).
    virtual int CreateExclusive(const QByteArray& path, mode_t mode, int& fd);
    // Reads up to `size` bytes; `got` 0 at the end of the file.
    virtual int Read(int fd, char* buffer, int64_t size, int64_t& got);
    // Writes all `size` bytes.
    virtual int Write(int fd, const char* buffer, int64_t size);
    // Flushes the file's data and metadata to the device.
    virtual int Sync(int fd);
    virtual int Close(int fd);
    // Flushes a directory (its entries) to the device.
    virtual int SyncDir(const QByteArray& dir);

    // Moves an item to the freedesktop Trash.
    virtual int MoveToTrash(const QByteArray& path);
};
