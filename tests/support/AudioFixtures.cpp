#include "AudioFixtures.h"

#include <sndfile.h>
#include <twolame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace Fixtures {

namespace {

// Interleaved float samples of a sine tone; the right channel is a fifth higher so the
// channels can be told apart in comparisons.
std::vector<float> ToneSamples(const TToneSpec& tone) {
    const auto frames = static_cast<size_t>(std::llround(tone.Seconds * tone.SampleRate));
    std::vector<float> samples(frames * static_cast<size_t>(tone.Channels));
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < tone.Channels; ++c) {
            const double freq = tone.FrequencyHz * (c == 0 ? 1.0 : 1.5);
            const double t = static_cast<double>(i) / tone.SampleRate;
            samples[i * tone.Channels + c] =
                static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * freq * t));
        }
    }
    return samples;
}

bool WriteThroughSndfile(const std::string& path, const TToneSpec& tone, int format,
                         int bitrateMode, double compression) {
    SF_INFO info{};
    info.samplerate = tone.SampleRate;
    info.channels = tone.Channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    if (bitrateMode >= 0) {
        int mode = bitrateMode;
        sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof(mode));
    }
    if (compression >= 0.0)
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &compression, sizeof(compression));
    const std::vector<float> samples = ToneSamples(tone);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / tone.Channels);
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

struct TFrameHeader {
    int Version = 0; // 1, 2 or 25 (for 2.5)
    int Layer = 0;
    int BitrateKbps = 0;
    int SampleRate = 0;
    int Channels = 0;
    int Mode = 0;
    int ModeExt = 0;
    int Emphasis = 0;
    bool Padding = false;
    bool Crc = false;
    size_t Length = 0;
    int SamplesPerFrame = 0;
};

bool ParseFrameHeader(const uint8_t* p, TFrameHeader& h) {
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
    h.Version = versionBits == 3 ? 1 : (versionBits == 2 ? 2 : 25);
    h.Layer = 4 - layerBits;
    h.BitrateKbps = kBitrates[h.Version == 1 ? 0 : 1][h.Layer - 1][bitrateIndex];
    h.SampleRate = kRates[rateIndex] / (h.Version == 1 ? 1 : (h.Version == 2 ? 2 : 4));
    h.Padding = (p[2] >> 1) & 1;
    h.Crc = !(p[1] & 1);
    h.Mode = p[3] >> 6;
    h.ModeExt = (p[3] >> 4) & 3;
    h.Emphasis = p[3] & 3;
    h.Channels = h.Mode == 3 ? 1 : 2;
    if (h.Layer == 1) {
        h.SamplesPerFrame = 384;
        h.Length = static_cast<size_t>((12 * h.BitrateKbps * 1000 / h.SampleRate + h.Padding) * 4);
    } else {
        h.SamplesPerFrame = (h.Layer == 3 && h.Version != 1) ? 576 : 1152;
        h.Length = static_cast<size_t>(h.SamplesPerFrame / 8 * h.BitrateKbps * 1000 / h.SampleRate +
                                       h.Padding);
    }
    return h.Length >= 4;
}

// The MPEG frames of a file: ID3v2 at the front, ID3v1 and APE tags at the back removed.
std::vector<uint8_t> StripTags(std::vector<uint8_t> bytes) {
    if (bytes.size() >= 10 && std::memcmp(bytes.data(), "ID3", 3) == 0) {
        size_t size = (static_cast<size_t>(bytes[6] & 0x7F) << 21) | ((bytes[7] & 0x7F) << 14) |
                      ((bytes[8] & 0x7F) << 7) | (bytes[9] & 0x7F);
        size += 10 + ((bytes[5] & 0x10) ? 10 : 0);
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(std::min(size, bytes.size())));
    }
    if (bytes.size() >= 128 && std::memcmp(&bytes[bytes.size() - 128], "TAG", 3) == 0)
        bytes.resize(bytes.size() - 128);
    return bytes;
}

} // namespace

bool WritePcmWav(const std::string& path, const TToneSpec& tone, int format) {
    return WriteThroughSndfile(path, tone, SF_FORMAT_WAV | format, -1, -1.0);
}

bool WriteMp3(const std::string& path, const TToneSpec& tone, bool vbr, int bitrateKbps) {
    // libsndfile maps the compression level 0..1 onto 320..32 kbps (MPEG-1 rates) or
    // 160..8 kbps (MPEG-2 rates); for VBR it is the quality setting.
    const double top = tone.SampleRate >= 32000 ? 320.0 : 160.0;
    const double bottom = tone.SampleRate >= 32000 ? 32.0 : 8.0;
    double compression = vbr ? 0.5 : (top - bitrateKbps) / (top - bottom);
    compression = std::clamp(compression, 0.0, 1.0);
    return WriteThroughSndfile(path, tone, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                               vbr ? SF_BITRATE_MODE_VARIABLE : SF_BITRATE_MODE_CONSTANT,
                               compression);
}

