// Any bytes through the WAV chunk walker and tag reader, then a commit of changed tags (with
// loudness in the bext when the input's size is odd) into the same bytes in memory: nothing
// may crash, and a stored commit must read back and keep the audio where and as it was.
#include "Loudness.h"
#include "MemoryFileIo.h"
#include "RiffChunkWalker.h"
#include "WavCommitter.h"
#include "WavTagReader.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace riffkit;
    TMemoryFileIo io(std::vector<std::uint8_t>(data, data + size));
    const auto layout = TRiffChunkWalker::Walk(io);
    if (!layout)
        return 0;
    auto tags = TWavTagReader::Read(io, *layout).Tags;
    std::string audio;
    std::uint64_t audioAt = 0;
    if (layout->DataIndex >= 0) {
        const auto& c = layout->Chunks[layout->DataIndex];
        audioAt = c.PayloadOffset();
        audio.assign(reinterpret_cast<const char*>(data) + std::min<std::uint64_t>(audioAt, size),
                     static_cast<std::size_t>(std::min<std::uint64_t>(
                         c.Size, size - std::min<std::uint64_t>(audioAt, size))));
    }
    tags.SetTitle(tags.Title + " \xE2\x80\x93 new");
    tags.Set("IART", "Caf\xC3\xA9");
    tags.Remove("ICMT");
    if (size & 1) {
        if (tags.Bext)
            (void)TBextLoudness::Read(*tags.Bext);
        tags.Bext = TBextLoudness::Written(tags.Bext, {-2345, 512, -105, std::nullopt, -1500});
    }
    if (TWavCommitter::Commit(io, tags)) {
        const auto after = TRiffChunkWalker::Walk(io);
        if (!after || !TWavTagReader::Read(io, *after).Tags.SameValues(tags))
            std::abort();
        const auto& bytes = io.Data();
        if (!audio.empty() && std::string(bytes.begin() + static_cast<std::ptrdiff_t>(audioAt),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(
                                                              audioAt + audio.size())) != audio)
            std::abort();
    }
    return 0;
}
