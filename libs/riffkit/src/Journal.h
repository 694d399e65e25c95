#pragma once

#include "FileIo.h"

#include <string>

namespace riffkit {

// Where a commit keeps its journal: a file beside the audio file (or, in a folder the user
// cannot write, in the user's state folder). A seam, so tests can fail or stop any write.
class TJournal {
public:
    virtual ~TJournal() = default;

    // A new, empty journal; nullptr on failure (errno tells why).
    virtual TFileIo* Create() = 0;
    // The existing journal when it may be replayed; nullptr when there is none, or, with
    // `refusal` set, when there is one that must not be used or removed by us (another
    // user's, unreadable, or not trustworthy): the file's saves are then refused.
    virtual TFileIo* OpenExisting(std::string& refusal) = 0;
    // False when the journal opened by OpenExisting can be read but not written.
    virtual bool Writable() const { return true; }
    // Replaces the opened journal by one of ours holding `bytes`, so that a replay can
    // write its move slots; nullptr when that is not possible.
    virtual TFileIo* TakeOver(const std::string& bytes) {
        (void)bytes;
        return nullptr;
    }
    // Makes the journal's contents and its name durable.
    virtual bool MakeDurable() = 0;
    virtual bool Remove() = 0;
    // How reasons name the journal.
    virtual std::string Name() const { return "the save journal"; }
};

} // namespace riffkit
