#pragma once

// Helpers shared by the WAV tests: read a file back through the engine and fingerprint the
// parts a save must never change.
#include "MemoryFileIo.h"
#include "RiffChunkWalker.h"
#include "WavTagReader.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

namespace WavTestFiles {

inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline riffkit::TMemoryFileIo Io(const std::string& bytes) {
    return riffkit::TMemoryFileIo(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

inline std::optional<riffkit::TRiffLayout> Layout(const std::string& bytes) {
    auto io = Io(bytes);
    return riffkit::TRiffChunkWalker::Walk(io);
}

// The bytes of every chunk that is not a tag (the cart included), free space or the RIFF
// header, in file order; the bext too, for a save that changes it.
// A save must keep this exactly.
inline std::string Untouchable(const std::string& bytes, bool bextIsTag = false) {
    auto io = Io(bytes);
    auto layout = riffkit::TRiffChunkWalker::Walk(io);
    if (!layout)
        return "<not riff>";
    std::string out;
    for (const auto& c : layout->Chunks) {
        if (c.IsFree() || c.IsList("INFO") || c.Is("DISP") || c.Is("cart") || c.Is("ds64") ||
            (bextIsTag && c.Is("bext")))
            continue;
        out += std::string(c.Id.data(), 4) + ":" + bytes.substr(c.PayloadOffset(), c.Size) + "|";
    }
    return out;
}

inline std::string DataPayload(const std::string& bytes) {
    auto layout = Layout(bytes);
    if (!layout || layout->DataIndex < 0)
        return "<no data>";
    const auto& c = layout->Chunks[layout->DataIndex];
    return bytes.substr(c.PayloadOffset(), c.Size);
}

inline riffkit::TWavTags Tags(const std::string& bytes) {
    auto io = Io(bytes);
    auto layout = riffkit::TRiffChunkWalker::Walk(io);
    if (!layout)
        return {};
    return riffkit::TWavTagReader::Read(io, *layout).Tags;
}

} // namespace WavTestFiles
