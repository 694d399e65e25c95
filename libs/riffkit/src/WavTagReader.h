#pragma once

#include "FileIo.h"
#include "RiffLayout.h"
#include "WavTags.h"

#include <cstddef>
#include <vector>

namespace riffkit {

// Reads the tags of a walked WAV file: the first INFO list, the first text DISP chunk and
// the CSET code page. Also names every chunk that carries tags, which a commit replaces.
class TWavTagReader {
public:
    // Tag chunks larger than this are neither read nor touched.
    static constexpr std::uint64_t MaxTagChunk = 1 << 20;
    static constexpr std::uint32_t DispText = 1;

    struct TResult {
        TWavTags Tags;
        int CodePage = 0; // from CSET when it names one we know, else 0 (automatic)
        std::vector<std::size_t> TagChunks; // indices of every INFO list and text DISP chunk
    };

    static TResult Read(TFileIo& io, const TRiffLayout& layout);
};

} // namespace riffkit
