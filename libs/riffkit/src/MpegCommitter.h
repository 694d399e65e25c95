#pragma once

#include "FileIo.h"
#include "Journal.h"
#include "MpegEdit.h"

#include <cstdint>

namespace riffkit {

// Who a file is (device and inode), written into a journal and checked when replaying;
// zeros match any file.
struct TFileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
};

// Applies an edit to an MPEG file in place, crash-safely, through a redo journal.
//
// The whole edit (new bytes, and the move of the audio when the tag grows) is written to
// the journal and made durable before the file is touched; from then on the edit can be
// completed from the journal alone. The audio moves from its end backwards in steps; each
// step's source bytes go to one of two journal slots (made durable) before they are written
// to their new place, so a step cut short is redone from its slot and the steps below it
// still find their source intact. Replaying is idempotent. The journal is removed once the
// file is synced. A journal that is incomplete, damaged or meant for another file is
// discarded: the file was not touched while it was being written.
class TMpegCommitter {
public:
    using TIdentity = TFileIdentity;

    // Largest move step: the memory a growth holds at once. Tests pass smaller steps.
    static constexpr std::uint64_t StepSize = 4u << 20;

    // True when the file now holds the edit; a failure before the journal is durable
    // leaves the file untouched, one after it leaves the journal for Recover.
    static bool Commit(TFileIo& file, TJournal& journal, const TMpegEdit& edit,
                       TIdentity identity = {}, std::uint64_t stepSize = StepSize);

    enum class TRecovery { None, Replayed, Discarded, Failed };
    // Completes an edit left by an interrupted commit, or discards a journal that never
    // became valid.
    static TRecovery Recover(TFileIo& file, TJournal& journal, TIdentity identity = {});
};

} // namespace riffkit
