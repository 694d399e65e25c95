#pragma once

#include "AudioFileInfo.h"

#include <string>

// Recognises a file by its content (RIFF/RF64 with its fmt format tag, else MPEG frames,
// else whatever libsndfile opens) and reads its format and length from the headers.
class TFileReader;

class TFormatProbe {
public:
    static TAudioFileInfo Probe(const std::string& path);
    // The same of a file already open for reading.
    static TAudioFileInfo Probe(const TFileReader& file);
    // The coding text of a libsndfile subtype ("PCM 16 bit", "IEEE float 32 bit", ...).
    static std::string SndfileCodingText(int format);
};
