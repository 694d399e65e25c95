#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A read-only file opened by path, read at explicit offsets. The probing code reads a few
// headers from many files, so it uses positioned reads instead of a stream and buffers.
class TFileReader {
public:
    explicit TFileReader(const std::string& path);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    bool IsOpen() const { return Fd >= 0; }
    // Why opening failed ("No such file or directory", "Is a directory", ...).
    const std::string& Error() const { return ErrorText; }
    uint64_t Size() const { return FileSize; }
    // Reads up to size bytes at offset; returns the count read (short at the end of the file).
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const;

private:
    int Fd = -1;
    uint64_t FileSize = 0;
    std::string ErrorText;
};
