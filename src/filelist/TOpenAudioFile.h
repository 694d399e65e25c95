#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// An audio file opened once for a row's details: its examination and its first bytes, which
// the playback library (format and length) and the tagging library (tags) then both use, so
// neither opens the file or reads those bytes again. One object serves a whole pass, file
// after file, keeping its buffer.
class TOpenAudioFile {
public:
    // The bytes read at the start: the chunk headers of a WAV file and the ID3v2 tag and
    // first frames of an MPEG file, in the usual case; as far as the playback library's
    // measuring looks from the start.
    static constexpr std::size_t HeadSize = 80 * 1024;

    TOpenAudioFile() = default;
    ~TOpenAudioFile();
    TOpenAudioFile(const TOpenAudioFile&) = delete;
    TOpenAudioFile& operator=(const TOpenAudioFile&) = delete;

    // Opens path for reading without blocking (a FIFO never stalls the pass), examines it and
    // reads its head. False, with nothing open, when it cannot be opened or read or is not a
    // regular file: the caller then goes by the path as before.
    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return Fd >= 0; }

    int Descriptor() const { return Fd; }
    // What fstat said of the open file, before anything was read.
    const struct stat& Facts() const { return Examined; }
    std::uint64_t Size() const { return static_cast<std::uint64_t>(Examined.st_size); }
    const char* Head() const { return Bytes.data(); }
    std::size_t HeadLength() const { return Length; }

private:
    int Fd = -1;
    struct stat Examined {};
    std::vector<char> Bytes;
    std::size_t Length = 0;
};
