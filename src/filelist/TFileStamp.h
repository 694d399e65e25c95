#pragma once

#include <cstdint>

struct stat;

// What identifies one state of a file's contents: another program's save changes at least
// one of these (an in-place save that keeps the size and sets the mtime back still moves the
// ctime; a file replaced by another gets a new inode).
struct TFileStamp {
    int64_t Size = 0;
    int64_t MtimeNs = 0;
    int64_t CtimeNs = 0;
    uint64_t Inode = 0;
    bool operator==(const TFileStamp&) const = default;
    bool IsKnown() const { return Inode != 0; }
    static TFileStamp Of(const struct stat& st);
};
