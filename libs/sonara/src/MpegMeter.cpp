#include "MpegMeter.h"

#include "FileReader.h"
#include "MpegFrameHeader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint32_t Le32(const uint8_t* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

// Skips ID3v2 tags (several may follow each other).
uint64_t SkipId3v2(const TFileReader& file, uint64_t pos, uint64_t end) {
    for (int i = 0; i < 8 && pos + 10 <= end; ++i) {
        uint8_t h[10];
        if (file.ReadAt(pos, h, 10) != 10 || std::memcmp(h, "ID3", 3) != 0 ||
            ((h[6] | h[7] | h[8] | h[9]) & 0x80))
            break;
        const uint64_t size =
            (uint64_t(h[6]) << 21) | (uint64_t(h[7]) << 14) | (uint64_t(h[8]) << 7) | h[9];
        pos += 10 + size + ((h[5] & 0x10) ? 10 : 0);
    }
    return pos;
}

// Drops ID3v1 and APE tags from the end of the stream.
uint64_t TrimTrailingTags(const TFileReader& file, uint64_t begin, uint64_t end) {
    uint8_t tail[128];
    if (end >= begin + 128 && file.ReadAt(end - 128, tail, 3) == 3 &&
        std::memcmp(tail, "TAG", 3) == 0)
        end -= 128;
    if (end >= begin + 32 && file.ReadAt(end - 32, tail, 32) == 32 &&
        std::memcmp(tail, "APETAGEX", 8) == 0) {
        uint64_t size = Le32(tail + 12);
        if (Le32(tail + 20) & 0x80000000u)
            size += 32; // the tag also has a header
        end = size <= end - begin ? end - size : begin;
    }
    return end;
}

const char* LayerName(int layer) {
    static const char* kNames[] = {"", "I", "II", "III"};
    return kNames[layer];
}

std::string VersionName(int version) {
    return version == 10 ? "MPEG-1" : (version == 20 ? "MPEG-2" : "MPEG-2.5");
}

} // namespace

