#pragma once

#include "Journal.h"
#include "PosixFileIo.h"

#include <cstdint>
#include <string>

namespace riffkit {

// The journal of one audio file on disk: ".NAME.cuemark-journal" in the file's own folder,
// or, when that folder cannot be written, "journal-DEV-INODE" in the user's state folder
// ($XDG_STATE_HOME/cuemark, else ~/.local/state/cuemark). An existing journal is looked for
// in both places.
class TPosixJournal : public TJournal {
public:
    // path: the audio file (symbolic links are followed); device and inode: its identity.
    TPosixJournal(const std::string& path, std::uint64_t device, std::uint64_t inode);

    TFileIo* Create() override;
    TFileIo* OpenExisting() override;
    bool MakeDurable() override;
    bool Remove() override;

private:
    std::string Beside;   // the journal's name in the file's folder
    std::string Fallback; // its name in the user's state folder ("" when there is none)
    std::string Current;  // the journal in use
    TPosixFileIo Io;
};

} // namespace riffkit
