// Fuzzes the playback library's open-and-measure path: recognising a file by its content,
// its format texts and its length, as every row of a folder list does; then the start of
// playback on SDL's dummy driver (decoder, seek and the first buffer decoded).
#include "sonara.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One scratch file per process, removed when the fuzzer exits.
    static const struct TScratch {
        std::string Path = "/tmp/fuzz-sonara-" + std::to_string(getpid()) + ".bin";
        ~TScratch() { std::remove(Path.c_str()); }
    } scratch;
    static const bool quiet = setenv("SDL_AUDIODRIVER", "dummy", 1) == 0;
    (void)quiet;
    const std::string& path = scratch.Path;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    char a[128], b[128];
    SN_GetWaveFileFormat(path.c_str(), a, sizeof a, b, sizeof b);
    SN_PlayGetLengthMsFile(path.c_str());
    // As the folder list asks: on its own descriptor, with a head of some of the bytes.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        uint32_t ms = 0;
        const size_t head = size > 2 ? data[size - 3] * size / 255 : size;
        SN_GetOpenFileFormatAndLength(fd, size, data, static_cast<int32_t>(head), a, sizeof a, b,
                                      sizeof b, &ms);
        close(fd);
    }
    const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
    if (handle) {
        // The last bytes pick the decoder preference and a start inside the first seconds.
        SN_ForceCodec(handle, size > 0 ? data[size - 1] & 1 : 0);
        const uint32_t startMs = size > 1 ? data[size - 2] * 20u : 0;
        SN_PlayStartXY(handle, startMs, 0);
        SN_PlayStop(handle);
    }
    return 0;
}
