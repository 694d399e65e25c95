#include "WavTagBlock.h"

#include "ByteOrder.h"
#include "TextCodec.h"
#include "WavTagReader.h"

namespace riffkit {

namespace {

void AppendChunk(std::string& out, std::string_view id, std::string_view payload) {
    out.append(id.data(), 4);
    TByteOrder::Append32(out, static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    if (payload.size() & 1)
        out += '\0';
}

std::optional<std::string> Stored(const std::string& text, const std::optional<std::string>& raw,
                                  int codePage) {
    if (raw)
        return raw;
    return TTextCodec::Encode(text, codePage);
}

} // namespace

std::optional<std::string> TWavTagBlock::Build(const TWavTags& tags, int codePage, bool withTitle,
                                               bool withInfo) {
    std::string out;
    if (withTitle || tags.HasTitle || !tags.Title.empty()) {
        auto text = Stored(tags.Title, tags.TitleRaw, codePage);
        if (!text)
            return std::nullopt;
        std::string payload;
        TByteOrder::Append32(payload, TWavTagReader::DispText);
        payload += *text;
        payload += '\0';
        AppendChunk(out, "DISP", payload);
    }
    if (withInfo || tags.HasInfo || !tags.Items.empty()) {
        std::string payload = "INFO";
        for (const auto& item : tags.Items) {
            auto text = Stored(item.Text, item.Raw, codePage);
            if (!text || item.Key.size() != 4)
                return std::nullopt;
            AppendChunk(payload, item.Key, *text + '\0');
        }
        AppendChunk(out, "LIST", payload);
    }
    if (out.size() > TWavTagReader::MaxTagChunk)
        return std::nullopt; // would not be read back
    return out;
}

} // namespace riffkit
