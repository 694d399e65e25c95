#pragma once

#include "AudioFileInfo.h"

#include <sndfile.h>

#include <string>
#include <vector>

// A file opened for reading by libsndfile, through its virtual I/O when header fields must
// read differently (see THeaderPatch), else by path.
class TSndfileFile {
public:
    TSndfileFile() = default;
    ~TSndfileFile();
    TSndfileFile(const TSndfileFile&) = delete;
    TSndfileFile& operator=(const TSndfileFile&) = delete;

    // False with libsndfile's reason in error.
    bool Open(const std::string& path, const std::vector<THeaderPatch>& patches, SF_INFO& info,
              std::string& error);
    SNDFILE* Get() const { return File; }

    // What the virtual I/O callbacks see.
    struct TSource {
        int Fd = -1;
        int64_t Size = 0;
        int64_t Pos = 0;
        std::vector<THeaderPatch> Patches;
    };

private:
    SNDFILE* File = nullptr;
    TSource Source;
};
