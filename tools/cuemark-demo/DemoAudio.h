#pragma once

#include <string>
#include <vector>

// Short musical audio for the demo folder: a melody of plucked notes over a soft bass,
// synthesised as float samples and written as PCM WAV or MP3 through libsndfile and as
// MPEG-1 Layer II through twolame.
class TDemoAudio {
public:
    struct TMelody {
        int SampleRate = 44100;
        int Channels = 2;
        double BeatsPerMinute = 120.0;
        std::vector<int> Notes; // MIDI note numbers, one per beat; 0 is a rest
        int BassNote = 0;       // a held bass note under the melody; 0 for none
    };

    // Interleaved samples in -1..1.
    static std::vector<float> Render(const TMelody& melody);

    // Interleaved little-endian 16-bit PCM, the payload of a WAV "data" chunk.
    static std::string RenderPcm16(const TMelody& melody);
    // MPEG-1 Layer II frames through twolame at bitrateKbps (0: 128 mono, 192 stereo);
    // empty with error set on failure. Every frame holds 1152 sample frames.
    static std::string EncodeMp2(const TMelody& melody, int bitrateKbps, std::string& error);

    // Each returns an error text, empty on success; an existing file is replaced.
    static std::string WriteWav16(const std::string& path, const TMelody& melody);
    static std::string WriteMp3(const std::string& path, const TMelody& melody);
    static std::string WriteMp2(const std::string& path, const TMelody& melody);
};
