#include "WavCommitter.h"

#include "ByteOrder.h"
#include "RiffChunkWalker.h"
#include "WavTagBlock.h"

#include <algorithm>

namespace riffkit {

namespace {

constexpr std::uint64_t MaxTrailingBytes = 1 << 20;

bool Write32(TFileIo& io, std::uint64_t offset, std::uint32_t value) {
    unsigned char b[4];
    TByteOrder::Put32(b, value);
    return io.Write(offset, b, 4);
}

bool WriteJunkId(TFileIo& io, std::uint64_t offset) { return io.Write(offset, "JUNK", 4); }

std::string JunkHeader(std::uint32_t size) {
    std::string h = "JUNK";
    TByteOrder::Append32(h, size);
    return h;
}

} // namespace

std::optional<TWavCommitter::THandle>
TWavCommitter::FindHandle(const TRiffLayout& layout, const TWavTagReader::TResult& current) {
    const auto& tagChunks = current.TagChunks;
    if (tagChunks.empty())
        return std::nullopt;
    const std::size_t lo = *std::min_element(tagChunks.begin(), tagChunks.end());
    const std::size_t hi = *std::max_element(tagChunks.begin(), tagChunks.end());
    std::optional<std::size_t> lead;
    for (std::size_t j = lo; j-- > 0 && layout.Chunks[j].IsFree();) {
        if (layout.Chunks[j].Size == 0) {
            lead = j;
            break;
        }
    }
    if (!lead)
        return std::nullopt;
    for (std::size_t k = *lead + 1; k <= hi; ++k) {
        const auto& c = layout.Chunks[k];
        const bool isTag = std::find(tagChunks.begin(), tagChunks.end(), k) != tagChunks.end();
        if ((!isTag && !c.IsFree()) || c.Truncated)
            return std::nullopt;
    }
    const std::uint64_t cover = layout.Chunks[hi].End() - layout.Chunks[*lead].PayloadOffset();
    if ((cover & 1) || cover > 0xFFFFFFFFu)
        return std::nullopt;
    return THandle{*lead, static_cast<std::uint32_t>(cover)};
}

bool TWavCommitter::NeedsConsolidation(const TRiffLayout& layout,
                                       const TWavTagReader::TResult& current) {
    return current.TagChunks.size() > 1 && !FindHandle(layout, current);
}

bool TWavCommitter::Commit(TFileIo& io, const TWavTags& target) {
    auto layout = TRiffChunkWalker::Walk(io);
    if (!layout || !layout->StructureOk)
        return false; // cannot vouch for the audio's place
    auto current = TWavTagReader::Read(io, *layout);
    if (current.Tags.SameValues(target))
        return true;
    if (!TWavTagBlock::Build(target, current.CodePage, true, true))
        return false; // a text the file's code page cannot hold

    if (NeedsConsolidation(*layout, current)) {
        // Gather the old values into one block first; every state on the way shows them.
        const TWavTags old = current.Tags;
        if (!Step(io, *layout, current, old, true))
            return false;
        layout = TRiffChunkWalker::Walk(io);
        if (!layout || !layout->StructureOk)
            return false;
        current = TWavTagReader::Read(io, *layout);
        if (!current.Tags.SameValues(old) || NeedsConsolidation(*layout, current))
            return false;
    }
    if (!Step(io, *layout, current, target, false))
        return false;

    auto after = TRiffChunkWalker::Walk(io);
    if (!after || !after->StructureOk)
        return false;
    return TWavTagReader::Read(io, *after).Tags.SameValues(target);
}

bool TWavCommitter::Step(TFileIo& io, const TRiffLayout& layout,
                         const TWavTagReader::TResult& current, const TWavTags& tags,
                         bool oneByOne) {
    // The new block carries every kind of chunk the old tags have, so that once live it
    // shadows them all, wherever they are.
    const auto body = TWavTagBlock::Build(tags, current.CodePage, current.Tags.HasTitle,
                                          current.Tags.HasInfo);
    if (!body)
        return false;
    if (body->empty())
        return Retire(io, layout, current, oneByOne);

    std::size_t firstExcluded = 1, lastExcluded = 0; // empty range
    if (auto handle = FindHandle(layout, current)) {
        firstExcluded = handle->Index;
        lastExcluded = *std::max_element(current.TagChunks.begin(), current.TagChunks.end());
    }
    bool placed = false;
    if (!PlaceInFreeSpace(io, layout, *body, firstExcluded, lastExcluded, placed))
        return false;
    if (!placed && !Append(io, layout, *body))
        return false;
    return Retire(io, layout, current, oneByOne);
}

bool TWavCommitter::PlaceInFreeSpace(TFileIo& io, const TRiffLayout& layout,
                                     const std::string& body, std::size_t firstExcluded,
                                     std::size_t lastExcluded, bool& placed) {
    const std::uint64_t d = body.size();
    const auto& chunks = layout.Chunks;
    const auto excluded = [&](std::size_t k) { return k >= firstExcluded && k <= lastExcluded; };
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (!chunks[i].IsFree() || chunks[i].Truncated || excluded(i))
            continue;
        // Grow the run of free chunks from i until the block fits.
        for (std::size_t j = i; j < chunks.size(); ++j) {
            if (!chunks[j].IsFree() || chunks[j].Truncated || excluded(j))
                break;
            const std::uint64_t s = chunks[j].End() - chunks[i].PayloadOffset();
            if (s > 0xFFFFFFFFu)
                break;
            if (!(s == d || (s >= d + 8 && (s & 1) == 0)))
                continue;
            const std::uint64_t sizeField = chunks[i].Offset + 4;
            // Merge the run into one free chunk: its contents become ours to overwrite.
            if (j > i && !(Write32(io, sizeField, static_cast<std::uint32_t>(s)) && io.Sync()))
                return false;
            std::string payload = body;
            if (s > d)
                payload += JunkHeader(static_cast<std::uint32_t>(s - d - 8));
            if (!(io.Write(chunks[i].PayloadOffset(), payload.data(), payload.size()) && io.Sync()))
                return false;
            // Live: the free chunk shrinks to nothing and the tags behind it appear.
            if (!(Write32(io, sizeField, 0) && io.Sync()))
                return false;
            placed = true;
            return true;
        }
    }
    return true;
}

