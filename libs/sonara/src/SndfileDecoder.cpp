#include "SndfileDecoder.h"

std::unique_ptr<TDecoder> TSndfileDecoder::Open(const std::string& path, std::string& error) {
    std::unique_ptr<TSndfileDecoder> decoder(new TSndfileDecoder);
    decoder->File = sf_open(path.c_str(), SFM_READ, &decoder->Info);
    if (!decoder->File) {
        error = std::string("libsndfile cannot decode this file: ") + sf_strerror(nullptr);
        return nullptr;
    }
    if (decoder->Info.samplerate <= 0 || decoder->Info.channels <= 0) {
        error = "libsndfile cannot decode this file: no audio stream";
        return nullptr;
    }
    // Float and double samples are read as 16-bit: scale them, or they truncate to silence.
    sf_command(decoder->File, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    return decoder;
}

TSndfileDecoder::~TSndfileDecoder() {
    if (File)
        sf_close(File);
}

uint64_t TSndfileDecoder::SeekLeadIn() const {
    // MPEG decodes cold after a seek (bit reservoir, overlap); PCM seeks are exact.
    return (Info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? 4 * 1152 : 0;
}

bool TSndfileDecoder::SeekRaw(uint64_t frame) {
    return sf_seek(File, static_cast<sf_count_t>(frame), SEEK_SET) >= 0;
}

size_t TSndfileDecoder::Read(int16_t* out, size_t frames) {
    const sf_count_t got = sf_readf_short(File, out, static_cast<sf_count_t>(frames));
    return got > 0 ? static_cast<size_t>(got) : 0;
}
