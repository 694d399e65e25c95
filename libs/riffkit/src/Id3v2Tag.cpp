#include "Id3v2Tag.h"

#include <taglib/tstring.h>

#include <algorithm>

namespace riffkit {

namespace {

std::uint32_t SyncSafe(const unsigned char* p) {
    return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu);
}

std::uint32_t Be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void PutSyncSafe(std::string& out, std::uint32_t v) {
    for (int shift : {21, 14, 7, 0})
        out += static_cast<char>((v >> shift) & 0x7F);
}

void PutBe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Undoes unsynchronisation: every 0xFF 0x00 loses its 0x00.
std::string Resync(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        out += in[i];
        if (static_cast<unsigned char>(in[i]) == 0xFF && i + 1 < in.size() && in[i + 1] == '\0')
            ++i;
    }
    return out;
}

// Applies unsynchronisation: a 0x00 after every 0xFF that precedes 0x00 or 0xE0 and up,
// or ends the data.
std::string Unsync(std::string_view in) {
    std::string out;
    out.reserve(in.size() + 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        out += in[i];
        if (static_cast<unsigned char>(in[i]) == 0xFF &&
            (i + 1 == in.size() || static_cast<unsigned char>(in[i + 1]) >= 0xE0 ||
             in[i + 1] == '\0'))
            out += '\0';
    }
    return out;
}

bool IsFrameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Version 2.2 names of the frames a save writes.
constexpr struct {
    const char* Long;
    const char* Short;
} ShortIds[] = {{"TIT2", "TT2"}, {"TPE1", "TP1"}, {"TALB", "TAL"}, {"TYER", "TYE"},
                {"TDAT", "TDA"}, {"TIME", "TIM"}, {"TCON", "TCO"}, {"TRCK", "TRK"},
                {"TCOM", "TCM"}, {"TPUB", "TPB"}, {"TCOP", "TCR"}, {"TBPM", "TBP"},
                {"COMM", "COM"}, {"TXXX", "TXX"}, {"TDRC", "TYE"}};

} // namespace

std::uint64_t TId3v2Tag::CompleteSize(std::string_view header) {
    if (header.size() < HeaderSize || header.substr(0, 3) != "ID3")
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(header.data());
    if (p[3] < 2 || p[3] > 4 || p[4] == 0xFF || (p[6] | p[7] | p[8] | p[9]) >= 0x80)
        return 0;
    const bool footer = p[3] == 4 && (p[5] & 0x10);
    return HeaderSize + SyncSafe(p + 6) + (footer ? 10 : 0);
}

TId3v2Tag TId3v2Tag::Empty(unsigned version) {
    TId3v2Tag tag;
    tag.Major = version;
    return tag;
}

std::optional<TId3v2Tag> TId3v2Tag::Parse(std::string_view bytes) {
    const std::uint64_t complete = CompleteSize(bytes);
    if (complete == 0 || complete > bytes.size())
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    TId3v2Tag tag;
    tag.Major = p[3];
    tag.Revision = p[4];
    const unsigned flags = p[5];
    std::string body(bytes.substr(HeaderSize, SyncSafe(p + 6)));
    if (tag.Major == 2 && (flags & 0x40))
        return std::nullopt; // compressed: no known way to read it
    if (tag.Major < 4 && (flags & 0x80))
        body = Resync(body);
    tag.UnsyncFrames = tag.Major == 4 && (flags & 0x80);
    std::size_t at = 0;
    if (tag.Major >= 3 && (flags & 0x40) && body.size() >= 4) {
        const auto* e = reinterpret_cast<const unsigned char*>(body.data());
        const std::uint64_t extended = tag.Major == 3 ? 4ull + Be32(e) : SyncSafe(e);
        if (extended > body.size())
            return std::nullopt;
        at = static_cast<std::size_t>(extended);
    }
    const std::size_t idSize = tag.Major == 2 ? 3 : 4;
    const std::size_t headSize = tag.Major == 2 ? 6 : 10;
    while (at + headSize <= body.size()) {
        const std::string_view id = std::string_view(body).substr(at, idSize);
        if (!std::all_of(id.begin(), id.end(), IsFrameIdChar))
            break;
        const auto* s = reinterpret_cast<const unsigned char*>(body.data() + at + idSize);
        std::uint64_t size;
        if (tag.Major == 2) {
            size = std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2];
        } else if (tag.Major == 3 || (s[0] | s[1] | s[2] | s[3]) >= 0x80) {
            size = Be32(s); // some v2.4 writers use plain sizes
        } else {
            size = SyncSafe(s);
            // Plain sizes that happen to be valid sync-safe numbers: take the reading
            // after which the next frame (or padding, or the end) follows.
            const std::uint64_t plain = Be32(s);
            const auto fitsNext = [&](std::uint64_t n) {
                const std::uint64_t next = at + headSize + n;
                if (next > body.size())
                    return false;
                if (next + 4 > body.size() || body[next] == '\0')
                    return true;
                return std::all_of(body.begin() + static_cast<long>(next),
                                   body.begin() + static_cast<long>(next + 4), IsFrameIdChar);
            };
            if (plain != size && !fitsNext(size) && fitsNext(plain))
                size = plain;
        }
        if (at + headSize + size > body.size())
            break;
        tag.Frames.push_back({std::string(id), body.substr(at, headSize + size)});
        at += headSize + size;
    }
    // Whatever follows that is not zero padding is kept as it is.
    std::string rest = body.substr(std::min(at, body.size()));
    const std::size_t last = rest.find_last_not_of('\0');
    tag.Tail = last == std::string::npos ? std::string() : rest.substr(0, last + 1);
    return tag;
}

