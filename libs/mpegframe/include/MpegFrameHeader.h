#pragma once

#include <cstddef>
#include <cstdint>

// One MPEG audio frame header (layers I-III, MPEG-1, 2 and 2.5), decoded from its four bytes.
struct TMpegFrameHeader {
    int Version = 0; // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    int Layer = 0;   // 1..3
    int BitrateKbps = 0;
    int SampleRate = 0;
    int Channels = 0;
    int ChannelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int ModeExt = 0;     // joint stereo mode extension, 0..3
    int Emphasis = 0;    // 0 none, 1 50/15 us, 2 reserved, 3 CCITT J.17
    bool Padding = false;
    bool Crc = false;    // a 16-bit CRC follows the header
    uint32_t Length = 0; // bytes, header included
    int SamplesPerFrame = 0;

    // False for anything but a valid header with a known bitrate (free format is refused).
    bool Parse(const uint8_t* bytes);
    // Same stream parameters (version, layer, rate): used to confirm a frame sync.
    bool SameStream(const TMpegFrameHeader& other) const;
    // Offset of a Xing/Info tag inside this frame (after the side information).
    size_t XingOffset() const;
};
