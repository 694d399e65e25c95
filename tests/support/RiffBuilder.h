#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Builds raw RIFF files byte by byte, including the malformed ones real tools leave
// behind: odd chunks without pad bytes, wrong sizes, truncation, trailing garbage.
class TRiffBuilder {
public:
    explicit TRiffBuilder(std::string form = "RIFF", std::string type = "WAVE")
        : Form(std::move(form)), Type(std::move(type)) {}

    // A chunk with the payload's size; pad adds the byte after an odd payload.
    TRiffBuilder& Chunk(const std::string& id, const std::string& payload, bool pad = true);
    // A chunk whose size field says sizeField whatever the payload's length.
    TRiffBuilder& ChunkWithSize(const std::string& id, std::uint32_t sizeField,
                                const std::string& payload);
    TRiffBuilder& Raw(const std::string& bytes);
    // Overrides the RIFF size field (by default it covers everything written).
    TRiffBuilder& RiffSize(std::uint32_t size);

    std::string Build() const;
    bool WriteTo(const std::string& path) const;

    // Common payloads.
    static std::string Fmt(int channels = 2, int sampleRate = 44100, int bits = 16);
    static std::string Info(const std::vector<std::pair<std::string, std::string>>& items);
    static std::string Disp(const std::string& text, std::uint32_t type = 1);
    // Deterministic pseudo-random bytes standing in for audio.
    static std::string Audio(std::size_t size, std::uint32_t seed = 1);
    static std::string Le32(std::uint32_t v);
    static std::string Le64(std::uint64_t v);

private:
    std::string Form;
    std::string Type;
    std::string Body;
    bool HasRiffSize = false;
    std::uint32_t RiffSizeValue = 0;
};