bool WriteMp2(const std::string& path, const TToneSpec& tone, int bitrateKbps) {
    twolame_options* options = twolame_init();
    if (!options)
        return false;
    twolame_set_verbosity(options, 0);
    twolame_set_num_channels(options, tone.Channels);
    twolame_set_mode(options, tone.Channels == 1 ? TWOLAME_MONO : TWOLAME_STEREO);
    twolame_set_in_samplerate(options, tone.SampleRate);
    twolame_set_out_samplerate(options, tone.SampleRate);
    twolame_set_bitrate(options, bitrateKbps);
    if (twolame_init_params(options) != 0) {
        twolame_close(&options);
        return false;
    }
    const std::vector<float> samples = ToneSamples(tone);
    std::vector<short> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(),
                   [](float s) { return static_cast<short>(std::lround(s * 32767.0f)); });
    const int frames = static_cast<int>(pcm.size() / tone.Channels);
    std::vector<unsigned char> out(static_cast<size_t>(frames) * 2 + 16384);
    int written = twolame_encode_buffer_interleaved(options, pcm.data(), frames, out.data(),
                                                    static_cast<int>(out.size()));
    bool ok = written >= 0;
    if (ok) {
        const int tail = twolame_encode_flush(options, out.data() + written,
                                              static_cast<int>(out.size()) - written);
        ok = tail >= 0;
        written += std::max(tail, 0);
    }
    twolame_close(&options);
    return ok && WriteBytes(path, std::vector<uint8_t>(out.begin(), out.begin() + written));
}

bool WrapMpegInWav(const std::string& mpegPath, const std::string& wavPath) {
    const std::vector<uint8_t> data = StripTags(ReadBytes(mpegPath));
    TFrameHeader first;
    size_t offset = 0;
    while (offset + 4 <= data.size() && !ParseFrameHeader(&data[offset], first))
        ++offset;
    if (offset + 4 > data.size())
        return false;
    // Count the frames for the fact chunk (samples per channel).
    uint32_t frameCount = 0;
    for (size_t pos = offset; pos + 4 <= data.size();) {
        TFrameHeader h;
        if (!ParseFrameHeader(&data[pos], h))
            break;
        ++frameCount;
        pos += h.Length;
    }
    const std::vector<uint8_t> payload(data.begin() + static_cast<long>(offset), data.end());
    const uint32_t avgBytes = static_cast<uint32_t>(first.BitrateKbps) * 125;

    std::vector<uint8_t> fmt;
    const bool layer3 = first.Layer == 3;
    PutLe16(fmt, layer3 ? 0x0055 : 0x0050);
    PutLe16(fmt, static_cast<uint32_t>(first.Channels));
    PutLe32(fmt, static_cast<uint32_t>(first.SampleRate));
    PutLe32(fmt, avgBytes);
    if (layer3) {
        PutLe16(fmt, 1);  // block align
        PutLe16(fmt, 0);  // bits per sample
        PutLe16(fmt, 12); // extra size
        PutLe16(fmt, 1);  // id: MPEG layer 3
        PutLe32(fmt, 2);  // flags: padding off
        PutLe16(fmt, static_cast<uint32_t>(first.Length));
        PutLe16(fmt, 1);    // frames per block
        PutLe16(fmt, 1393); // codec delay
    } else {
        PutLe16(fmt, static_cast<uint32_t>(first.Length)); // block align
        PutLe16(fmt, 0);                                   // bits per sample
        PutLe16(fmt, 22);                                  // extra size
        PutLe16(fmt, first.Layer == 1 ? 1 : 2);            // head layer
        PutLe32(fmt, static_cast<uint32_t>(first.BitrateKbps) * 1000);
        static const uint32_t kModes[4] = {1, 2, 4, 8}; // stereo, joint, dual, mono
        PutLe16(fmt, kModes[first.Mode]);
        PutLe16(fmt, 1u << first.ModeExt);
        PutLe16(fmt, static_cast<uint32_t>(first.Emphasis + 1));
        PutLe16(fmt, (first.Crc ? 0x2 : 0) | 0x8 | (first.Version == 1 ? 0x10 : 0));
        PutLe32(fmt, 0); // PTS low
        PutLe32(fmt, 0); // PTS high
    }

    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    PutLe32(out, 0); // patched below
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, static_cast<uint32_t>(fmt.size()));
    out.insert(out.end(), fmt.begin(), fmt.end());
    PutTag(out, "fact");
    PutLe32(out, 4);
    PutLe32(out, frameCount * static_cast<uint32_t>(first.SamplesPerFrame));
    PutTag(out, "data");
    PutLe32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2)
        out.push_back(0);
    const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return WriteBytes(wavPath, out);
}

std::vector<int16_t> ReadSamples16(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE); // floats: scale, not truncate
    std::vector<int16_t> samples;
    std::vector<int16_t> block(4096 * static_cast<size_t>(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(file, block.data(), 4096);
        if (got <= 0)
            break;
        samples.insert(samples.end(), block.begin(), block.begin() + got * info.channels);
    }
    sf_close(file);
    return samples;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace Fixtures
