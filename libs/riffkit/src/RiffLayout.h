#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace riffkit {

// What a walk over a RIFF/WAVE (or RF64/BW64) file's chunk headers found.
struct TRiffLayout {
    enum class TForm { Riff, Rf64, Bw64 };

    struct TChunk {
        std::array<char, 4> Id{};
        std::uint64_t Offset = 0;       // of the 8-byte header
        std::uint64_t Size = 0;         // payload size (from ds64 where the header says 0xFFFFFFFF)
        std::array<char, 4> ListType{}; // for LIST chunks
        bool Padded = false;            // an odd size is followed by its pad byte
        bool Truncated = false;         // the payload runs past the end of the file

        std::uint64_t PayloadOffset() const { return Offset + 8; }
        // Where the next chunk starts.
        std::uint64_t End() const { return Offset + 8 + Size + (Padded ? 1 : 0); }
        bool Is(std::string_view id) const {
            return id.size() == 4 && std::string_view(Id.data(), 4) == id;
        }
        bool IsList(std::string_view type) const {
            return Is("LIST") && std::string_view(ListType.data(), 4) == type;
        }
        // Padding chunks whose contents mean nothing.
        bool IsFree() const { return Is("JUNK") || Is("junk") || Is("PAD ") || Is("FLLR"); }
    };

    TForm Form = TForm::Riff;
    std::uint64_t FileSize = 0;
    std::uint32_t RiffSizeField = 0;
    // RF64/BW64: where the ds64 chunk's 64-bit RIFF size lives (0 when absent).
    std::uint64_t Ds64RiffSizeOffset = 0;
    std::vector<TChunk> Chunks;
    int DataIndex = -1;
    // Where the walk stopped: the end of the last chunk it accounted for.
    std::uint64_t WalkEnd = 12;
    // Every byte up to the data chunk (or the end, without one) belongs to a chunk.
    bool StructureOk = true;
    // The data chunk's size is 0 or 0xFFFFFFFF and taken to run to the end of the file.
    bool DataRunsToEnd = false;
};

} // namespace riffkit
