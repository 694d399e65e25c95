#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A read-only regular file opened by path, read at explicit offsets. Measuring a file for the
// folder list reads a few headers from many files, so the first block and the last block of
// the file are each read once and kept: the chunk headers of a WAV file, and the first frames
// and trailing tags of an MPEG file, then cost one read each.
class TFileReader {
public:
    explicit TFileReader(const std::string& path);
    // Reads a regular file of size bytes that its owner has open as fd (and closes itself),
    // whose first headSize bytes the owner already read into head (null when none); head
    // must outlive the reader.
    TFileReader(int fd, uint64_t size, const void* head, size_t headSize);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    bool IsOpen() const { return Fd >= 0; }
    int Descriptor() const { return Fd; }
    // Why opening failed ("No such file or directory", "not a regular file", ...).
    const std::string& Error() const { return ErrorText; }
    uint64_t Size() const { return FileSize; }
    // Reads up to size bytes at offset; returns the count read (short at the end of the file).
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const;

    // Opens path for reading without ever blocking: O_NONBLOCK, so a FIFO or a device is not
    // waited on, and refused unless fstat says it is a regular file. Returns the descriptor
    // (its size in size), or -1 with the reason in error.
    static int OpenRegular(const std::string& path, uint64_t& size, std::string& error);

private:
    // A block of the file kept in memory (read here, or lent by the file's owner).
    struct TBlock {
        uint64_t Offset = 0;
        std::vector<uint8_t> Bytes;
        const uint8_t* Data = nullptr;
        size_t Length = 0;
        bool Loaded = false;
        bool Holds(uint64_t offset, size_t size) const {
            return Loaded && offset >= Offset && offset + size <= Offset + Length;
        }
    };
    size_t ReadRaw(uint64_t offset, void* buffer, size_t size) const;
    void Load(TBlock& block, uint64_t offset, size_t size) const;

    int Fd = -1;
    bool OwnsFd = true;
    uint64_t FileSize = 0;
    std::string ErrorText;
    mutable TBlock Head;
    mutable TBlock Tail;
};
