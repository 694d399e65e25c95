#include "WavCommitter.h"

#include "ByteOrder.h"
#include "RiffChunkWalker.h"
#include "TagError.h"
#include "TextCodec.h"
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

bool WriteJunkId(TFileIo& io, std::uint64_t offset) {
    return io.Write(offset, "JUNK", 4);
}

// The block of the tags in the file's one encoding: the CSET's code page, else the one
// chosen from the file's values.
// cartStandIn: an empty cart, so that the block shadows a cart the next block adds.
std::optional<std::string> BuildBlock(const TWavTagReader::TResult& current, const TWavTags& tags,
                                      bool cartStandIn = false, bool bextStandIn = false) {
    if (current.CodePage != 0)
        return TWavTagBlock::Build(tags, current.CodePage, true, true, false, cartStandIn,
                                   bextStandIn);
    return TWavTagBlock::Build(tags, TWavTagBlock::ChooseEncoding(current.Tags, tags), true, true,
                               true, cartStandIn, bextStandIn);
}

// The file's tags as this commit sees them: with the bext chunks among the tag chunks when
// it writes a bext, else without any bext (left where and as it is).
TWavTagReader::TResult Managed(TWavTagReader::TResult read, bool withBext) {
    if (withBext) {
        read.TagChunks.insert(read.TagChunks.end(), read.BextChunks.begin(), read.BextChunks.end());
    } else {
        read.Tags.Bext.reset();
        read.HasBextChunk = false;
    }
    return read;
}

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

std::optional<TWavCommitter::TPlacement>
TWavCommitter::FindPlacement(const TRiffLayout& layout, const TWavTagReader::TResult& current,
                             std::uint64_t size) {
    // The leading JUNK of the old block and the tags it will swallow are not free.
    std::size_t firstExcluded = 1, lastExcluded = 0;
    if (auto handle = FindHandle(layout, current)) {
        firstExcluded = handle->Index;
        lastExcluded = *std::max_element(current.TagChunks.begin(), current.TagChunks.end());
    }
    const auto& chunks = layout.Chunks;
    const auto usable = [&](std::size_t k) {
        return chunks[k].IsFree() && !chunks[k].Truncated &&
               !(k >= firstExcluded && k <= lastExcluded);
    };
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        // Grow the run of free chunks from i until the block fits, exactly or with room
        // for a JUNK header behind it.
        for (std::size_t j = i; j < chunks.size() && usable(j); ++j) {
            const std::uint64_t s = chunks[j].End() - chunks[i].PayloadOffset();
            if (s > 0xFFFFFFFFu)
                break;
            if (s == size || (s >= size + 8 && (s & 1) == 0))
                return TPlacement{false, i, j, s};
        }
    }
    // At the end: not into audio that runs to the end, nor past trailing bytes we would
    // have to overwrite (only NULs and a truncated JUNK chunk may be there).
    if (layout.DataRunsToEnd)
        return std::nullopt;
    for (const auto& c : chunks)
        if (c.Truncated && !(c.IsFree() && &c == &chunks.back()))
            return std::nullopt;
    return TPlacement{};
}

bool TWavCommitter::NeedsGathering(const TRiffLayout& layout, const TWavTagReader::TResult& current,
                                   const TPlacement& placement, const TWavTags& target) {
    const auto& tagChunks = current.TagChunks;
    if (tagChunks.empty())
        return false;
    const std::size_t first = *std::min_element(tagChunks.begin(), tagChunks.end());
    if (!placement.AtEnd && placement.First < first)
        return false; // the new block comes first and shadows every old chunk at once
    // Behind old tags: one write must retire them all, and until then they must shadow
    // every kind of chunk the new block has.
    const bool oneWrite = tagChunks.size() == 1 || FindHandle(layout, current);
    return !oneWrite || !current.Tags.HasTitle || !current.Tags.HasInfo ||
           (target.Cart && !current.HasCartChunk) || (target.Bext && !current.HasBextChunk);
}

bool TWavCommitter::Commit(TFileIo& io, const TWavTags& target) {
    auto layout = TRiffChunkWalker::Walk(io);
    if (!layout || !layout->StructureOk) {
        // Cannot vouch for the audio's place.
        TTagError::Set("the file's chunk structure is damaged: the file was not changed");
        return false;
    }
    auto read = TWavTagReader::Read(io, *layout);
    if (read.Tags.SameValues(target))
        return true;
    const bool withBext = read.Tags.Bext != target.Bext;
    if (withBext && read.OversizedBext) {
        TTagError::Set("the file's bext chunk is larger than 1 MB: the file was not changed");
        return false;
    }
    auto current = Managed(std::move(read), withBext);
    TWavTags written = target;
    if (!withBext)
        written.Bext.reset();
    const auto body = BuildBlock(current, written);
    if (!body) {
        TTagError::Set("a value cannot be stored in the file's character set (CSET), or the "
                       "tags are larger than 1 MB: the file was not changed");
        return false;
    }
    auto placement = FindPlacement(*layout, current, body->size());
    if (!placement) {
        TTagError::Set(layout->DataRunsToEnd
                           ? "the audio chunk runs to the end of the file: the file was not changed"
                           : "the file is cut short: the file was not changed");
        return false;
    }

    if (NeedsGathering(*layout, current, *placement, written)) {
        const TWavTags old = current.Tags;
        if (!Step(io, *layout, current, old, &written))
            return false;
        layout = TRiffChunkWalker::Walk(io);
        if (!layout || !layout->StructureOk)
            return false;
        current = Managed(TWavTagReader::Read(io, *layout), withBext);
        if (!current.Tags.SameValues(old))
            return false;
        placement = FindPlacement(*layout, current, body->size());
        if (!placement || NeedsGathering(*layout, current, *placement, written))
            return false;
    }
    if (!Step(io, *layout, current, written, nullptr)) {
        TTagError::Set("write error: the file keeps its old tags");
        return false;
    }

    auto after = TRiffChunkWalker::Walk(io);
    if (!after || !after->StructureOk)
        return false;
    return TWavTagReader::Read(io, *after).Tags.SameValues(target);
}

