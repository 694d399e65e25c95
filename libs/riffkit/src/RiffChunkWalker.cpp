#include "RiffChunkWalker.h"

#include "ByteOrder.h"

#include <cstring>

namespace riffkit {

namespace {

bool ReadHeader(TFileIo& io, std::uint64_t offset, std::uint64_t fileSize, char* id,
                std::uint32_t& size) {
    if (offset + 8 > fileSize)
        return false;
    unsigned char h[8];
    if (!io.Read(offset, h, 8))
        return false;
    std::memcpy(id, h, 4);
    size = TByteOrder::Get32(h + 4);
    return true;
}

bool PlausibleHeaderAt(TFileIo& io, std::uint64_t offset, std::uint64_t fileSize) {
    char id[4];
    std::uint32_t size;
    return ReadHeader(io, offset, fileSize, id, size) && TRiffChunkWalker::IsValidId(id);
}

} // namespace

bool TRiffChunkWalker::IsValidId(const char* id) {
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(id[i]);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

std::optional<TRiffLayout> TRiffChunkWalker::Walk(TFileIo& io) {
    TRiffLayout layout;
    layout.FileSize = io.Size();
    unsigned char head[12];
    if (layout.FileSize < 12 || !io.Read(0, head, 12))
        return std::nullopt;
    if (std::memcmp(head + 8, "WAVE", 4) != 0)
        return std::nullopt;
    if (std::memcmp(head, "RIFF", 4) == 0)
        layout.Form = TRiffLayout::TForm::Riff;
    else if (std::memcmp(head, "RF64", 4) == 0)
        layout.Form = TRiffLayout::TForm::Rf64;
    else if (std::memcmp(head, "BW64", 4) == 0)
        layout.Form = TRiffLayout::TForm::Bw64;
    else
        return std::nullopt;
    layout.RiffSizeField = TByteOrder::Get32(head + 4);
    const bool is64 = layout.Form != TRiffLayout::TForm::Riff;
    std::uint64_t ds64DataSize = 0;
    bool haveDs64 = false;

    const std::uint64_t fileSize = layout.FileSize;
    std::uint64_t pos = 12;
    bool seenData = false;
    while (pos + 8 <= fileSize) {
        if (layout.Chunks.size() >= MaxChunks) {
            if (!seenData)
                layout.StructureOk = false;
            break;
        }
        TRiffLayout::TChunk chunk;
        std::uint32_t sizeField = 0;
        if (!ReadHeader(io, pos, fileSize, chunk.Id.data(), sizeField))
            break;
        if (!IsValidId(chunk.Id.data())) {
            if (!seenData)
                layout.StructureOk = false;
            break; // after the audio: trailing garbage
        }
        chunk.Offset = pos;
        chunk.Size = sizeField;
        const std::uint64_t payload = pos + 8;

        if (is64 && layout.Chunks.empty()) {
            // RF64/BW64 must open with ds64, which carries the 64-bit sizes.
            if (!chunk.Is("ds64") || sizeField < 24) {
                layout.StructureOk = false;
                break;
            }
            unsigned char ds[16];
            if (payload + 16 > fileSize || !io.Read(payload, ds, 16)) {
                layout.StructureOk = false;
                break;
            }
            layout.Ds64RiffSizeOffset = payload;
            ds64DataSize = TByteOrder::Get64(ds + 8);
            haveDs64 = true;
        }
        if (chunk.Is("data")) {
            if (is64 && haveDs64 && sizeField == 0xFFFFFFFFu) {
                chunk.Size = ds64DataSize;
            } else if (sizeField == 0xFFFFFFFFu || (sizeField == 0 && payload < fileSize &&
                                                    !PlausibleHeaderAt(io, payload, fileSize))) {
                // A writer that never finished: the audio runs to the end of the file.
                chunk.Size = fileSize - payload;
                layout.DataRunsToEnd = true;
            }
        }
        if (chunk.Is("LIST") && chunk.Size >= 4 && payload + 4 <= fileSize)
            io.Read(payload, chunk.ListType.data(), 4);

        const std::uint64_t payloadEnd = payload + chunk.Size;
        if (payloadEnd > fileSize) {
            chunk.Truncated = true;
            if (!seenData && !chunk.Is("data"))
                layout.StructureOk = false;
            layout.Chunks.push_back(chunk);
            if (chunk.Is("data")) {
                layout.DataIndex = static_cast<int>(layout.Chunks.size() - 1);
            }
            layout.WalkEnd = fileSize;
            return layout;
        }
        if (chunk.Size & 1) {
            // Odd size: a pad byte should follow, but many writers leave it out.
            if (payloadEnd == fileSize)
                chunk.Padded = false;
            else if (PlausibleHeaderAt(io, payloadEnd + 1, fileSize) || payloadEnd + 1 == fileSize)
                chunk.Padded = true;
            else
                chunk.Padded = !PlausibleHeaderAt(io, payloadEnd, fileSize);
        }
        layout.Chunks.push_back(chunk);
        if (chunk.Is("data") && !seenData) {
            seenData = true;
            layout.DataIndex = static_cast<int>(layout.Chunks.size() - 1);
        }
        pos = chunk.End();
        layout.WalkEnd = pos;
        if (layout.DataRunsToEnd)
            break;
    }
    if (!seenData && layout.WalkEnd < fileSize)
        layout.StructureOk = false;
    return layout;
}

} // namespace riffkit
