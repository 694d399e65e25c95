#pragma once

#include "FileIo.h"
#include "RiffLayout.h"
#include "WavTagReader.h"
#include "WavTags.h"

#include <optional>

namespace riffkit {

// Writes a WAV file's tags without moving the audio and without a state in which the file
// shows anything but the old or the new tags.
//
// New tag chunks are written while invisible: inside a free (JUNK) chunk, or past the last
// chunk behind a header whose ID is still zero. They are then made live by one 4-byte write
// that sets the size of the free chunk in front of them to 0, so the block always reads
// [JUNK 0][DISP][LIST INFO]. The old tag chunks are retired by one more 4-byte write: the
// size of that leading JUNK grown over them, or a single chunk's ID turned into "JUNK".
// Files whose old tags are scattered over several chunks are first rewritten with their old
// values into one such block, which later commits retire in a single write. Every step is
// synced before the next, and the file is parsed again at the end.
class TWavCommitter {
public:
    // Free space left behind tags appended at the end, so longer tags fit next time.
    static constexpr std::uint64_t AppendSlack = 256;

    // True when the file now reads back with exactly the target's values.
    static bool Commit(TFileIo& io, const TWavTags& target);

private:
    struct THandle {
        std::size_t Index = 0;    // the free chunk of size 0 in front of the tags
        std::uint32_t Cover = 0;  // its size once it swallows them
    };

    static std::optional<THandle> FindHandle(const TRiffLayout& layout,
                                             const TWavTagReader::TResult& current);
    static bool NeedsConsolidation(const TRiffLayout& layout,
                                   const TWavTagReader::TResult& current);
    static bool Step(TFileIo& io, const TRiffLayout& layout, const TWavTagReader::TResult& current,
                     const TWavTags& tags, bool oneByOne);
    static bool PlaceInFreeSpace(TFileIo& io, const TRiffLayout& layout, const std::string& body,
                                 std::size_t firstExcluded, std::size_t lastExcluded, bool& placed);
    static bool Append(TFileIo& io, const TRiffLayout& layout, const std::string& body);
    static bool Retire(TFileIo& io, const TRiffLayout& layout, const TWavTagReader::TResult& current,
                       bool oneByOne);
};

} // namespace riffkit
