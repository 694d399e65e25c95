#include "AudioFixtures.h"

#include "MpegFrameHeader.h"

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
            const double ratio = c == 0 ? 1.0 : 1.5;
            const double t = static_cast<double>(i) / tone.SampleRate;
            // Phase of a linear sweep (a constant tone when SweepToHz is unset).
            const double slope = tone.SweepToHz > 0.0 && tone.Seconds > 0.0
                                     ? (tone.SweepToHz - tone.FrequencyHz) / tone.Seconds
                                     : 0.0;
            const double cycles = ratio * (tone.FrequencyHz * t + 0.5 * slope * t * t);
            samples[i * tone.Channels + c] =
                static_cast<float>(tone.Amplitude * std::sin(2.0 * std::numbers::pi * cycles));
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
    TMpegFrameHeader first;
    size_t offset = 0;
    while (offset + 4 <= data.size() && !first.Parse(&data[offset]))
        ++offset;
    if (offset + 4 > data.size())
        return false;
    // Count the frames for the fact chunk (samples per channel).
    uint32_t frameCount = 0;
    for (size_t pos = offset; pos + 4 <= data.size();) {
        TMpegFrameHeader h;
        if (!h.Parse(&data[pos]))
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
        PutLe16(fmt, kModes[first.ChannelMode]);
        PutLe16(fmt, 1u << first.ModeExt);
        PutLe16(fmt, static_cast<uint32_t>(first.Emphasis + 1));
        PutLe16(fmt, (first.Crc ? 0x2 : 0) | 0x8 | (first.Version == 10 ? 0x10 : 0));
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
