#pragma once

#include "FileIo.h"
#include "RiffLayout.h"
#include "WavTags.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace riffkit {

// Reads the tags of a walked WAV file: the first INFO list, the first text DISP chunk, the
// first cart and bext chunks and the CSET code page. Also names every chunk that carries
// tags, which a commit replaces, and apart from them the bext chunks, which a commit replaces
// only when the bext changes.
class TWavTagReader {
public:
    // Tag chunks larger than this are neither read nor touched.
    static constexpr std::uint64_t MaxTagChunk = 1 << 20;
    static constexpr std::uint32_t DispText = 1;

    struct TResult {
        TWavTags Tags;
        int CodePage = 0; // from CSET when it names one we know, else 0 (automatic)
        std::vector<std::size_t> TagChunks; // every INFO list, text DISP and cart chunk
        // A cart chunk counts, even an empty one (a commit's stand-in for "no cart yet").
        bool HasCartChunk = false;
        // Likewise a bext chunk; every one of them, and whether one is too large to manage.
        bool HasBextChunk = false;
        std::vector<std::size_t> BextChunks;
        bool OversizedBext = false;
    };

    static TResult Read(TFileIo& io, const TRiffLayout& layout);
};

} // namespace riffkit