bool TWavCommitter::Append(TFileIo& io, const TRiffLayout& layout, const std::string& body) {
    if (layout.DataRunsToEnd)
        return false; // past the end is audio
    for (const auto& c : layout.Chunks)
        if (c.Truncated)
            return false;
    const std::uint64_t origSize = layout.FileSize;
    const std::uint64_t walkEnd = layout.WalkEnd;
    if (origSize > walkEnd) {
        // Only NUL bytes may follow the last chunk; anything else is kept, so no append.
        if (origSize - walkEnd > MaxTrailingBytes)
            return false;
        std::string tail(static_cast<std::size_t>(origSize - walkEnd), '\0');
        if (!io.Read(walkEnd, tail.data(), tail.size()))
            return false;
        if (tail.find_first_not_of('\0') != std::string::npos)
            return false;
    }
    const std::uint64_t at = walkEnd + (walkEnd & 1);
    const std::uint64_t outer = body.size() + 8 + AppendSlack;
    const std::uint64_t newEnd = at + 8 + outer;
    const bool is64 = layout.Form != TRiffLayout::TForm::Riff;
    if (is64 ? layout.Ds64RiffSizeOffset == 0 : newEnd - 8 > 0xFFFFFFFFu)
        return false;

    unsigned char oldRiffSize[8] = {};
    const std::uint64_t riffSizeAt = is64 ? layout.Ds64RiffSizeOffset : 4;
    const std::size_t riffSizeLen = is64 ? 8 : 4;
    if (!io.Read(riffSizeAt, oldRiffSize, riffSizeLen))
        return false;
    bool riffSizeChanged = false;
    const auto rollBack = [&] {
        // Best effort: nothing of the block is live yet, so this only tidies up.
        if (riffSizeChanged)
            io.Write(riffSizeAt, oldRiffSize, riffSizeLen);
        if (newEnd > origSize)
            io.Truncate(origSize);
        if (origSize > walkEnd) {
            const std::string zeros(static_cast<std::size_t>(origSize - walkEnd), '\0');
            io.Write(walkEnd, zeros.data(), zeros.size());
        }
        io.Sync();
        return false;
    };

    // 1. The block behind a header of zeros: the walk stops there, so nothing shows.
    std::string region(static_cast<std::size_t>(at - walkEnd) + 8, '\0');
    region += body;
    region += JunkHeader(static_cast<std::uint32_t>(AppendSlack));
    region.append(AppendSlack, '\0');
    if (!(io.Write(walkEnd, region.data(), region.size()) && io.Sync()))
        return rollBack();
    // 2. A JUNK header over it: size first, while the ID is still zero.
    if (!(Write32(io, at + 4, static_cast<std::uint32_t>(outer)) && io.Sync()))
        return rollBack();
    if (!(WriteJunkId(io, at) && io.Sync()))
        return rollBack();
    // 3. The RIFF size covers the new end.
    unsigned char riffSize[8];
    TByteOrder::Put64(riffSize, newEnd - 8);
    riffSizeChanged = true;
    if (!(io.Write(riffSizeAt, riffSize, riffSizeLen) && io.Sync()))
        return rollBack();
    // 4. Live.
    if (!(Write32(io, at + 4, 0) && io.Sync()))
        return rollBack();
    return true;
}

bool TWavCommitter::Retire(TFileIo& io, const TRiffLayout& layout,
                           const TWavTagReader::TResult& current, bool oneByOne) {
    const auto& tagChunks = current.TagChunks;
    if (tagChunks.empty())
        return true;
    if (tagChunks.size() == 1)
        return WriteJunkId(io, layout.Chunks[tagChunks[0]].Offset) && io.Sync();
    if (auto handle = FindHandle(layout, current))
        return Write32(io, layout.Chunks[handle->Index].Offset + 4, handle->Cover) && io.Sync();
    if (!oneByOne)
        return false;
    // Last first: each retired chunk is still shadowed by an earlier one with the same values.
    std::vector<std::size_t> order(tagChunks.begin(), tagChunks.end());
    std::sort(order.rbegin(), order.rend());
    for (std::size_t k : order)
        if (!(WriteJunkId(io, layout.Chunks[k].Offset) && io.Sync()))
            return false;
    return true;
}

} // namespace riffkit
