#include "WavTagReader.h"

#include "ByteOrder.h"
#include "TextCodec.h"

#include <algorithm>

namespace riffkit {

namespace {

// The readable part of a chunk's payload (a truncated chunk gives what the file holds).
bool ReadPayload(TFileIo& io, const TRiffLayout& layout, const TRiffLayout::TChunk& chunk,
                 std::string& out) {
    const std::uint64_t start = chunk.PayloadOffset();
    const std::uint64_t avail = start < layout.FileSize ? layout.FileSize - start : 0;
    const std::uint64_t n = std::min(chunk.Size, avail);
    out.assign(static_cast<std::size_t>(n), '\0');
    return n == 0 || io.Read(start, out.data(), out.size());
}

std::string CutAtNul(std::string_view s) {
    const std::size_t nul = s.find('\0');
    return std::string(nul == std::string_view::npos ? s : s.substr(0, nul));
}

void ParseInfo(std::string_view payload, int codePage, TWavTags& tags) {
    std::size_t pos = 4; // after "INFO"
    while (pos + 8 <= payload.size()) {
        const std::string key(payload.substr(pos, 4));
        const auto* sz = reinterpret_cast<const unsigned char*>(payload.data() + pos + 4);
        const std::uint64_t size = TByteOrder::Get32(sz);
        pos += 8;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, payload.size() - pos));
        std::string raw = CutAtNul(payload.substr(pos, n));
        std::string text = TTextCodec::Decode(raw, codePage);
        tags.Items.push_back({key, std::move(text), std::move(raw)});
        pos += n + (size & 1);
    }
}

} // namespace

TWavTagReader::TResult TWavTagReader::Read(TFileIo& io, const TRiffLayout& layout) {
    TResult result;
    // The code page comes first, since it decides how every text reads.
    for (const auto& chunk : layout.Chunks) {
        if (chunk.Is("CSET") && chunk.Size >= 2 && !chunk.Truncated) {
            unsigned char cp[4] = {};
            if (io.Read(chunk.PayloadOffset(), cp, 2)) {
                const int codePage = cp[0] | cp[1] << 8;
                if (TTextCodec::IsKnownCodePage(codePage))
                    result.CodePage = codePage;
            }
            break;
        }
    }
    // Keys only a later INFO list holds are shown too (other readers do), unless a list is
    // one a commit of ours wrote ([JUNK 0][DISP][LIST INFO]): then the first list is
    // the whole truth, and an interrupted commit never shows a mix of old and new.
    bool merge = true;
    for (std::size_t i = 2; i < layout.Chunks.size(); ++i) {
        const auto& c = layout.Chunks;
        if (c[i].IsList("INFO") && c[i - 1].Is("DISP") && c[i - 2].IsFree() && c[i - 2].Size == 0)
            merge = false;
    }
    std::string payload;
    for (std::size_t i = 0; i < layout.Chunks.size(); ++i) {
        const auto& chunk = layout.Chunks[i];
        if (chunk.Size > MaxTagChunk) {
            result.OversizedBext = result.OversizedBext || chunk.Is("bext");
            continue;
        }
        if (chunk.IsList("INFO")) {
            result.TagChunks.push_back(i);
            if (!result.Tags.HasInfo && ReadPayload(io, layout, chunk, payload)) {
                result.Tags.HasInfo = true;
                ParseInfo(payload, result.CodePage, result.Tags);
            } else if (merge && ReadPayload(io, layout, chunk, payload)) {
                TWavTags later;
                ParseInfo(payload, result.CodePage, later);
                for (auto& item : later.Items)
                    if (!result.Tags.Find(item.Key))
                        result.Tags.Items.push_back(std::move(item));
            }
        } else if (chunk.Is("cart")) {
            // The first cart counts; an empty one stands for none. Later ones are shadowed
            // and replaced with the rest.
            result.TagChunks.push_back(i);
            if (!result.HasCartChunk && ReadPayload(io, layout, chunk, payload)) {
                result.HasCartChunk = true;
                if (!payload.empty())
                    result.Tags.Cart = payload;
            }
        } else if (chunk.Is("bext")) {
            // As the cart: the first counts, an empty one stands for none.
            result.BextChunks.push_back(i);
            if (!result.HasBextChunk && ReadPayload(io, layout, chunk, payload)) {
                result.HasBextChunk = true;
                if (!payload.empty())
                    result.Tags.Bext = payload;
            }
        } else if (chunk.Is("DISP") && chunk.Size >= 4) {
            if (!ReadPayload(io, layout, chunk, payload) || payload.size() < 4)
                continue;
            if (TByteOrder::Get32(reinterpret_cast<const unsigned char*>(payload.data())) !=
                DispText)
                continue; // a picture or other kind: not the title, left as it is
            result.TagChunks.push_back(i);
            if (!result.Tags.HasTitle) {
                result.Tags.HasTitle = true;
                std::string raw = CutAtNul(std::string_view(payload).substr(4));
                result.Tags.Title = TTextCodec::Decode(raw, result.CodePage);
                result.Tags.TitleRaw = std::move(raw);
            }
        }
    }
    return result;
}

} // namespace riffkit