bool TMpegMeter::Measure(const TFileReader& file, uint64_t begin, uint64_t end, bool withTags,
                         TAudioFileInfo& info) {
    end = std::min(end, file.Size());
    if (withTags) {
        begin = SkipId3v2(file, begin, end);
        end = TrimTrailingTags(file, begin, end);
    }
    if (begin + 4 > end) {
        info.Error = "No MPEG audio frames found";
        return false;
    }

    // Find the first frame: a header whose successors confirm it. A sync right at the start
    // needs one confirming frame, one found after junk needs two.
    constexpr size_t kWindow = 64 * 1024 + 8192;
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(kWindow, end - begin)));
    buf.resize(file.ReadAt(begin, buf.data(), buf.size()));
    TMpegFrameHeader first;
    uint64_t firstPos = 0;
    bool found = false;
    for (size_t i = 0; i + 4 <= buf.size() && i < 64 * 1024 && !found; ++i) {
        TMpegFrameHeader h;
        if (!h.Parse(&buf[i]))
            continue;
        const int needed = i == 0 ? 1 : 2;
        size_t pos = i + h.Length;
        int confirmed = 0;
        while (confirmed < needed) {
            if (begin + pos == end || (begin + pos + 4 > end && confirmed > 0)) {
                confirmed = needed; // the stream ends cleanly after this frame
                break;
            }
            TMpegFrameHeader next;
            if (pos + 4 > buf.size() || !next.Parse(&buf[pos]) || !next.SameStream(h))
                break;
            ++confirmed;
            pos += next.Length;
        }
        if (confirmed >= needed) {
            first = h;
            firstPos = begin + i;
            found = true;
        }
    }
    if (!found) {
        info.Error = "No MPEG audio frames found";
        return false;
    }

    info.SampleRate = first.SampleRate;
    info.Channels = first.Channels;
    info.DataOffset = firstPos;
    info.DataSize = end - firstPos;

    std::vector<uint8_t> frame(first.Length, 0);
    file.ReadAt(firstPos, frame.data(), frame.size());
    bool vbr = false;
    bool haveCount = false;
    uint64_t samples = 0;
    const size_t xing = first.XingOffset();
    if (xing + 8 <= frame.size() &&
        (std::memcmp(&frame[xing], "Xing", 4) == 0 || std::memcmp(&frame[xing], "Info", 4) == 0)) {
        vbr = frame[xing] == 'X';
        const uint32_t flags = Be32(&frame[xing + 4]);
        size_t p = xing + 8;
        if ((flags & 1) && p + 4 <= frame.size()) {
            samples = uint64_t(Be32(&frame[p])) * first.SamplesPerFrame;
            haveCount = true;
            p += 4;
        }
        if (flags & 2)
            p += 4;
        if (flags & 4)
            p += 100;
        if (flags & 8)
            p += 4;
        // The LAME extension carries the encoder delay and padding for gapless playback.
        if (haveCount && p + 24 <= frame.size() && std::isalpha(frame[p]) &&
            std::isalpha(frame[p + 1]) && std::isalpha(frame[p + 2])) {
            const uint32_t delay = (uint32_t(frame[p + 21]) << 4) | (frame[p + 22] >> 4);
            const uint32_t padding = ((uint32_t(frame[p + 22]) & 0x0F) << 8) | frame[p + 23];
            if (delay + padding < samples)
                samples -= delay + padding;
        }
    } else if (36 + 18 <= frame.size() && std::memcmp(&frame[36], "VBRI", 4) == 0) {
        vbr = true;
        samples = uint64_t(Be32(&frame[36 + 14])) * first.SamplesPerFrame;
        haveCount = true;
    }

    // A damaged tag can claim any count: it must fit the bytes there are.
    if (haveCount) {
        const uint64_t minFrameBytes = uint64_t(first.SamplesPerFrame) *
                                       (first.Version == 10 ? 32 : 8) * 125 /
                                       uint64_t(first.SampleRate);
        const uint64_t frames = samples / first.SamplesPerFrame;
        if (frames * minFrameBytes > end - firstPos + first.Length) {
            haveCount = false;
            samples = 0;
        }
    }

    if (!haveCount) {
        // Constant bit rate when the first frames all agree; the size then gives the count.
        bool constant = true;
        uint64_t pos = firstPos - begin;
        for (int n = 0; n < 64 && pos + 4 <= buf.size(); ++n) {
            TMpegFrameHeader h;
            if (!h.Parse(&buf[pos]) || !h.SameStream(first) || h.BitrateKbps != first.BitrateKbps) {
                constant = false;
                break;
            }
            pos += h.Length;
        }
        uint64_t frames;
        if (constant) {
            const double avgLength =
                double(first.SamplesPerFrame) * first.BitrateKbps * 125.0 / first.SampleRate;
            frames = static_cast<uint64_t>(std::llround(double(end - firstPos) / avgLength));
        } else {
            vbr = true;
            frames = ScanFrames(file, firstPos, end, first);
        }
        samples = frames * first.SamplesPerFrame;
    }
    info.Frames = samples;
    info.TextA = VersionName(first.Version) + " Layer " + LayerName(first.Layer) +
                 (vbr ? std::string(" VBR") : " " + std::to_string(first.BitrateKbps) + " kbps");
    info.TextB =
        std::to_string(first.SampleRate) + " Hz " + (first.Channels == 1 ? "Mono" : "Stereo");
    return true;
}

uint64_t TMpegMeter::ScanFrames(const TFileReader& file, uint64_t begin, uint64_t end,
                                const TMpegFrameHeader& first) {
    constexpr size_t kBlock = 256 * 1024;
    std::vector<uint8_t> buf(kBlock);
    uint64_t frames = 0;
    uint64_t pos = begin;
    uint64_t bufStart = 0;
    size_t bufLen = 0;
    while (pos + 4 <= end) {
        if (pos < bufStart || pos + 4 > bufStart + bufLen) {
            bufStart = pos;
            bufLen = file.ReadAt(pos, buf.data(),
                                 static_cast<size_t>(std::min<uint64_t>(kBlock, end - pos)));
            if (bufLen < 4)
                break;
        }
        TMpegFrameHeader h;
        if (h.Parse(&buf[pos - bufStart]) && h.SameStream(first)) {
            ++frames;
            pos += h.Length;
        } else {
            ++pos; // lost sync: look for the next header
        }
    }
    return frames;
}
