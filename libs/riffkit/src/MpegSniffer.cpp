// Content-based detection of MPEG audio files: the extension never decides.
#include "MpegTagStore.h"

#include "MpegFrameHeader.h"
#include "PosixFileIo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace riffkit {

namespace {

// How far into the file a first frame may start, and how much is read to confirm it.
constexpr size_t ScanLimit = 8192;
constexpr size_t HeadSize = ScanLimit + 4096;

// A frame header as the sniffer accepts it: free format is refused by the parser, and the
// reserved emphasis value too, as neither is worth a false match.
bool ParseFrameHeader(const uint8_t* p, TMpegFrameHeader& header) {
    return header.Parse(p) && header.Emphasis != 2;
}

// A frame header at `offset` that is followed by a matching one or by the end of the
// audio: one stray 0xFFE sync in other data does not make a file MPEG.
bool FrameChainAt(const std::vector<uint8_t>& head, size_t offset, uint64_t audioEnd) {
    TMpegFrameHeader first;
    if (!ParseFrameHeader(&head[offset], first))
        return false;
    const uint64_t next = offset + first.Length;
    if (next == audioEnd)
        return true;
    if (next + 4 > head.size())
        return false;
    TMpegFrameHeader second;
    return ParseFrameHeader(&head[next], second) && second.SameStream(first);
}

bool IsId3v2Header(const std::vector<uint8_t>& head) {
    return head.size() >= 10 && std::memcmp(head.data(), "ID3", 3) == 0 && head[3] >= 2 &&
           head[3] <= 4 && head[4] != 0xFF && (head[6] | head[7] | head[8] | head[9]) < 0x80;
}

} // namespace

bool LooksLikeMpeg(TFileIo& file) {
    const std::uint64_t size = file.Size();
    if (size == 0)
        return false;
    std::vector<uint8_t> head(static_cast<size_t>(std::min<std::uint64_t>(size, HeadSize)));
    if (!file.Read(0, head.data(), head.size()))
        return false;

    // RIFF containers (WAV, also with MPEG payload) belong to the RIFF engine.
    if (head.size() >= 4 &&
        (std::memcmp(head.data(), "RIFF", 4) == 0 || std::memcmp(head.data(), "RIFX", 4) == 0 ||
         std::memcmp(head.data(), "RF64", 4) == 0))
        return false;
    if (IsId3v2Header(head))
        return true;
    // A tag behind a little junk, as some writers leave it.
    for (size_t at = 1; at + 10 <= std::min(head.size(), ScanLimit); ++at)
        if (head[at] == 'I' &&
            IsId3v2Header(std::vector<uint8_t>(head.begin() + at, head.begin() + at + 10)))
            return true;

    bool hasId3v1 = false;
    if (size >= 128) {
        char tag[3] = {};
        hasId3v1 = file.Read(size - 128, tag, 3) && std::memcmp(tag, "TAG", 3) == 0;
    }
    if (hasId3v1)
        return true;

    const size_t last = std::min(head.size(), ScanLimit + 4);
    for (size_t offset = 0; offset + 4 <= last; ++offset) {
        if (FrameChainAt(head, offset, static_cast<uint64_t>(size)))
            return true;
    }
    return false;
}

bool LooksLikeMpeg(const std::string& path) {
    TPosixFileIo file;
    return file.Open(path, false) && LooksLikeMpeg(file);
}

} // namespace riffkit