std::string TId3v2Tag::TagLibHeader() const {
    std::string header = "ID3";
    header += static_cast<char>(Major);
    header += static_cast<char>(Revision);
    header += static_cast<char>(UnsyncFrames ? 0x80 : 0);
    header.append(4, '\0');
    return header;
}

std::size_t TId3v2Tag::MinimumSize() const {
    std::size_t size = HeaderSize + Tail.size();
    for (const TFrame& frame : Frames)
        size += frame.Bytes.size();
    return size;
}

std::string TId3v2Tag::Render(std::size_t totalSize) const {
    std::string out = "ID3";
    out += static_cast<char>(Major);
    out += static_cast<char>(Revision);
    out += static_cast<char>(UnsyncFrames ? 0x80 : 0);
    PutSyncSafe(out, static_cast<std::uint32_t>(totalSize - HeaderSize));
    for (const TFrame& frame : Frames)
        out += frame.Bytes;
    out += Tail;
    out.resize(std::max(out.size(), totalSize), '\0');
    return out;
}

std::string TId3v2Tag::EncodedTexts(const std::vector<std::string>& texts) const {
    bool latin1 = true;
    for (const std::string& text : texts)
        latin1 = latin1 && TagLib::String(text, TagLib::String::UTF8).isLatin1();
    // Latin-1 where it holds the text; else UTF-8 in v2.4, UTF-16 with BOM before.
    const char encoding = latin1 ? 0 : (Major == 4 ? 3 : 1);
    std::string out(1, encoding);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TagLib::String text(texts[i], TagLib::String::UTF8);
        if (encoding == 3) {
            out += texts[i];
        } else {
            const TagLib::ByteVector data =
                text.data(encoding == 0 ? TagLib::String::Latin1 : TagLib::String::UTF16);
            out.append(data.data(), data.size());
        }
        if (i + 1 < texts.size())
            out.append(encoding == 1 ? 2 : 1, '\0');
    }
    return out;
}

TId3v2Tag::TFrame TId3v2Tag::Frame(std::string_view id, std::string body) const {
    std::string name(id);
    if (Major == 2) {
        for (const auto& entry : ShortIds)
            if (id == entry.Long)
                name = entry.Short;
    }
    std::string out = name;
    if (Major == 2) {
        PutBe(out, static_cast<std::uint32_t>(body.size()), 3);
    } else if (Major == 3) {
        PutBe(out, static_cast<std::uint32_t>(body.size()), 4);
        out.append(2, '\0');
    } else {
        if (UnsyncFrames)
            body = Unsync(body);
        PutSyncSafe(out, static_cast<std::uint32_t>(body.size()));
        out += '\0';
        out += static_cast<char>(UnsyncFrames ? 0x02 : 0);
    }
    out += body;
    return {name, out};
}

TId3v2Tag::TFrame TId3v2Tag::TextFrame(std::string_view id, const std::string& utf8) const {
    return Frame(id, EncodedTexts({utf8}));
}

TId3v2Tag::TFrame TId3v2Tag::UserTextFrame(const std::string& description,
                                           const std::string& utf8) const {
    return Frame("TXXX", EncodedTexts({description, utf8}));
}

std::optional<TId3v2Tag::TFrame> TId3v2Tag::CarriedFrame(const TFrame& frame, unsigned from) const {
    // Only between versions 2.3 and 2.4, which share frame ids and bodies.
    if (from < 3 || Major < 3 || frame.Bytes.size() < 10)
        return std::nullopt;
    const auto format = static_cast<unsigned char>(frame.Bytes[9]);
    // Compression, encryption, grouping, unsynchronisation or a data length indicator.
    if ((from == 3 && (format & 0xE0)) || (from == 4 && (format & 0x4F)))
        return std::nullopt;
    std::string body = frame.Bytes.substr(10);
    // Text encodings 2 and 3 (UTF-16BE, UTF-8) do not exist before version 2.4.
    constexpr std::string_view encoded[] = {"APIC", "GEOB", "USLT", "SYLT", "USER",
                                            "COMR", "OWNE", "WXXX", "TXXX", "COMM"};
    const bool hasEncoding = frame.Id[0] == 'T' || std::find(std::begin(encoded), std::end(encoded),
                                                             frame.Id) != std::end(encoded);
    if (Major == 3 && hasEncoding && !body.empty() && (body[0] == 2 || body[0] == 3))
        return std::nullopt;
    return Frame(frame.Id, std::move(body));
}

TId3v2Tag::TFrame TId3v2Tag::CommentFrame(const std::string& language, const std::string& utf8,
                                          const std::string& description) const {
    std::string texts = EncodedTexts({description, utf8});
    std::string lang = language.substr(0, 3);
    lang.resize(3, ' ');
    return Frame("COMM", texts.substr(0, 1) + lang + texts.substr(1));
}

} // namespace riffkit
