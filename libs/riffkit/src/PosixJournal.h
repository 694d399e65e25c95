#pragma once

#include "Journal.h"
#include "PosixFileIo.h"

#include <cstdint>
#include <string>

namespace riffkit {

// The journal of one audio file on disk, named after the file's identity (file-system id
// and inode) so that a file renamed in its folder, or a disk back under another device
// number, still finds it with one lookup: ".cuemark-journal-FS-INODE" in the file's own
// folder, or, when that folder cannot be written, "journal-FS-INODE" in the user's state
// folder ($XDG_STATE_HOME/cuemark, else ~/.local/state/cuemark). Both are looked for.
//
// It is created with the audio file's group, readable by those who may write the file, so
// another writer can complete an interrupted save. An existing journal is used only when it
// is a regular file reached without a symbolic link, owned by the current user or by the
// audio file's owner, and writable by its owner alone; any other is left where it is.
class TPosixJournal : public TJournal {
public:
    // path: the audio file (symbolic links are followed); file: its facts.
    TPosixJournal(const std::string& path, const TPosixFileIo::TFacts& file);

    TFileIo* Create() override;
    TFileIo* OpenExisting(std::string& refusal) override;
    bool Writable() const override { return !ReadOnly; }
    TFileIo* TakeOver(const std::string& bytes) override;
    bool MakeDurable() override;
    bool Remove() override;
    std::string Name() const override;

private:
    bool CreateAt(const std::string& path);

    TPosixFileIo::TFacts File;
    std::string Beside;   // the journal's name in the file's folder
    std::string Fallback; // its name in the user's state folder ("" when there is none)
    std::string Current;  // the journal in use
    bool ReadOnly = false;
    TPosixFileIo Io;
};

} // namespace riffkit
