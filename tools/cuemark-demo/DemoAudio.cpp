#include "DemoAudio.h"

#include <sndfile.h>
#include <twolame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>

namespace {

double NoteHz(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

std::string WriteThroughSndfile(const std::string& path, const TDemoAudio::TMelody& melody,
                                int format) {
    SF_INFO info{};
    info.samplerate = melody.SampleRate;
    info.channels = melody.Channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return sf_strerror(nullptr);
    const std::vector<float> samples = TDemoAudio::Render(melody);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / melody.Channels;
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    std::string error = written == frames ? std::string() : std::string(sf_strerror(file));
    if (sf_close(file) != 0 && error.empty())
        error = "could not finish the file";
    return error;
}

} // namespace

std::vector<float> TDemoAudio::Render(const TMelody& melody) {
    const double beatSeconds = 60.0 / melody.BeatsPerMinute;
    const auto beatFrames = static_cast<size_t>(beatSeconds * melody.SampleRate);
    const size_t frames = beatFrames * std::max<size_t>(melody.Notes.size(), 1);
    const auto channels = static_cast<size_t>(melody.Channels);
    std::vector<float> samples(frames * channels, 0.0f);
    const double rate = melody.SampleRate;

    for (size_t n = 0; n < melody.Notes.size(); ++n) {
        if (melody.Notes[n] == 0)
            continue;
        const double hz = NoteHz(melody.Notes[n]);
        // A plucked note: fundamental plus two soft harmonics, quick attack, long decay
        // that may ring into the next beat.
        const size_t start = n * beatFrames;
        const size_t length = std::min(frames - start, beatFrames * 2);
        for (size_t i = 0; i < length; ++i) {
            const double t = i / rate;
            const double envelope = std::min(1.0, t / 0.01) * std::exp(-3.0 * t / beatSeconds);
            const double phase = 2.0 * std::numbers::pi * hz * t;
            const double value = envelope * (0.5 * std::sin(phase) + 0.2 * std::sin(2 * phase) +
                                             0.08 * std::sin(3 * phase));
            for (size_t c = 0; c < channels; ++c) {
                // Spread the melody a little to the right in stereo.
                const double pan = channels == 1 ? 1.0 : (c == 0 ? 0.8 : 1.0);
                samples[(start + i) * channels + c] += static_cast<float>(0.5 * value * pan);
            }
        }
    }
    if (melody.BassNote != 0) {
        const double hz = NoteHz(melody.BassNote);
        for (size_t i = 0; i < frames; ++i) {
            const double t = i / rate;
            const double fade = std::min({1.0, t / 0.2, (frames - i) / (0.3 * rate)});
            const auto value =
                static_cast<float>(0.15 * fade * std::sin(2.0 * std::numbers::pi * hz * t));
            for (size_t c = 0; c < channels; ++c)
                samples[i * channels + c] += value;
        }
    }
    for (float& s : samples)
        s = std::clamp(s, -1.0f, 1.0f);
    return samples;
}

std::string TDemoAudio::WriteWav16(const std::string& path, const TMelody& melody) {
    return WriteThroughSndfile(path, melody, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

std::string TDemoAudio::WriteMp3(const std::string& path, const TMelody& melody) {
    return WriteThroughSndfile(path, melody, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
}

std::string TDemoAudio::RenderPcm16(const TMelody& melody) {
    const std::vector<float> samples = Render(melody);
    std::string out;
    out.reserve(samples.size() * 2);
    for (float s : samples) {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767.0f)));
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    }
    return out;
}

std::string TDemoAudio::EncodeMp2(const TMelody& melody, int bitrateKbps, std::string& error) {
    using TOptions = std::unique_ptr<twolame_options, void (*)(twolame_options*)>;
    TOptions options(twolame_init(), [](twolame_options* o) { twolame_close(&o); });
    if (!options) {
        error = "twolame could not start";
        return {};
    }
    if (bitrateKbps == 0)
        bitrateKbps = melody.Channels == 1 ? 128 : 192;
    twolame_set_num_channels(options.get(), melody.Channels);
    twolame_set_in_samplerate(options.get(), melody.SampleRate);
    twolame_set_out_samplerate(options.get(), melody.SampleRate);
    twolame_set_mode(options.get(), melody.Channels == 1 ? TWOLAME_MONO : TWOLAME_STEREO);
    twolame_set_bitrate(options.get(), bitrateKbps);
    if (twolame_init_params(options.get()) != 0) {
        error = "twolame refused the parameters";
        return {};
    }

    const std::vector<float> samples = Render(melody);
    std::vector<short> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(),
                   [](float s) { return static_cast<short>(std::lround(s * 32767.0f)); });
    const int frames = static_cast<int>(samples.size() / static_cast<size_t>(melody.Channels));
    std::string out(static_cast<size_t>(frames) * 2 + 16384, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    const int encoded = twolame_encode_buffer_interleaved(options.get(), pcm.data(), frames, bytes,
                                                          static_cast<int>(out.size()));
    if (encoded < 0) {
        error = "twolame could not encode";
        return {};
    }
    const int flushed = twolame_encode_flush(options.get(), bytes + encoded,
                                             static_cast<int>(out.size()) - encoded);
    if (flushed < 0) {
        error = "twolame could not finish";
        return {};
    }
    out.resize(static_cast<size_t>(encoded + flushed));
    return out;
}

std::string TDemoAudio::WriteMp2(const std::string& path, const TMelody& melody) {
    std::string error;
    const std::string frames = EncodeMp2(melody, 0, error);
    if (!error.empty())
        return error;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        return "cannot create the file";
    if (std::fwrite(frames.data(), 1, frames.size(), file.get()) != frames.size())
        return "cannot write the file";
    if (std::fclose(file.release()) != 0)
        return "cannot finish the file";
    return {};
}
