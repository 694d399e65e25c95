#pragma once

#include "AudioFileInfo.h"

class TFileReader;

// Recognises an MPEG audio stream inside a byte range of a file and measures it from frame
// headers only: the Xing/Info (with the LAME gapless values) or VBRI header when present;
// else a constant bit rate confirmed over the first frames gives the count from the size;
// else every frame header is walked. Audio is never decoded.
class TMpegMeter {
public:
    // begin/end bound the stream; withTags skips ID3v2 at the front and ID3v1/APE at the back.
    static bool Measure(const TFileReader& file, uint64_t begin, uint64_t end, bool withTags,
                        TAudioFileInfo& info);

private:
    static uint64_t ScanFrames(const TFileReader& file, uint64_t begin, uint64_t end,
                               const struct TMpegFrameHeader& first);
};
