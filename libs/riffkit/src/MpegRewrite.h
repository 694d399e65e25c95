#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace riffkit {

// One part of a rewritten file: new bytes, or a byte range of the original file.
struct TMpegPiece {
    std::string Bytes;
    uint64_t SourceOffset = 0;
    uint64_t SourceLength = 0;
    bool FromSource = false;

    static TMpegPiece Data(std::string bytes) { return {std::move(bytes), 0, 0, false}; }
    static TMpegPiece Source(uint64_t offset, uint64_t length) {
        return {{}, offset, length, true};
    }
};

// Replaces the file at `path` (symbolic links followed) by the pieces, crash-safely: they
// are written to a temporary file in the same folder, which takes the original's mode and
// owner, is synced and then renamed over the original. On any failure the original is
// untouched, the temporary file is gone and the result is false.
bool RewriteMpegFile(const std::string& path, const std::vector<TMpegPiece>& pieces);

} // namespace riffkit
