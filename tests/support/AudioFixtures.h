#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Generators of real audio files for tests: a sine tone written through libsndfile
// (PCM family and MP3 via LAME), MPEG-1 Layer II through twolame, and MPEG frames
// wrapped in a RIFF/WAVE file (format tag 0x0050 or 0x0055).
namespace Fixtures {

struct TToneSpec {
    int SampleRate = 44100;
    int Channels = 2;
    double Seconds = 1.0;
    double FrequencyHz = 440.0;
    double Amplitude = 0.5; // peak, full scale 1.0
    // When set, the frequency sweeps linearly from FrequencyHz to this over the tone, so the
    // signal never repeats and an alignment search has one answer.
    double SweepToHz = 0.0;
};

// format: a libsndfile subtype such as SF_FORMAT_PCM_16, SF_FORMAT_FLOAT, SF_FORMAT_ULAW.
bool WritePcmWav(const std::string& path, const TToneSpec& tone, int format);
// MP3 through libsndfile's LAME encoder; vbr picks variable bit rate.
bool WriteMp3(const std::string& path, const TToneSpec& tone, bool vbr, int bitrateKbps = 128);
// MPEG-1 Layer II through twolame.
bool WriteMp2(const std::string& path, const TToneSpec& tone, int bitrateKbps = 256);
// Wraps the MPEG frames of mpegPath (any ID3 tags dropped) in a RIFF/WAVE file whose
// fmt chunk carries formatTag 0x0050 (layer I/II) or 0x0055 (layer III).
bool WrapMpegInWav(const std::string& mpegPath, const std::string& wavPath);
// The interleaved 16-bit samples libsndfile decodes from a file (empty on failure).
std::vector<int16_t> ReadSamples16(const std::string& path);
// Whole file contents, and writing them back (for truncated and corrupted variants).
std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace Fixtures
