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
// New tag chunks are written while invisible inside a free (JUNK) chunk, one found in the
// file or one appended at its end. They are made live by one 4-byte write that sets the
// size of that JUNK chunk to 0, so a block always reads [JUNK 0][DISP][LIST INFO], with both
// tag chunks even when empty, and the cart and bext chunks behind them when the file has them.
// The bext chunk joins the tag chunks only in a commit that changes it, so other saves leave it
// where it is. The old tag chunks are retired by one more 4-byte write: the leading JUNK's size
// grown over them, or a single chunk's ID turned into "JUNK". While both are live, the first of
// each kind counts; where that could show a mix of old and new, the old values are first
// gathered into such a block (every state on the way shows them), which the real commit then
// retires in one write. Every step is synced before the next, and the file is parsed again at
// the end.
class TWavCommitter {
public:
    // Free space left behind tags appended at the end, so longer tags fit next time.
    static constexpr std::uint64_t AppendSlack = 256;

    // True when the file now reads back with exactly the target's values.
    static bool Commit(TFileIo& io, const TWavTags& target);

private:
    struct THandle {
        std::size_t Index = 0;   // the free chunk of size 0 in front of the tags
        std::uint32_t Cover = 0; // its size once it swallows them
    };
    // Where a block goes: a run of free chunks First..Last, or the end of the file.
    struct TPlacement {
        bool AtEnd = true;
        std::size_t First = 0, Last = 0;
        std::uint64_t Space = 0; // payload bytes of the merged run
    };

    static std::optional<THandle> FindHandle(const TRiffLayout& layout,
                                             const TWavTagReader::TResult& current);
    static std::optional<TPlacement> FindPlacement(const TRiffLayout& layout,
                                                   const TWavTagReader::TResult& current,
                                                   std::uint64_t size);
    // Whether writing at the placement could show a mix of old and new tags.
    static bool NeedsGathering(const TRiffLayout& layout, const TWavTagReader::TResult& current,
                               const TPlacement& placement, const TWavTags& target);
    // gatherFor: the target when this step gathers the old values ahead of it.
    static bool Step(TFileIo& io, const TRiffLayout& layout, const TWavTagReader::TResult& current,
                     const TWavTags& tags, const TWavTags* gatherFor);
    static bool WriteInFreeSpace(TFileIo& io, const TRiffLayout& layout, const TPlacement& place,
                                 const std::string& body);
    static bool Append(TFileIo& io, const TRiffLayout& layout, const std::string& body);
    static bool Retire(TFileIo& io, const TRiffLayout& layout,
                       const TWavTagReader::TResult& current, bool oneByOne);
};

} // namespace riffkit
