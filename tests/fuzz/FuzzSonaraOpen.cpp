// Fuzzes the playback library's open-and-measure path: recognising a file by its content,
// its format texts and its length, as every row of a folder list does.
#include "sonara.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One scratch file per process, removed when the fuzzer exits.
    static const struct TScratch {
        std::string Path = "/tmp/fuzz-sonara-" + std::to_string(getpid()) + ".bin";
        ~TScratch() { std::remove(Path.c_str()); }
    } scratch;
    const std::string& path = scratch.Path;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    char a[128], b[128];
    SN_GetWaveFileFormat(path.c_str(), a, sizeof a, b, sizeof b);
    SN_PlayGetLengthMsFile(path.c_str());
    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    if (handle)
        SN_FreeHandlePlay(handle);
    return 0;
}
