#pragma once

#include "FileIo.h"
#include "RiffLayout.h"

#include <optional>

namespace riffkit {

// Walks the chunk headers of a RIFF/WAVE file without reading any payload but ds64's, and
// copes with the faults real files have: odd chunks with or without their pad byte, wrong
// RIFF sizes, truncated last chunks, streaming-style data sizes and trailing garbage.
class TRiffChunkWalker {
public:
    static constexpr std::size_t MaxChunks = 4096;

    // nullopt when the file does not start as RIFF/RF64/BW64 with form type WAVE.
    static std::optional<TRiffLayout> Walk(TFileIo& io);

    static bool IsValidId(const char* id);
};

} // namespace riffkit
