#pragma once

#include "AudioFileInfo.h"

#include <sndfile.h>

#include <string>
#include <vector>

// A file opened for reading by libsndfile through its virtual I/O on a descriptor of our own:
// opened without blocking and refused unless it is a regular file (libsndfile would wait on a
// FIFO forever), with header fields read differently where a patch says so (THeaderPatch).
class TSndfileFile {
public:
    TSndfileFile() = default;
    ~TSndfileFile();
    TSndfileFile(const TSndfileFile&) = delete;
    TSndfileFile& operator=(const TSndfileFile&) = delete;

    // False with libsndfile's reason in error.
    bool Open(const std::string& path, const std::vector<THeaderPatch>& patches, SF_INFO& info,
              std::string& error);
    // The same on a descriptor the caller keeps open (and closes) itself.
    bool OpenBorrowed(int fd, uint64_t size, const std::vector<THeaderPatch>& patches,
                      SF_INFO& info, std::string& error);
    SNDFILE* Get() const { return File; }

    // What the virtual I/O callbacks see.
    struct TSource {
        int Fd = -1;
        bool OwnsFd = false;
        int64_t Size = 0;
        int64_t Pos = 0;
        std::vector<THeaderPatch> Patches;
    };

private:
    SNDFILE* File = nullptr;
    TSource Source;
};