bool TWavCommitter::Step(TFileIo& io, const TRiffLayout& layout,
                         const TWavTagReader::TResult& current, const TWavTags& tags,
                         const TWavTags* gatherFor) {
    const bool gathering = gatherFor != nullptr;
    const auto body = BuildBlock(current, tags, gathering && gatherFor->Cart && !tags.Cart,
                                 gathering && gatherFor->Bext && !tags.Bext);
    if (!body)
        return false;
    const auto placement = FindPlacement(layout, current, body->size());
    if (!placement)
        return false;
    const bool written = placement->AtEnd ? Append(io, layout, *body)
                                          : WriteInFreeSpace(io, layout, *placement, *body);
    if (!written)
        return false;
    // Chunks behind a block that comes first are shadowed: their order no longer matters.
    const bool oneByOne = gathering || !NeedsGathering(layout, current, *placement, tags);
    return Retire(io, layout, current, oneByOne);
}

bool TWavCommitter::WriteInFreeSpace(TFileIo& io, const TRiffLayout& layout,
                                     const TPlacement& place, const std::string& body) {
    const auto& first = layout.Chunks[place.First];
    const std::uint64_t sizeField = first.Offset + 4;
    const std::uint64_t d = body.size();
    // Merge the run into one free chunk: its contents become ours to overwrite.
    if (place.Last > place.First &&
        !(Write32(io, sizeField, static_cast<std::uint32_t>(place.Space)) && io.Sync()))
        return false;
    std::string payload = body;
    if (place.Space > d)
        payload += JunkHeader(static_cast<std::uint32_t>(place.Space - d - 8));
    if (!(io.Write(first.PayloadOffset(), payload.data(), payload.size()) && io.Sync()))
        return false;
    // Live: the free chunk shrinks to nothing and the tags behind it appear.
    return Write32(io, sizeField, 0) && io.Sync();
}

bool TWavCommitter::Append(TFileIo& io, const TRiffLayout& layout, const std::string& body) {
    const std::uint64_t origSize = layout.FileSize;
    std::uint64_t at = layout.WalkEnd;
    if (!layout.Chunks.empty()) {
        const auto& last = layout.Chunks.back();
        if (last.Truncated)
            at = last.Offset; // a JUNK chunk an interrupted append left: ours to reuse
        else if ((last.Size & 1) && !last.Padded)
            at += 1;
    }
    if (origSize > layout.WalkEnd) {
        // Only NUL bytes may follow the last chunk; anything else is kept, so no append.
        if (origSize - layout.WalkEnd > MaxTrailingBytes) {
            TTagError::Set("data after the audio chunk: the file was not changed");
            return false;
        }
        std::string tail(static_cast<std::size_t>(origSize - layout.WalkEnd), '\0');
        if (!io.Read(layout.WalkEnd, tail.data(), tail.size()))
            return false;
        if (tail.find_first_not_of('\0') != std::string::npos) {
            TTagError::Set("data after the audio chunk: the file was not changed");
            return false;
        }
    }
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
    const std::uint64_t regionAt = std::min(at, layout.WalkEnd);
    const auto rollBack = [&] {
        // Best effort: nothing of the block is live yet, so this only tidies up.
        if (riffSizeChanged)
            io.Write(riffSizeAt, oldRiffSize, riffSizeLen);
        if (newEnd > origSize)
            io.Truncate(origSize);
        // What was NULs (or a cut-short JUNK) before the end becomes NULs again.
        if (origSize > regionAt) {
            const std::string zeros(static_cast<std::size_t>(origSize - regionAt), '\0');
            io.Write(regionAt, zeros.data(), zeros.size());
        }
        io.Sync();
        return false;
    };

    // 1. An empty JUNK chunk at the end (cut short by a crash, it is reused next time).
    std::string region(static_cast<std::size_t>(at - std::min(at, layout.WalkEnd)), '\0');
    region += JunkHeader(static_cast<std::uint32_t>(outer));
    region.append(static_cast<std::size_t>(outer), '\0');
    if (!(io.Write(regionAt, region.data(), region.size()) && io.Sync()))
        return rollBack();
    // 2. The block inside it, still invisible.
    std::string payload = body + JunkHeader(static_cast<std::uint32_t>(AppendSlack));
    if (!(io.Write(at + 8, payload.data(), payload.size()) && io.Sync()))
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
