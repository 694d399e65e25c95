#pragma once

#include "AudioFileInfo.h"

class TFileReader;

// Recognises an MPEG audio stream inside a byte range of a file and measures it from frame
// headers only: the Xing/Info (with the LAME gapless values) or VBRI header when present;
// else a constant bit rate confirmed over the first frames and at the middle and end of the
// stream gives the count from the size; else every frame header is walked, across the joins
// of files put end to end at other bit rates or sample rates. Audio is never decoded.
class TMpegMeter {
public:
    // begin/end bound the stream; withTags skips ID3v2 at the front and ID3v1/APE at the back.
    static bool Measure(const TFileReader& file, uint64_t begin, uint64_t end, bool withTags,
                        TAudioFileInfo& info);

private:
    // What walking every frame header finds.
    struct TWalk {
        uint64_t Frames = 0;
        // Sample frames at the first frame's rate, parts at other rates converted to it.
        uint64_t Samples = 0;
        bool BitrateVaries = false;
        bool FormatChanges = false; // a part at another sample rate
    };
    static TWalk Walk(const TFileReader& file, uint64_t begin, uint64_t end,
                      const struct TMpegFrameHeader& first);
};
