#include "SndfileDecoder.h"

#include <algorithm>
#include <cmath>

std::unique_ptr<TDecoder> TSndfileDecoder::Open(const std::string& path, const TAudioFileInfo& info,
                                                std::string& error) {
    std::unique_ptr<TSndfileDecoder> decoder(new TSndfileDecoder);
    std::string reason;
    if (!decoder->File.Open(path, info.HeaderPatches, decoder->Info, reason)) {
        error = "libsndfile cannot decode this file: " + reason;
        return nullptr;
    }
    if (decoder->Info.samplerate <= 0 || decoder->Info.channels <= 0) {
        error = "libsndfile cannot decode this file: no audio stream";
        return nullptr;
    }
    // Float samples are converted here at their own level: libsndfile's float-to-integer
    // scaling divides by the file's peak, which would play a quiet file at full scale.
    const int subtype = decoder->Info.format & SF_FORMAT_SUBMASK;
    decoder->FloatSamples = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    return decoder;
}

uint64_t TSndfileDecoder::SeekLeadIn() const {
    // MPEG decodes cold after a seek (bit reservoir, overlap); PCM seeks are exact.
    return (Info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? 4 * 1152 : 0;
}

bool TSndfileDecoder::SeekRaw(uint64_t frame) {
    // libsndfile cannot seek in some codings (GSM 6.10 in WAV): the caller decodes up to
    // the frame instead.
    if (!Info.seekable)
        return false;
    return sf_seek(File.Get(), static_cast<sf_count_t>(frame), SEEK_SET) >= 0;
}

size_t TSndfileDecoder::Read(int16_t* out, size_t frames) {
    if (!FloatSamples) {
        const sf_count_t got = sf_readf_short(File.Get(), out, static_cast<sf_count_t>(frames));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    const size_t channels = static_cast<size_t>(Info.channels);
    FloatBuffer.resize(frames * channels);
    const sf_count_t got =
        sf_readf_float(File.Get(), FloatBuffer.data(), static_cast<sf_count_t>(frames));
    if (got <= 0)
        return 0;
    const size_t samples = static_cast<size_t>(got) * channels;
    for (size_t i = 0; i < samples; ++i) {
        const float scaled = FloatBuffer[i] * 32767.0f;
        // NaN and infinities become silence and full scale, never undefined conversions.
        const float clipped = std::isnan(scaled) ? 0.0f : std::clamp(scaled, -32768.0f, 32767.0f);
        out[i] = static_cast<int16_t>(std::lrint(clipped));
    }
    return static_cast<size_t>(got);
}
