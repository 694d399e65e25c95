#include "DemoRiff.h"

#include <algorithm>

namespace DemoRiff {

namespace {

// A text field of fixed size: cut on a UTF-8 character boundary, NUL-padded.
std::string Field(const std::string& text, size_t size) {
    size_t length = std::min(text.size(), size);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    std::string out = text.substr(0, length);
    out.resize(size, '\0');
    return out;
}

constexpr uint16_t NotSet = 0x7FFF; // a bext loudness value that was not measured

} // namespace

std::string Le16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string Le32(uint32_t v) {
    return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

std::string Chunk(const char* id, const std::string& payload) {
    std::string out = std::string(id, 4) + Le32(static_cast<uint32_t>(payload.size())) + payload;
    if (payload.size() % 2 != 0)
        out += '\0';
    return out;
}

std::string Wave(const std::vector<std::string>& chunks) {
    std::string body = "WAVE";
    for (const std::string& chunk : chunks)
        body += chunk;
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

std::string PcmFormat(int channels, int sampleRate) {
    const auto blockAlign = static_cast<uint16_t>(channels * 2);
    return Le16(1) + Le16(static_cast<uint16_t>(channels)) +
           Le32(static_cast<uint32_t>(sampleRate)) +
           Le32(static_cast<uint32_t>(sampleRate) * blockAlign) + Le16(blockAlign) + Le16(16);
}

std::string MpegLayer2Format(int channels, int sampleRate, int bitrateKbps) {
    const uint32_t bitrate = static_cast<uint32_t>(bitrateKbps) * 1000;
    const auto frameSize = static_cast<uint16_t>(144 * bitrate / static_cast<uint32_t>(sampleRate));
    std::string out = Le16(0x0050) + Le16(static_cast<uint16_t>(channels)) +
                      Le32(static_cast<uint32_t>(sampleRate)) + Le32(bitrate / 8) +
                      Le16(frameSize) + Le16(0) + Le16(22);
    out += Le16(2);                     // fwHeadLayer: Layer II
    out += Le32(bitrate);               // dwHeadBitrate
    out += Le16(channels == 1 ? 8 : 1); // fwHeadMode: single channel or stereo
    out += Le16(channels == 1 ? 1 : 0); // fwHeadModeExt
    out += Le16(1);                     // wHeadEmphasis: none
    out += Le16(0x10);                  // fwHeadFlags: MPEG-1
    out += Le32(0) + Le32(0);           // dwPTSLow, dwPTSHigh
    return out;
}

std::string CartPayload(const TCart& cart) {
    std::string out = "0101";
    for (const std::string* text : {&cart.Title, &cart.Artist, &cart.CutId, &cart.ClientId,
                                    &cart.Category, &cart.Classification, &cart.OutCue})
        out += Field(*text, 64);
    out += Field(cart.StartDate, 10) + Field(cart.StartTime, 8);
    out += Field(cart.EndDate, 10) + Field(cart.EndTime, 8);
    out += Field(cart.ProducerAppId, 64) + Field(cart.ProducerAppVersion, 64);
    out += Field(cart.UserDef, 64);
    out += Le32(static_cast<uint32_t>(cart.LevelReference));
    for (size_t i = 0; i < 8; ++i) {
        if (i < cart.Timers.size())
            out += Field(cart.Timers[i].Usage, 4) + Le32(cart.Timers[i].Frames);
        else
            out += std::string(8, '\0');
    }
    out += std::string(276, '\0'); // Reserved
    out += Field(cart.Url, 1024);
    out += cart.TagText;
    return out;
}

std::string BextPayload(const TBext& bext) {
    std::string out = Field(bext.Description, 256) + Field(bext.Originator, 32) +
                      Field(bext.OriginatorReference, 32) + Field(bext.OriginationDate, 10) +
                      Field(bext.OriginationTime, 8);
    out += Le32(static_cast<uint32_t>(bext.TimeReference & 0xFFFFFFFFu));
    out += Le32(static_cast<uint32_t>(bext.TimeReference >> 32));
    out += Le16(2);               // Version
    out += std::string(64, '\0'); // UMID
    for (int i = 0; i < 5; ++i)   // loudness value, range, true peak, momentary, short term
        out += Le16(NotSet);
    out += std::string(180, '\0'); // Reserved
    out += bext.CodingHistory;
    return out;
}

} // namespace DemoRiff
