#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which decoder path a file takes by default.
enum class TAudioKind {
    None,      // not recognised
    Sndfile,   // PCM-family WAV and the other containers libsndfile reads
    Mpeg,      // an MPEG audio file (.mp1 .mp2 .mp3 .mpg)
    MpegInWav, // RIFF/WAVE whose data chunk holds MPEG frames (format tags 0x0050, 0x0055)
};

// A 32-bit little-endian field of a file's header read with another value, so that libsndfile
// sees a header that tells the truth (a data size of 0 left by a recorder stopped hard).
struct THeaderPatch {
    uint64_t Offset = 0;
    uint32_t Value = 0;
};

// What probing learns about a file from its headers.
struct TAudioFileInfo {
    TAudioKind Kind = TAudioKind::None;
    std::string TextA; // the coding: "PCM 16 bit", "MPEG-1 Layer II 256 kbps"
    std::string TextB; // rate and channels: "44100 Hz Stereo"
    int SampleRate = 0;
    int Channels = 0;
    uint64_t Frames = 0; // sample frames; 0 when unknown
    // The MPEG frames lie in [DataOffset, DataOffset + DataSize) of the file.
    uint64_t DataOffset = 0;
    uint64_t DataSize = 0;
    // MPEG: parts of the stream at another sample rate (files joined end to end); Frames counts
    // them at SampleRate, the rate they are played at.
    bool RateChanges = false;
    std::vector<THeaderPatch> HeaderPatches; // applied when libsndfile reads the file
    std::string Error;                       // why the file is not recognised

    uint32_t LengthMs() const;
};
