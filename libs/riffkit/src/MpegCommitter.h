#pragma once

#include "FileIo.h"
#include "Journal.h"
#include "MpegEdit.h"

#include <cstdint>

namespace riffkit {

// Who a file is (file-system id and inode), written into a journal; a journal is replayed
// only on the file with exactly this identity.
struct TFileIdentity {
    std::uint64_t FileSystem = 0;
    std::uint64_t Inode = 0;
};

// Applies an edit to an MPEG file in place, crash-safely, through a redo journal.
//
// The journal holds the edit (new bytes, and the move of the audio when the tag grows) and
// checksums of every region the save writes, before and after: each move step's target and
// each new-bytes region. It is made durable, and the space the file grows into is reserved,
// before the file is touched. The audio moves from its end backwards in steps; each step's
// source bytes go to one of two journal slots (made durable) before they are written to
// their new place, so a step cut short is redone from its slot.
//
// A journal is evidence, not an order: it is replayed only when the file is exactly at one
// of the save's step boundaries (the steps before fully new, the steps after fully old,
// the step in between redone from verified bytes). A file back in its old state drops the
// journal; a file in any other state is left alone with its journal and saves are refused.
class TMpegCommitter {
public:
    using TIdentity = TFileIdentity;

    // Largest move step: the memory a growth holds at once. Tests pass smaller steps.
    static constexpr std::uint64_t StepSize = 4u << 20;

    // True when the file now holds the edit; a failure before the first write to the
    // file leaves it byte-identical, one after it leaves the journal for Recover.
    static bool Commit(TFileIo& file, TJournal& journal, const TMpegEdit& edit,
                       TIdentity identity = {}, std::uint64_t stepSize = StepSize);

    // None: no journal. Replayed: the edit was completed. Discarded: the journal was
    // dropped (never complete, or the file is in its old state). Refused: a journal is
    // there that cannot be used on this file as it is; the reason is set and the journal
    // kept. Failed: the replay could not write; the journal is kept.
    enum class TRecovery { None, Replayed, Discarded, Refused, Failed };
    static TRecovery Recover(TFileIo& file, TJournal& journal, TIdentity identity = {});
};

} // namespace riffkit
