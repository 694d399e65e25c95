#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace riffkit {

// What a save does to an MPEG file: optionally move the audio towards the end (only when a
// grown ID3v2 tag no longer fits), then write new bytes at given offsets.
struct TMpegEdit {
    struct TRegion {
        std::uint64_t Offset = 0;
        std::string Bytes;
    };
    std::uint64_t OldSize = 0;
    std::uint64_t FinalSize = 0;
    // Bytes [MoveFrom, MoveFrom + MoveLength) go Delta bytes further on; Delta 0: no move.
    std::uint64_t MoveFrom = 0;
    std::uint64_t MoveLength = 0;
    std::uint64_t Delta = 0;
    std::vector<TRegion> Regions; // offsets in the file after the move
};

} // namespace riffkit
