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
                                  int codePage, bool oneEncoding) {
    if (raw && !oneEncoding)
        return raw;
    return TTextCodec::Encode(text, codePage);
}

bool FitsCp1252(const std::string& text) {
    const auto narrow = TTextCodec::Utf8ToCp1252(text);
    return narrow && !(TTextCodec::HasNonAscii(*narrow) && TTextCodec::IsValidUtf8(*narrow));
}

} // namespace

int TWavTagBlock::ChooseEncoding(const TWavTags& stored, const TWavTags& target) {
    bool anyNonAscii = false, allUtf8 = true;
    const auto look = [&](const std::optional<std::string>& raw) {
        if (raw && TTextCodec::HasNonAscii(*raw)) {
            anyNonAscii = true;
            allUtf8 = allUtf8 && TTextCodec::IsValidUtf8(*raw);
        }
    };
    look(stored.TitleRaw);
    for (const auto& item : stored.Items)
        look(item.Raw);
    if (anyNonAscii && allUtf8)
        return TTextCodec::CpUtf8;
    bool fits = FitsCp1252(target.Title);
    for (const auto& item : target.Items)
        fits = fits && FitsCp1252(item.Text);
    return fits ? TTextCodec::CpWindows1252 : TTextCodec::CpUtf8;
}

std::optional<std::string> TWavTagBlock::Build(const TWavTags& tags, int codePage, bool withTitle,
                                               bool withInfo, bool oneEncoding, bool cartStandIn,
                                               bool bextStandIn) {
    std::string out;
    if (withTitle || tags.HasTitle || !tags.Title.empty()) {
        auto text = Stored(tags.Title, tags.TitleRaw, codePage, oneEncoding);
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
            auto text = Stored(item.Text, item.Raw, codePage, oneEncoding);
            if (!text || item.Key.size() != 4)
                return std::nullopt;
            AppendChunk(payload, item.Key, *text + '\0');
        }
        AppendChunk(out, "LIST", payload);
    }
    if (tags.Cart)
        AppendChunk(out, "cart", *tags.Cart);
    else if (cartStandIn)
        AppendChunk(out, "cart", "");
    if (tags.Bext)
        AppendChunk(out, "bext", *tags.Bext);
    else if (bextStandIn)
        AppendChunk(out, "bext", "");
    if (out.size() > TWavTagReader::MaxTagChunk)
        return std::nullopt; // would not be read back
    return out;
}

} // namespace riffkit
