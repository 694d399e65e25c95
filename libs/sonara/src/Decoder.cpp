#include "Decoder.h"

#include "Mpg123Decoder.h"
#include "SndfileDecoder.h"

#include <algorithm>
#include <vector>

std::unique_ptr<TDecoder> TDecoder::Create(const std::string& path, const TAudioFileInfo& info,
                                           bool forceSndfile, std::string& error) {
    if (info.Kind == TAudioKind::Sndfile)
        return TSndfileDecoder::Open(path, info, error);
    if (info.Kind != TAudioKind::Mpeg && info.Kind != TAudioKind::MpegInWav) {
        error = "The file is not a recognised audio file";
        return nullptr;
    }
    // Forcing libsndfile is a preference: where it cannot read the file (MPEG in WAV), or
    // would stop short of the measured length (it guesses the length of a VBR file without
    // a header from the first frame and never reads past its guess), the default decoder
    // plays it.
    if (forceSndfile) {
        std::string ignored;
        auto decoder = TSndfileDecoder::Open(path, info, ignored);
        const uint64_t shortBy = 1152; // gapless trimming may differ by up to a frame
        if (decoder && decoder->SampleRate() == info.SampleRate &&
            decoder->TotalFrames() + shortBy >= info.Frames)
            return decoder;
    }
    return TMpg123Decoder::Open(path, info, error);
}

bool TDecoder::Seek(uint64_t frame) {
    if (frame == 0)
        return true; // a new decoder is at the start already
    const uint64_t leadIn = SeekLeadIn();
    uint64_t landing = frame > leadIn ? frame - leadIn : 0;
    // Where the coding cannot seek (GSM 6.10 and others in libsndfile), decode from the start.
    if (!SeekRaw(landing))
        landing = 0;
    constexpr size_t chunkFrames = 1152;
    std::vector<int16_t> scratch(chunkFrames * static_cast<size_t>(Channels()));
    for (uint64_t left = frame - landing; left > 0;) {
        const size_t got =
            Read(scratch.data(), static_cast<size_t>(std::min<uint64_t>(left, chunkFrames)));
        if (got == 0)
            return false;
        left -= got;
    }
    return true;
}
