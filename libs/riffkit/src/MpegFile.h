#pragma once

#include "FileIo.h"
#include "Id3v1Tag.h"
#include "Id3v2Tag.h"
#include "MpegEdit.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace riffkit {

// The tags of an MPEG audio file, read through TFileIo, and the planning of a save.
//
// Keys live in ID3v2 frames ("DISP" TIT2, "IART" TPE1, ..., "ICMT" a comment, every other
// key a TXXX frame named after it), or in the ID3v1 fields when the file has no ID3v2 tag.
// A save replaces only the frames of the keys it changes, keeps the tag's version, and
// changes an ID3v1 tag beside an ID3v2 one only in the fields of the keys it writes. The tag is
// rewritten in its old space when it fits (with the leading run of duplicate tags that some writers
// left); else it grows with padding so that later saves fit again.
class TMpegFile {
public:
    using TValues = std::map<std::string, std::string, std::less<>>;
    // Keys to set (a value) or to remove (nullopt).
    using TChanges = std::map<std::string, std::optional<std::string>, std::less<>>;

    // Padding a grown tag gets: at least this, and a tenth of the tag.
    static constexpr std::size_t MinimumPadding = 1024;

    // nullopt, with the reason, when the tags cannot be read.
    static std::optional<TMpegFile> Read(TFileIo& io, std::string& reason);

    bool HasId3v2() const { return Tag.has_value(); }
    unsigned Id3v2Version() const { return Tag ? Tag->Version() : 0; }
    const TValues& Values() const { return KeyValues; }
    // The keys an ID3v1 tag holds for the editor when there is no ID3v2 tag.
    static bool IsId3v1Key(std::string_view key);

    // The edit that stores the changes; nullopt with the reason when a value cannot be
    // stored. An empty edit (no regions) when nothing changes on disk.
    std::optional<TMpegEdit> PlanSave(const TChanges& changes, std::string& reason) const;
    // The edit that puts a version 2.3 tag carrying the ID3v1 values in front of the
    // audio; nullopt when the file has an ID3v2 tag already.
    std::optional<TMpegEdit> PlanAddId3v2() const;

private:
    // What a frame means to the key mapping, from TagLib's reading of it.
    struct TFrameRole {
        std::string Id;          // TagLib's four-letter id (v2.2 and v2.3 ids converted)
        std::string Description; // TXXX and COMM
        std::string Language;    // COMM
    };

    static std::uint64_t FindTagStart(TFileIo& io, std::uint64_t fileSize);
    void ReadFrames();
    TMpegEdit PlaceTag(const TId3v2Tag& tag, const std::optional<TId3v1Tag>& id3v1) const;
    // The frames owned by a key, in the current frame list.
    std::vector<std::size_t> OwnedFrames(const std::vector<TFrameRole>& roles, std::string_view key,
                                         int comment) const;
    static void ApplyChange(TId3v2Tag& tag, std::vector<TFrameRole>& roles, int& comment,
                            const std::string& key, const std::optional<std::string>& value,
                            const TMpegFile& file);

    std::uint64_t FileSize = 0;
    std::uint64_t TagStart = 0;  // where they start: 0, or after leading junk
    std::uint64_t TagRunEnd = 0; // end of the leading ID3v2 tags; 0 without
    std::optional<TId3v2Tag> Tag;
    std::vector<TFrameRole> Roles; // one per frame of Tag
    int CommentFrame = -1;         // the frame "ICMT" reads, -1 for none
    std::string CarryProblem;      // why a frame of a later leading tag cannot be kept
    std::optional<TId3v1Tag> Id3v1;
    std::string Id3v1Bytes;
    TValues KeyValues;
};

} // namespace riffkit
