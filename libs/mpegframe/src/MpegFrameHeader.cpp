#include "MpegFrameHeader.h"

bool TMpegFrameHeader::Parse(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return false;
    static const int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int kRates[3] = {44100, 48000, 32000};
    Version = versionBits == 3 ? 10 : (versionBits == 2 ? 20 : 25);
    Layer = 4 - layerBits;
    BitrateKbps = kBitrates[Version == 10 ? 0 : 1][Layer - 1][bitrateIndex];
    SampleRate = kRates[rateIndex] / (Version == 10 ? 1 : (Version == 20 ? 2 : 4));
    Padding = (p[2] >> 1) & 1;
    Crc = !(p[1] & 1);
    ChannelMode = p[3] >> 6;
    ModeExt = (p[3] >> 4) & 3;
    Emphasis = p[3] & 3;
    Channels = ChannelMode == 3 ? 1 : 2;
    if (Layer == 1) {
        SamplesPerFrame = 384;
        Length = static_cast<uint32_t>((12 * BitrateKbps * 1000 / SampleRate + Padding) * 4);
    } else {
        SamplesPerFrame = (Layer == 3 && Version != 10) ? 576 : 1152;
        Length =
            static_cast<uint32_t>(SamplesPerFrame / 8 * BitrateKbps * 1000 / SampleRate + Padding);
    }
    return Length > 4;
}

bool TMpegFrameHeader::SameStream(const TMpegFrameHeader& other) const {
    return Version == other.Version && Layer == other.Layer && SampleRate == other.SampleRate;
}

size_t TMpegFrameHeader::XingOffset() const {
    if (Version == 10)
        return Channels == 1 ? 4 + 17 : 4 + 32;
    return Channels == 1 ? 4 + 9 : 4 + 17;
}
