#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace riffkit {

// An ID3v2 tag (versions 2.2 to 2.4) as a list of raw frames: a save replaces the frames
// of the keys it changes and writes every other frame back byte for byte, in the tag's own
// version. Tag-level unsynchronisation (v2.2/v2.3) is undone on reading and not written
// again; extended headers and footers are dropped (their CRCs would be stale).
class TId3v2Tag {
public:
    struct TFrame {
        std::string Id;    // as stored: three letters in v2.2, else four
        std::string Bytes; // the whole frame, header included
    };

    static constexpr std::size_t HeaderSize = 10;

    // The size a tag beginning with these bytes claims, header and footer included;
    // 0 when they are not an ID3v2 header.
    static std::uint64_t CompleteSize(std::string_view header);
    // nullopt when the bytes are not a whole ID3v2 tag whose frames can be told apart.
    static std::optional<TId3v2Tag> Parse(std::string_view tag);
    // An empty tag of the given major version (2, 3 or 4).
    static TId3v2Tag Empty(unsigned version);

    unsigned Version() const { return Major; }
    // The ten header bytes TagLib needs to parse this tag's frames.
    std::string TagLibHeader() const;

    std::vector<TFrame> Frames;

    // Header, frames, undecodable tail and zero padding, totalSize bytes in all.
    std::size_t MinimumSize() const;
    std::string Render(std::size_t totalSize) const;

    // New frames in this tag's version; ids are given in their four-letter form.
    TFrame TextFrame(std::string_view id, const std::string& utf8) const;
    TFrame UserTextFrame(const std::string& description, const std::string& utf8) const;
    TFrame CommentFrame(const std::string& language, const std::string& utf8,
                        const std::string& description = std::string()) const;
    // A frame of another tag, of version `from`, with the same body under this tag's
    // frame header; nullopt when its flags or text encoding do not allow it here.
    std::optional<TFrame> CarriedFrame(const TFrame& frame, unsigned from) const;

private:
    TFrame Frame(std::string_view id, std::string body) const;
    // The encoding byte and the encoded texts, each followed by a terminator but the last.
    std::string EncodedTexts(const std::vector<std::string>& texts) const;

    unsigned Major = 3;
    unsigned Revision = 0;
    bool UnsyncFrames = false; // v2.4: every frame is unsynchronised; new ones are too
    std::string Tail;
};

} // namespace riffkit
