#include "Decoder.h"

#include "Mpg123Decoder.h"
#include "SndfileDecoder.h"

std::unique_ptr<TDecoder> TDecoder::Create(const std::string& path, const TAudioFileInfo& info,
                                           bool forceSndfile, std::string& error) {
    if (forceSndfile || info.Kind == TAudioKind::Sndfile)
        return TSndfileDecoder::Open(path, error);
    if (info.Kind == TAudioKind::Mpeg || info.Kind == TAudioKind::MpegInWav)
        return TMpg123Decoder::Open(path, info, error);
    error = "The file is not a recognised audio file";
    return nullptr;
}
