#pragma once

#include "FileIo.h"

namespace riffkit {

// Where a commit keeps its journal: a file beside the audio file (or, in a folder the user
// cannot write, in the user's state folder). A seam, so tests can fail or stop any write.
class TJournal {
public:
    virtual ~TJournal() = default;

    // A new, empty journal replacing any old one; nullptr on failure.
    virtual TFileIo* Create() = 0;
    // The existing journal; nullptr when there is none.
    virtual TFileIo* OpenExisting() = 0;
    // Makes the journal's contents and its name durable.
    virtual bool MakeDurable() = 0;
    virtual bool Remove() = 0;
};

} // namespace riffkit
