#pragma once

#include "AudioFileInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A source of interleaved 16-bit samples at the file's own rate and channel count.
class TDecoder {
public:
    virtual ~TDecoder() = default;
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    // Sample frames of the whole audio when the decoder knows them exactly, else 0.
    virtual uint64_t TotalFrames() const { return 0; }
    // Positions a decoder that has not read yet at a sample frame counted from the start of
    // the audio, exactly: where the coding decodes cold after a jump, it lands SeekLeadIn()
    // frames early and decodes the lead-in away, so the first sample read is already the right
    // one; where it cannot jump at all, it decodes from the start. False past the end.
    bool Seek(uint64_t frame);
    // Decodes up to frames sample frames; fewer only at the end of the audio or on damage.
    virtual size_t Read(int16_t* out, size_t frames) = 0;

    // The decoder for a probed file: libsndfile for the PCM family; libmpg123 for MPEG files
    // and MPEG-in-WAV, or libsndfile when forced and it can read them. Null with the reason
    // in error on failure.
    static std::unique_ptr<TDecoder> Create(const std::string& path, const TAudioFileInfo& info,
                                            bool forceSndfile, std::string& error);

protected:
    // Sample frames to land early before a seek target; 0 where seeks are exact.
    virtual uint64_t SeekLeadIn() const { return 0; }
    // Positions the underlying decoder at a frame, however exactly it can; false where the
    // coding cannot seek, and then the decoder has not moved.
    virtual bool SeekRaw(uint64_t frame) = 0;
};
