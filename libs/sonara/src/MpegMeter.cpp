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

uint32_t Syncsafe(const uint8_t* p) {
    return (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | p[3];
}

bool IsSyncsafe(const uint8_t* p) {
    return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0;
}

// The size of an ID3v2.4 tag that ends exactly at end, found by its "3DI" footer.
uint64_t TrailingId3v2Footer(const TFileReader& file, uint64_t begin, uint64_t end) {
    uint8_t h[10];
    if (end < begin + 20 || file.ReadAt(end - 10, h, 10) != 10 || std::memcmp(h, "3DI", 3) != 0 ||
        !IsSyncsafe(h + 6))
        return 0;
    const uint64_t total = 20 + uint64_t(Syncsafe(h + 6));
    uint8_t head[3];
    if (total > end - begin || file.ReadAt(end - total, head, 3) != 3 ||
        std::memcmp(head, "ID3", 3) != 0)
        return 0;
    return total;
}

// The size of an ID3v2 tag without a footer (v2.3 appended by some tools) that ends exactly
// at end, found by its header in the last bytes before it.
uint64_t TrailingId3v2Header(const TFileReader& file, uint64_t begin, uint64_t end) {
    const uint64_t span = std::min<uint64_t>(end - begin, 32 * 1024);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    tail.resize(file.ReadAt(end - span, tail.data(), tail.size()));
    if (tail.size() < 10)
        return 0;
    for (size_t i = tail.size() - 10 + 1; i-- > 0;) {
        if (tail[i] == 'I' && tail[i + 1] == 'D' && tail[i + 2] == '3' && tail[i + 3] >= 2 &&
            tail[i + 3] <= 4 && IsSyncsafe(&tail[i + 6])) {
            const uint64_t total =
                10 + uint64_t(Syncsafe(&tail[i + 6])) + ((tail[i + 5] & 0x10) ? 10 : 0);
            if (total == tail.size() - i)
                return total;
        }
    }
    return 0;
}

// Drops the tags that writers append after the frames, in any order: ID3v1 (with its
// extended "TAG+" block), ID3v2.4 with its footer, APE and Lyrics3 v2.
uint64_t TrimTrailingTags(const TFileReader& file, uint64_t begin, uint64_t end) {
    for (int round = 0; round < 8 && end > begin; ++round) {
        const uint64_t before = end;
        uint8_t tail[32];
        if (end >= begin + 128 && file.ReadAt(end - 128, tail, 3) == 3 &&
            std::memcmp(tail, "TAG", 3) == 0) {
            end -= 128;
            if (end >= begin + 227 && file.ReadAt(end - 227, tail, 4) == 4 &&
                std::memcmp(tail, "TAG+", 4) == 0)
                end -= 227;
        } else if (end >= begin + 32 && file.ReadAt(end - 32, tail, 32) == 32 &&
                   std::memcmp(tail, "APETAGEX", 8) == 0) {
            uint64_t size = Le32(tail + 12);
            if (Le32(tail + 20) & 0x80000000u)
                size += 32; // the tag also has a header
            end = size <= end - begin ? end - size : begin;
        } else if (end >= begin + 15 && file.ReadAt(end - 15, tail, 15) == 15 &&
                   std::memcmp(tail + 6, "LYRICS200", 9) == 0 &&
                   std::all_of(tail, tail + 6, [](uint8_t c) { return std::isdigit(c); })) {
            const uint64_t size = std::stoull(std::string(tail, tail + 6)) + 15;
            uint8_t head[11];
            if (size <= end - begin && file.ReadAt(end - size, head, 11) == 11 &&
                std::memcmp(head, "LYRICSBEGIN", 11) == 0)
                end -= size;
        } else if (const uint64_t id3 = TrailingId3v2Footer(file, begin, end)) {
            end -= id3;
        }
        if (end == before)
            break;
    }
    return end;
}

// Whether a Xing/VBRI frame count (and byte count, when given) can describe a stream of
// streamBytes: the bytes per frame must lie between the smallest and largest frame the
// stream's version and layer allow, and a given byte count must match the real one within
// 1/32 of the stream or two of its largest frames.
bool CountFitsBytes(const TMpegFrameHeader& first, uint64_t frames, uint64_t headerBytes,
                    uint64_t streamBytes) {
    if (frames == 0)
        return false;
    const int maxKbps = first.Version == 10
                            ? (first.Layer == 1 ? 448 : (first.Layer == 2 ? 384 : 320))
                            : (first.Layer == 1 ? 256 : 160);
    const int minKbps = first.Version == 10 ? 32 : 8;
    const uint64_t slots = uint64_t(first.SamplesPerFrame) * 125;
    const uint64_t minFrame = slots * minKbps / uint64_t(first.SampleRate);
    const uint64_t maxFrame = slots * maxKbps / uint64_t(first.SampleRate) + 4;
    if (frames * minFrame > streamBytes + first.Length ||
        frames * maxFrame + maxFrame < streamBytes)
        return false;
    if (headerBytes == 0)
        return true;
    const uint64_t diff =
        headerBytes > streamBytes ? headerBytes - streamBytes : streamBytes - headerBytes;
    return diff <= std::max<uint64_t>(streamBytes / 32, 2 * maxFrame);
}

// Whether the stream has the first frame's parameters and bit rate around its middle and at
// its end: at each place, a header confirmed by the two that follow it must be found and
// agree. Costs one read for the middle (the end is in the reader's tail block).
bool AgreesAcrossStream(const TFileReader& file, uint64_t begin, uint64_t end,
                        const TMpegFrameHeader& first) {
    constexpr uint64_t kSpan = 8 * 1024; // three of the largest frames
    std::vector<uint8_t> buf(kSpan);
    for (const uint64_t at :
         {begin + (end - begin) / 2, end - begin > kSpan ? end - kSpan : begin}) {
        buf.resize(kSpan);
        buf.resize(file.ReadAt(at, buf.data(), buf.size()));
        bool agreed = false;
        for (size_t i = 0; i + 4 <= buf.size() && !agreed; ++i) {
            TMpegFrameHeader h;
            if (!h.Parse(&buf[i]))
                continue;
            size_t pos = i + h.Length;
            int confirmed = 0;
            for (TMpegFrameHeader next; confirmed < 2 && pos + 4 <= buf.size() &&
                                        next.Parse(&buf[pos]) && next.SameStream(h);
                 pos += next.Length)
                ++confirmed;
            const bool endsHere = at + pos == end;
            if (confirmed < 2 && !endsHere)
                continue;
            if (!h.SameStream(first) || h.BitrateKbps != first.BitrateKbps)
                return false;
            agreed = true;
        }
        if (!agreed)
            return false;
    }
    return true;
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
    uint64_t headerFrames = 0;
    uint64_t headerBytes = 0; // the stream's size as the header gives it; 0 when absent
    uint64_t gaplessTrim = 0; // encoder delay and padding from a LAME header
    const size_t xing = first.XingOffset();
    if (xing + 8 <= frame.size() &&
        (std::memcmp(&frame[xing], "Xing", 4) == 0 || std::memcmp(&frame[xing], "Info", 4) == 0)) {
        vbr = frame[xing] == 'X';
        const uint32_t flags = Be32(&frame[xing + 4]);
        size_t p = xing + 8;
        if ((flags & 1) && p + 4 <= frame.size()) {
            headerFrames = Be32(&frame[p]);
            samples = headerFrames * first.SamplesPerFrame;
            haveCount = true;
            p += 4;
        }
        if (flags & 2) {
            if (p + 4 <= frame.size())
                headerBytes = Be32(&frame[p]);
            p += 4;
        }
        if (flags & 4)
            p += 100;
        if (flags & 8)
            p += 4;
        // The LAME extension carries the encoder delay and padding for gapless playback.
        if (haveCount && p + 24 <= frame.size() && std::isalpha(frame[p]) &&
            std::isalpha(frame[p + 1]) && std::isalpha(frame[p + 2])) {
            const uint32_t delay = (uint32_t(frame[p + 21]) << 4) | (frame[p + 22] >> 4);
            const uint32_t padding = ((uint32_t(frame[p + 22]) & 0x0F) << 8) | frame[p + 23];
            gaplessTrim = delay + padding;
            if (delay + padding < samples)
                samples -= delay + padding;
        }
    } else if (36 + 18 <= frame.size() && std::memcmp(&frame[36], "VBRI", 4) == 0) {
        vbr = true;
        headerBytes = Be32(&frame[36 + 10]);
        headerFrames = Be32(&frame[36 + 14]);
        samples = headerFrames * first.SamplesPerFrame;
        haveCount = true;
    }

    // A header left by a damaged writer, an edit, or files joined end to end can claim any
    // count: it must fit the bytes there are, else the frames are counted.
    if (haveCount && !CountFitsBytes(first, headerFrames, headerBytes, end - firstPos)) {
        // The header frame itself is silence the decoder skips; its gapless values still
        // describe the start and the end.
        const TWalk walk = Walk(file, firstPos, end, first);
        const uint64_t header = std::min<uint64_t>(walk.Samples, first.SamplesPerFrame);
        const uint64_t audio = walk.Samples - header;
        samples = audio > gaplessTrim ? audio - gaplessTrim : 0;
        info.RateChanges = walk.FormatChanges;
        haveCount = true;
    }

    if (!haveCount) {
        // Constant bit rate when the first frames all agree; the size then gives the count.
        bool constant = true;
        uint64_t pos = firstPos - begin;
        for (int n = 0; constant && n < 64 && pos + 4 <= buf.size(); ++n) {
            TMpegFrameHeader h;
            if (!h.Parse(&buf[pos]) || !h.SameStream(first) || h.BitrateKbps != first.BitrateKbps) {
                constant = false;
                break;
            }
            pos += h.Length;
        }
        // A tag appended without a footer (ID3v2.3 written by some tools) is not audio.
        const uint64_t streamEnd = constant ? end - TrailingId3v2Header(file, firstPos, end) : end;
        // Files joined end to end agree at the start and change later: the middle and the
        // end must agree too before the size is trusted.
        if (constant && AgreesAcrossStream(file, firstPos, streamEnd, first)) {
            const double avgLength =
                double(first.SamplesPerFrame) * first.BitrateKbps * 125.0 / first.SampleRate;
            samples =
                static_cast<uint64_t>(std::llround(double(streamEnd - firstPos) / avgLength)) *
                first.SamplesPerFrame;
        } else {
            const TWalk walk = Walk(file, firstPos, end, first);
            // Damage among the first frames has always read as a variable rate.
            vbr = !constant || walk.BitrateVaries;
            info.RateChanges = walk.FormatChanges;
            samples = walk.Samples;
        }
    }
    info.Frames = samples;
    info.TextA = VersionName(first.Version) + " Layer " + LayerName(first.Layer) +
                 (vbr ? std::string(" VBR") : " " + std::to_string(first.BitrateKbps) + " kbps");
    info.TextB =
        std::to_string(first.SampleRate) + " Hz " + (first.Channels == 1 ? "Mono" : "Stereo");
    return true;
}

TMpegMeter::TWalk TMpegMeter::Walk(const TFileReader& file, uint64_t begin, uint64_t end,
                                   const TMpegFrameHeader& first) {
    constexpr size_t kBlock = 256 * 1024;
    std::vector<uint8_t> buf(kBlock);
    uint64_t bufStart = 0;
    size_t bufLen = 0;
    // The bytes [at, at + 4) in the buffer, reading on where needed; null past the end.
    const auto header = [&](uint64_t at) -> const uint8_t* {
        if (at + 4 > end)
            return nullptr;
        if (at < bufStart || at + 4 > bufStart + bufLen) {
            bufStart = at;
            bufLen = file.ReadAt(at, buf.data(),
                                 static_cast<size_t>(std::min<uint64_t>(kBlock, end - at)));
            if (bufLen < 4)
                return nullptr;
        }
        return &buf[at - bufStart];
    };
    TWalk walk;
    // Sample counts by rate: a stream joined from parts at other rates plays each part at
    // the first part's rate, converted.
    std::vector<std::pair<int, uint64_t>> byRate;
    TMpegFrameHeader current = first;
    for (uint64_t pos = begin;;) {
        const uint8_t* bytes = header(pos);
        if (!bytes)
            break;
        TMpegFrameHeader h;
        bool take = h.Parse(bytes) && h.SameStream(current);
        if (!take && h.Parse(bytes)) {
            // Another version, layer or rate: a new part of a joined stream when the next
            // header confirms it (or it ends the stream), else a false sync.
            TMpegFrameHeader next;
            const uint8_t* after = pos + h.Length == end ? nullptr : header(pos + h.Length);
            take = pos + h.Length == end || (after && next.Parse(after) && next.SameStream(h));
            if (take) {
                current = h;
                walk.FormatChanges = walk.FormatChanges || h.SampleRate != first.SampleRate;
            }
        }
        if (!take) {
            ++pos; // lost sync: look for the next header
            continue;
        }
        ++walk.Frames;
        walk.BitrateVaries = walk.BitrateVaries || h.BitrateKbps != first.BitrateKbps;
        auto rate = std::find_if(byRate.begin(), byRate.end(),
                                 [&](const auto& r) { return r.first == h.SampleRate; });
        if (rate == byRate.end())
            rate = byRate.emplace(byRate.end(), h.SampleRate, 0);
        rate->second += uint64_t(h.SamplesPerFrame);
        pos += h.Length;
    }
    double samples = 0;
    for (const auto& [rate, count] : byRate)
        samples += double(count) * first.SampleRate / rate;
    walk.Samples = static_cast<uint64_t>(std::llround(samples));
    return walk;
}
