#pragma once

#include "Decoder.h"
#include "SndfileFile.h"

#include <vector>

// Decodes every format libsndfile reads (the PCM family, and MPEG when forced).
class TSndfileDecoder final : public TDecoder {
public:
    static std::unique_ptr<TDecoder> Open(const std::string& path, const TAudioFileInfo& info,
                                          std::string& error);

    int SampleRate() const override { return Info.samplerate; }
    int Channels() const override { return Info.channels; }
    uint64_t TotalFrames() const override {
        return Info.frames > 0 ? static_cast<uint64_t>(Info.frames) : 0;
    }
    size_t Read(int16_t* out, size_t frames) override;

protected:
    uint64_t SeekLeadIn() const override;
    bool SeekRaw(uint64_t frame) override;

private:
    TSndfileDecoder() = default;
    TSndfileFile File;
    SF_INFO Info{};
    bool FloatSamples = false;
    std::vector<float> FloatBuffer;
};
