#include "Decoder.h"

#include "Mpg123Decoder.h"
#include "SndfileDecoder.h"

#include <algorithm>
#include <vector>

std::unique_ptr<TDecoder> TDecoder::Create(const std::string& path, const TAudioFileInfo& info,
                                           bool forceSndfile, std::string& error) {
    if (forceSndfile || info.Kind == TAudioKind::Sndfile)
        return TSndfileDecoder::Open(path, error);
    if (info.Kind == TAudioKind::Mpeg || info.Kind == TAudioKind::MpegInWav)
        return TMpg123Decoder::Open(path, info, error);
    error = "The file is not a recognised audio file";
    return nullptr;
}

bool TDecoder::Seek(uint64_t frame) {
    const uint64_t leadIn = SeekLeadIn();
    const uint64_t landing = frame > leadIn ? frame - leadIn : 0;
    if (!SeekRaw(landing))
        return false;
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
