#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Raw RIFF/WAVE writing for the demo files that come "from the playout system": the chunks
// are laid out byte for byte as a playout system writes them (fmt, fact for MPEG audio,
// cart, bext, data), without going through our tagging library.
namespace DemoRiff {

std::string Le16(uint16_t v);
std::string Le32(uint32_t v);
// The chunk with its header and, after an odd payload, the pad byte.
std::string Chunk(const char* id, const std::string& payload);
// A whole RIFF/WAVE file made of the given chunks.
std::string Wave(const std::vector<std::string>& chunks);

// WAVEFORMATEX for 16-bit PCM.
std::string PcmFormat(int channels, int sampleRate);
// MPEG1WAVEFORMAT (format tag 0x0050) for Layer II frames of a fixed size (no padding):
// the block align is the frame size.
std::string MpegLayer2Format(int channels, int sampleRate, int bitrateKbps);

// One post timer: its usage name ("AUDs", "INTe" ...) and a sample frame count from the
// start of the audio.
struct TPostTimer {
    std::string Usage;
    uint32_t Frames = 0;
};

// The cart chunk, version "0101". Texts are UTF-8, cut to their fields; dates are
// "yyyy-mm-dd", times "hh:mm:ss".
struct TCart {
    std::string Title, Artist, CutId, ClientId, Category, Classification, OutCue;
    std::string StartDate, StartTime, EndDate, EndTime;
    std::string ProducerAppId, ProducerAppVersion, UserDef;
    int32_t LevelReference = 32768;
    std::vector<TPostTimer> Timers; // at most eight
    std::string Url;
    std::string TagText; // CR/LF lines
};
std::string CartPayload(const TCart& cart);

// The bext chunk, version 2 (loudness fields not set).
struct TBext {
    std::string Description, Originator, OriginatorReference;
    std::string OriginationDate, OriginationTime; // "yyyy-mm-dd", "hh:mm:ss"
    uint64_t TimeReference = 0;
    std::string CodingHistory; // CR/LF lines
};
std::string BextPayload(const TBext& bext);

} // namespace DemoRiff
