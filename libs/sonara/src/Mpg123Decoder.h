#pragma once

#include "Decoder.h"

#include <mpg123.h>

// Decodes MPEG audio through libmpg123, fed through a reader limited to the byte range that
// holds the frames: the whole file for .mp1/.mp2/.mp3/.mpg, the data chunk for MPEG-in-WAV.
class TMpg123Decoder final : public TDecoder {
public:
    static std::unique_ptr<TDecoder> Open(const std::string& path, const TAudioFileInfo& info,
                                          std::string& error);
    ~TMpg123Decoder() override;

    int SampleRate() const override { return Rate; }
    int Channels() const override { return ChannelCount; }
    size_t Read(int16_t* out, size_t frames) override;

    // The byte window the reader callbacks see.
    struct TWindow {
        int Fd = -1;
        int64_t Begin = 0;
        int64_t End = 0;
        int64_t Pos = 0;
    };

protected:
    uint64_t SeekLeadIn() const override;
    bool SeekRaw(uint64_t frame) override;

private:
    TMpg123Decoder() = default;
    mpg123_handle* Handle = nullptr;
    TWindow Window;
    int Rate = 0;
    int ChannelCount = 0;
    bool Ended = false;
    bool RateChanges = false;
};
