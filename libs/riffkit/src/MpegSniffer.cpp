// Content-based detection of MPEG audio files: the extension never decides.
#include "MpegTagStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace riffkit {

namespace {

// How far into the file a first frame may start, and how much is read to confirm it.
constexpr size_t ScanLimit = 8192;
constexpr size_t HeadSize = ScanLimit + 4096;

struct TFrameHeader {
    int Version = 0; // 1, 2 or 25 (MPEG 2.5)
    int Layer = 0;
    int SampleRate = 0;
    size_t Length = 0;
};

bool ParseFrameHeader(const uint8_t* p, TFrameHeader& header) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    // Reserved values; free-format streams are too rare to be worth a false match.
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || (p[3] & 3) == 2)
        return false;

    static const int bitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int rates[3] = {44100, 48000, 32000};

    header.Version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    header.Layer = 4 - layerBits;
    const int divisor = header.Version == 1 ? 1 : header.Version == 2 ? 2 : 4;
    header.SampleRate = rates[rateIndex] / divisor;
    const long bitrate =
        bitrates[header.Version == 1 ? 0 : 1][header.Layer - 1][bitrateIndex] * 1000L;
    if (header.Layer == 1) {
        header.Length = static_cast<size_t>((12 * bitrate / header.SampleRate + padding) * 4);
    } else {
        const long factor = header.Layer == 3 && header.Version != 1 ? 72 : 144;
        header.Length = static_cast<size_t>(factor * bitrate / header.SampleRate + padding);
    }
    return header.Length >= 4;
}

// A frame header at `offset` that is followed by a matching one or by the end of the
// audio: one stray 0xFFE sync in other data does not make a file MPEG.
bool FrameChainAt(const std::vector<uint8_t>& head, size_t offset, uint64_t audioEnd) {
    TFrameHeader first;
    if (!ParseFrameHeader(&head[offset], first))
        return false;
    const uint64_t next = offset + first.Length;
    if (next == audioEnd)
        return true;
    if (next + 4 > head.size())
        return false;
    TFrameHeader second;
    return ParseFrameHeader(&head[next], second) && second.Version == first.Version &&
           second.Layer == first.Layer && second.SampleRate == first.SampleRate;
}

bool IsId3v2Header(const std::vector<uint8_t>& head) {
    return head.size() >= 10 && std::memcmp(head.data(), "ID3", 3) == 0 && head[3] >= 2 &&
           head[3] <= 4 && head[4] != 0xFF && (head[6] | head[7] | head[8] | head[9]) < 0x80;
}

} // namespace

bool LooksLikeMpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return false;
    in.seekg(0);
    std::vector<uint8_t> head(static_cast<size_t>(std::min<std::streamoff>(size, HeadSize)));
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())))
        return false;

    // RIFF containers (WAV, also with MPEG payload) belong to the RIFF engine.
    if (head.size() >= 4 &&
        (std::memcmp(head.data(), "RIFF", 4) == 0 || std::memcmp(head.data(), "RIFX", 4) == 0 ||
         std::memcmp(head.data(), "RF64", 4) == 0))
        return false;
    if (IsId3v2Header(head))
        return true;

    bool hasId3v1 = false;
    if (size >= 128) {
        char tag[3] = {};
        in.seekg(size - 128);
        hasId3v1 = in.read(tag, 3) && std::memcmp(tag, "TAG", 3) == 0;
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

} // namespace riffkit
