#include "MpegFile.h"

#include "Id3v1Genres.h"
#include "Loudness.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/generalencapsulatedobjectframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/privateframe.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include <algorithm>
#include <memory>

namespace riffkit {

namespace {

struct TFrameKey {
    const char* Key;
    const char* FrameId;
};

// Keys with a frame of their own; "ICMT" is the comment frame, every other key a TXXX
// frame whose description is the key.
constexpr TFrameKey FrameKeys[] = {
    {"DISP", "TIT2"}, {"IART", "TPE1"}, {"IALB", "TALB"}, {"IYER", "TDRC"}, {"IGRE", "TCON"},
    {"ITRK", "TRCK"}, {"ICOM", "TCOM"}, {"IPUB", "TPUB"}, {"BCPR", "TCOP"}, {"IBPM", "TBPM"}};
constexpr const char* CommentKey = "ICMT";
// The frames of the year: TDRC in v2.4, TYER with TDAT and TIME before (and in the wild).
constexpr const char* YearFrames[] = {"TDRC", "TYER", "TDAT", "TIME"};
// The keys with an ID3v1 field: what an ID3v1-only file holds, and the fields a save to
// an ID3v2 tag brings into step when it writes their keys.
constexpr const char* Id3v1Keys[] = {"DISP", "IART", "IALB", "IYER", "IGRE", "ICMT", "ITRK"};
// How far into the file a tag behind leading junk is looked for.
constexpr std::uint64_t JunkScanLimit = 64 * 1024;

constexpr std::uint64_t MaxTagBytes = 256u << 20;

// Keeps TagLib's diagnostics about damaged frames off the host program's stderr.
class TQuietListener : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib() {
    static TQuietListener listener;
    static const bool installed = (TagLib::setDebugListener(&listener), true);
    (void)installed;
}

const char* FrameIdOf(std::string_view key) {
    for (const TFrameKey& entry : FrameKeys)
        if (key == entry.Key)
            return entry.FrameId;
    return nullptr;
}

std::string ToUtf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

std::string JoinValues(const TagLib::StringList& values) {
    std::string joined;
    for (const TagLib::String& value : values) {
        const std::string text = ToUtf8(value);
        if (text.empty())
            continue;
        if (!joined.empty())
            joined += " / ";
        joined += text;
    }
    return joined;
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Genre numbers past our table (later Winamp additions) take TagLib's names.
std::string GenreName(int number) {
    const std::string ours = Id3v1Genres::Name(number);
    return ours.empty() ? ToUtf8(TagLib::ID3v1::genre(number)) : ours;
}

// Genre frames may hold ID3v1 numbers ("(17)" in v2.3, read by TagLib as "17").
std::string GenreText(const TagLib::StringList& values) {
    std::vector<std::string> names;
    for (const TagLib::String& value : values) {
        std::string text = ToUtf8(value);
        if (IsDigits(text) && text.size() <= 3) {
            const std::string name = GenreName(std::stoi(text));
            if (!name.empty())
                text = name;
        }
        if (!text.empty() && std::find(names.begin(), names.end(), text) == names.end())
            names.push_back(text);
    }
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : " / ") + name;
    return joined;
}

// "yyyy-MM-dd" or "yyyy-MM-ddTHH:mm": what version 2.3 splits into TYER, TDAT and TIME.
bool IsPlainRecordingTime(const std::string& text) {
    const std::string_view pattern = "dddd-dd-ddTdd:dd";
    if (text.size() != 10 && text.size() != 16)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool ok =
            pattern[i] == 'd' ? (text[i] >= '0' && text[i] <= '9') : text[i] == pattern[i];
        if (!ok)
            return false;
    }
    return true;
}

std::unique_ptr<TagLib::ID3v2::Frame> ParseFrame(const TId3v2Tag& tag,
                                                 const TId3v2Tag::TFrame& raw) {
    using namespace TagLib::ID3v2;
    const std::string headerBytes = tag.TagLibHeader();
    const Header header(TagLib::ByteVector(headerBytes.data(), 10));
    return std::unique_ptr<Frame>(FrameFactory::instance()->createFrame(
        TagLib::ByteVector(raw.Bytes.data(), static_cast<unsigned>(raw.Bytes.size())), &header));
}

// What makes two frames the same field, whatever the tag's version: the id (in its v2.4
// form) and the description, language, owner or picture type where the frame has one.
std::string FrameIdentity(const TId3v2Tag& tag, const TId3v2Tag::TFrame& raw) {
    using namespace TagLib::ID3v2;
    const auto frame = ParseFrame(tag, raw);
    if (!frame)
        return raw.Id;
    std::string id(frame->frameID().data(), frame->frameID().size());
    const auto add = [&id](const std::string& part) { id += '\0' + part; };
    if (const auto* f = dynamic_cast<const UserTextIdentificationFrame*>(frame.get()))
        add(ToUtf8(f->description()));
    else if (const auto* f = dynamic_cast<const CommentsFrame*>(frame.get()))
        add(std::string(f->language().data(), f->language().size())), add(ToUtf8(f->description()));
    else if (const auto* f = dynamic_cast<const UnsynchronizedLyricsFrame*>(frame.get()))
        add(std::string(f->language().data(), f->language().size())), add(ToUtf8(f->description()));
    else if (const auto* f = dynamic_cast<const PrivateFrame*>(frame.get()))
        add(ToUtf8(f->owner()));
    else if (const auto* f = dynamic_cast<const UniqueFileIdentifierFrame*>(frame.get()))
        add(ToUtf8(f->owner()));
    else if (const auto* f = dynamic_cast<const AttachedPictureFrame*>(frame.get()))
        add(std::to_string(static_cast<int>(f->type()))), add(ToUtf8(f->description()));
    else if (const auto* f = dynamic_cast<const UserUrlLinkFrame*>(frame.get()))
        add(ToUtf8(f->description()));
    else if (const auto* f = dynamic_cast<const GeneralEncapsulatedObjectFrame*>(frame.get()))
        add(ToUtf8(f->description()));
    return id;
}

// Frame ids only one of versions 2.3 and 2.4 has.
constexpr std::string_view OnlyIn24[] = {"TDRC", "TDOR", "TDRL", "TDTG", "TDEN", "TIPL",
                                         "TMCL", "TMOO", "TPRO", "TSOA", "TSOP", "TSOT",
                                         "TSST", "ASPI", "EQU2", "RVA2", "SEEK", "SIGN"};
constexpr std::string_view OnlyIn23[] = {"TYER", "TDAT", "TIME", "TORY", "TRDA",
                                         "TSIZ", "IPLS", "EQUA", "RVAD"};

bool KnownIn(unsigned version, std::string_view id) {
    const auto in = [id](const auto& list) {
        return std::find(std::begin(list), std::end(list), id) != std::end(list);
    };
    return version == 4 ? !in(OnlyIn23) : !in(OnlyIn24);
}

// A frame of a later leading tag, of another version, as a frame of `into`: texts,
// comments and user texts are written anew in its version, other frames keep their body.
std::optional<TId3v2Tag::TFrame> CarryFrame(const TId3v2Tag& into, const TId3v2Tag& from,
                                            const TId3v2Tag::TFrame& raw) {
    using namespace TagLib::ID3v2;
    if (into.Version() == from.Version())
        return raw;
    if (into.Version() < 3)
        return std::nullopt;
    const auto frame = ParseFrame(from, raw);
    if (const auto* f = dynamic_cast<const UserTextIdentificationFrame*>(frame.get())) {
        TagLib::StringList fields = f->fieldList();
        if (!fields.isEmpty())
            fields.erase(fields.begin());
        return into.UserTextFrame(ToUtf8(f->description()), JoinValues(fields));
    }
    if (const auto* f = dynamic_cast<const CommentsFrame*>(frame.get()))
        return into.CommentFrame(std::string(f->language().data(), f->language().size()),
                                 ToUtf8(f->text()), ToUtf8(f->description()));
    if (const auto* f = dynamic_cast<const TextIdentificationFrame*>(frame.get())) {
        std::string id(f->frameID().data(), f->frameID().size());
        const std::string text = JoinValues(f->fieldList());
        if (id == "TDRC" && into.Version() == 3 && text.size() == 4 && IsDigits(text))
            id = "TYER";
        if (!KnownIn(into.Version(), id))
            return std::nullopt;
        return into.TextFrame(id, text);
    }
    if (from.Version() < 3 || !KnownIn(into.Version(), raw.Id))
        return std::nullopt;
    return into.CarriedFrame(raw, from.Version());
}

} // namespace

// Where the leading ID3v2 tag starts: at 0, or after junk some writers leave in front
// (as a full read by TagLib finds it), when a whole tag with frames starts there before
// the audio; the file's size when there is none.
std::uint64_t TMpegFile::FindTagStart(TFileIo& io, std::uint64_t fileSize) {
    std::string head(static_cast<std::size_t>(std::min(fileSize, JunkScanLimit)), '\0');
    if (head.size() < TId3v2Tag::HeaderSize || !io.Read(0, head.data(), head.size()))
        return fileSize;
    if (TId3v2Tag::CompleteSize(head) > 0)
        return 0;
    for (std::size_t at = head.find("ID3", 1); at != std::string::npos;
         at = head.find("ID3", at + 1)) {
        // Audio before it: the tag is not a leading one.
        if (at >= 2 && static_cast<unsigned char>(head[at - 2]) == 0xFF &&
            (static_cast<unsigned char>(head[at - 1]) & 0xE0) == 0xE0)
            break;
        const std::uint64_t size =
            TId3v2Tag::CompleteSize(std::string_view(head).substr(at, TId3v2Tag::HeaderSize));
        if (size == 0 || size > fileSize - at || size > MaxTagBytes)
            continue;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        if (!io.Read(at, bytes.data(), bytes.size()))
            break;
        if (const auto tag = TId3v2Tag::Parse(bytes); tag && !tag->Frames.empty())
            return at;
    }
    return fileSize;
}

bool TMpegFile::IsId3v1Key(std::string_view key) {
    return std::find(std::begin(Id3v1Keys), std::end(Id3v1Keys), key) != std::end(Id3v1Keys);
}

std::optional<TMpegFile> TMpegFile::Read(TFileIo& io, std::string& reason) {
    SilenceTagLib();
    TMpegFile file;
    file.FileSize = io.Size();
    std::string header(TId3v2Tag::HeaderSize, '\0');
    const std::uint64_t start = FindTagStart(io, file.FileSize);
    if (start < file.FileSize) {
        // The run of ID3v2 tags at the start: old writers left duplicates back to back.
        std::vector<TId3v2Tag> tags;
        std::uint64_t at = start;
        while (at + header.size() <= file.FileSize && io.Read(at, header.data(), header.size())) {
            const std::uint64_t size = TId3v2Tag::CompleteSize(header);
            if (size == 0)
                break;
            if (size > file.FileSize - at || size > MaxTagBytes) {
                if (at == start) {
                    reason = "the ID3v2 tag is damaged: it claims more bytes than the file has";
                    return std::nullopt;
                }
                break;
            }
            std::string bytes(static_cast<std::size_t>(size), '\0');
            if (!io.Read(at, bytes.data(), bytes.size())) {
                reason = "cannot read the file";
                return std::nullopt;
            }
            auto tag = TId3v2Tag::Parse(bytes);
            if (!tag && at == start) {
                reason = "the ID3v2 tag cannot be read";
                return std::nullopt;
            }
            if (tag)
                tags.push_back(std::move(*tag));
            at += size;
        }
        file.TagStart = start;
        file.TagRunEnd = at;
        file.Tag = std::move(tags.front());
        // The later tags join the first by frame identity: a field the first has stays as
        // readers show it, every other frame is carried over (in the first tag's version).
        // A frame that cannot be carried is kept on disk and makes saves fail by name.
        std::vector<std::string> known;
        for (const auto& frame : file.Tag->Frames)
            known.push_back(FrameIdentity(*file.Tag, frame));
        for (std::size_t i = 1; i < tags.size(); ++i) {
            for (const auto& frame : tags[i].Frames) {
                std::string identity = FrameIdentity(tags[i], frame);
                if (std::find(known.begin(), known.end(), identity) != known.end())
                    continue;
                auto carried = CarryFrame(*file.Tag, tags[i], frame);
                if (!carried) {
                    if (file.CarryProblem.empty())
                        file.CarryProblem =
                            "the frame " + frame.Id + " of a second ID3v2 tag (version 2." +
                            std::to_string(tags[i].Version()) +
                            ") cannot be carried into the first (version 2." +
                            std::to_string(file.Tag->Version()) + "): the file was not changed";
                    continue;
                }
                file.Tag->Frames.push_back(std::move(*carried));
                known.push_back(std::move(identity));
            }
        }
    }
    if (file.FileSize >= file.TagRunEnd + TId3v1Tag::Size) {
        std::string bytes(TId3v1Tag::Size, '\0');
        if (io.Read(file.FileSize - TId3v1Tag::Size, bytes.data(), bytes.size())) {
            file.Id3v1 = TId3v1Tag::Parse(bytes);
            if (file.Id3v1)
                file.Id3v1Bytes = bytes;
        }
    }
    if (file.Tag) {
        file.ReadFrames();
    } else if (file.Id3v1) {
        for (const char* key : Id3v1Keys)
            if (std::string value = file.Id3v1->Get(key); !value.empty())
                file.KeyValues[key] = value;
    }
    return file;
}

void TMpegFile::ReadFrames() {
    using namespace TagLib::ID3v2;
    const std::string headerBytes = Tag->TagLibHeader();
    const Header header(TagLib::ByteVector(headerBytes.data(), 10));
    std::vector<std::unique_ptr<TagLib::ID3v2::Frame>> parsed;
    Roles.clear();
    for (const auto& raw : Tag->Frames) {
        std::unique_ptr<TagLib::ID3v2::Frame> frame(FrameFactory::instance()->createFrame(
            TagLib::ByteVector(raw.Bytes.data(), static_cast<unsigned>(raw.Bytes.size())),
            &header));
        TFrameRole role;
        if (frame) {
            role.Id = std::string(frame->frameID().data(), frame->frameID().size());
            if (auto* user = dynamic_cast<UserTextIdentificationFrame*>(frame.get()))
                role.Description = ToUtf8(user->description());
            if (auto* comment = dynamic_cast<CommentsFrame*>(frame.get())) {
                role.Description = ToUtf8(comment->description());
                role.Language = std::string(comment->language().data(), comment->language().size());
            }
        } else {
            role.Id = raw.Id;
        }
        Roles.push_back(role);
        parsed.push_back(std::move(frame));
    }
    const auto textOf = [&](std::size_t i) -> const TextIdentificationFrame* {
        return dynamic_cast<const TextIdentificationFrame*>(parsed[i].get());
    };
    // TDAT and TIME hold four digits; TagLib drops them as frames v2.4 no longer has.
    const auto digitsOf = [&](std::string_view id) -> std::string {
        for (std::size_t i = 0; i < Roles.size(); ++i) {
            const std::string& bytes = Tag->Frames[i].Bytes;
            if (Roles[i].Id != id || Tag->Version() != 3 || bytes.size() < 11)
                continue;
            std::string text = bytes.substr(11);
            text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
            return (bytes[10] == 0 || bytes[10] == 3) && text.size() == 4 && IsDigits(text)
                       ? text
                       : std::string();
        }
        return std::string();
    };
    const auto first = [&](std::string_view id) -> int {
        for (std::size_t i = 0; i < Roles.size(); ++i)
            if (Roles[i].Id == id && textOf(i))
                return static_cast<int>(i);
        return -1;
    };
    for (const TFrameKey& entry : FrameKeys) {
        int at = first(entry.FrameId);
        if (at < 0 && std::string_view(entry.Key) == "IYER")
            at = first("TYER"); // v2.4 tags in the wild carry the v2.3 year frame
        if (at < 0)
            continue;
        const auto fields = textOf(static_cast<std::size_t>(at))->fieldList();
        std::string text =
            std::string_view(entry.Key) == "IGRE" ? GenreText(fields) : JoinValues(fields);
        if (std::string_view(entry.Key) == "IYER" && text.size() == 4 && IsDigits(text)) {
            // Version 2.3 keeps day and time apart: "DDMM" and "HHMM".
            const std::string ddmm = digitsOf("TDAT");
            if (!ddmm.empty()) {
                text += "-" + ddmm.substr(2, 2) + "-" + ddmm.substr(0, 2);
                const std::string hhmm = digitsOf("TIME");
                if (!hhmm.empty())
                    text += "T" + hhmm.substr(0, 2) + ":" + hhmm.substr(2, 2);
            }
        }
        if (!text.empty())
            KeyValues[entry.Key] = text;
    }
    // The comment without description, in English when there are several.
    CommentFrame = -1;
    for (std::size_t i = 0; i < Roles.size(); ++i) {
        if (Roles[i].Id != "COMM" || !Roles[i].Description.empty() || !parsed[i])
            continue;
        if (CommentFrame < 0 || (Roles[i].Language == "eng" &&
                                 Roles[static_cast<std::size_t>(CommentFrame)].Language != "eng"))
            CommentFrame = static_cast<int>(i);
    }
    if (CommentFrame >= 0) {
        const auto* comment = dynamic_cast<const CommentsFrame*>(parsed[CommentFrame].get());
        if (comment && !comment->text().isEmpty())
            KeyValues[CommentKey] = ToUtf8(comment->text());
    }
    for (std::size_t i = 0; i < Roles.size(); ++i) {
        const auto* user = dynamic_cast<const UserTextIdentificationFrame*>(parsed[i].get());
        if (!user)
            continue;
        const std::string& key = Roles[i].Description;
        if (key.empty() || FrameIdOf(key) || key == CommentKey || KeyValues.count(key))
            continue;
        TagLib::StringList fields = user->fieldList();
        if (!fields.isEmpty())
            fields.erase(fields.begin()); // the description
        if (std::string value = JoinValues(fields); !value.empty())
            KeyValues[key] = value;
    }
}

std::vector<std::size_t> TMpegFile::OwnedFrames(const std::vector<TFrameRole>& roles,
                                                std::string_view key, int comment) const {
    std::vector<std::size_t> owned;
    if (key == CommentKey) {
        if (comment >= 0)
            owned.push_back(static_cast<std::size_t>(comment));
        return owned;
    }
    const char* frameId = FrameIdOf(key);
    for (std::size_t i = 0; i < roles.size(); ++i) {
        const std::string& id = roles[i].Id;
        bool mine;
        if (!frameId)
            mine = id == "TXXX" &&
                   (roles[i].Description == key ||
                    (TReplayGain::IsKey(key) && TReplayGain::SameKey(roles[i].Description, key)));
        else if (key == "IYER")
            mine =
                std::find(std::begin(YearFrames), std::end(YearFrames), id) != std::end(YearFrames);
        else
            mine = id == frameId;
        if (mine)
            owned.push_back(i);
    }
    return owned;
}

void TMpegFile::ApplyChange(TId3v2Tag& tag, std::vector<TFrameRole>& roles, int& comment,
                            const std::string& key, const std::optional<std::string>& value,
                            const TMpegFile& file) {
    std::vector<TId3v2Tag::TFrame> fresh;
    std::vector<TFrameRole> freshRoles;
    const bool set = value && !value->empty();
    const char* frameId = FrameIdOf(key);
    if (set && key == CommentKey) {
        const std::string language =
            comment >= 0 ? roles[static_cast<std::size_t>(comment)].Language : "eng";
        fresh.push_back(tag.CommentFrame(language, *value));
        freshRoles.push_back({"COMM", "", language});
    } else if (set && key == "IYER" && tag.Version() < 4) {
        if (IsPlainRecordingTime(*value)) {
            fresh.push_back(tag.TextFrame("TYER", value->substr(0, 4)));
            fresh.push_back(tag.TextFrame("TDAT", value->substr(8, 2) + value->substr(5, 2)));
            freshRoles.push_back({"TYER", "", ""});
            freshRoles.push_back({"TDAT", "", ""});
            if (value->size() == 16) {
                fresh.push_back(tag.TextFrame("TIME", value->substr(11, 2) + value->substr(14, 2)));
                freshRoles.push_back({"TIME", "", ""});
            }
        } else {
            fresh.push_back(tag.TextFrame("TYER", *value)); // kept whole, whatever it says
            freshRoles.push_back({"TYER", "", ""});
        }
    } else if (set && frameId) {
        fresh.push_back(tag.TextFrame(frameId, *value));
        freshRoles.push_back({frameId, "", ""});
    } else if (set) {
        fresh.push_back(tag.UserTextFrame(key, *value));
        freshRoles.push_back({"TXXX", key, ""});
    }

    const std::vector<std::size_t> owned = file.OwnedFrames(roles, key, comment);
    const std::size_t place = owned.empty() ? tag.Frames.size() : owned.front();
    std::vector<TId3v2Tag::TFrame> frames;
    std::vector<TFrameRole> newRoles;
    int newComment = -1;
    for (std::size_t i = 0; i <= tag.Frames.size(); ++i) {
        if (i == place) {
            if (key == CommentKey && !fresh.empty())
                newComment = static_cast<int>(frames.size());
            frames.insert(frames.end(), fresh.begin(), fresh.end());
            newRoles.insert(newRoles.end(), freshRoles.begin(), freshRoles.end());
        }
        if (i == tag.Frames.size())
            break;
        if (std::find(owned.begin(), owned.end(), i) != owned.end())
            continue;
        if (static_cast<int>(i) == comment)
            newComment = static_cast<int>(frames.size());
        frames.push_back(std::move(tag.Frames[i]));
        newRoles.push_back(roles[i]);
    }
    tag.Frames = std::move(frames);
    roles = std::move(newRoles);
    comment = newComment;
}

TMpegEdit TMpegFile::PlaceTag(const TId3v2Tag& tag, const std::optional<TId3v1Tag>& id3v1) const {
    TMpegEdit edit;
    edit.OldSize = edit.FinalSize = FileSize;
    const std::size_t needed = tag.MinimumSize();
    const std::uint64_t space = TagRunEnd - TagStart;
    std::uint64_t id3v1At = FileSize - (Id3v1 ? TId3v1Tag::Size : 0);
    if (needed <= space) {
        edit.Regions.push_back({TagStart, tag.Render(static_cast<std::size_t>(space))});
    } else {
        // Growth moves the audio: leave room for the saves to come. The ID3v1 tag is not
        // moved with it but written at its new place, so no new byte lands on moved audio.
        const std::size_t total = needed + std::max(MinimumPadding, needed / 10);
        edit.MoveFrom = TagRunEnd;
        edit.MoveLength = id3v1At - TagRunEnd;
        edit.Delta = total - space;
        edit.FinalSize = FileSize + edit.Delta;
        id3v1At += edit.Delta;
        edit.Regions.push_back({TagStart, tag.Render(total)});
    }
    if (id3v1 || (Id3v1 && edit.Delta > 0)) {
        const std::string bytes = id3v1 ? id3v1->Render() : Id3v1Bytes;
        if (bytes != Id3v1Bytes || edit.Delta > 0)
            edit.Regions.push_back({id3v1At, bytes});
    }
    return edit;
}

std::optional<TMpegEdit> TMpegFile::PlanSave(const TChanges& changes, std::string& reason) const {
    if (!Tag) {
        // ID3v1 only: every value must fit exactly, or nothing is written.
        TId3v1Tag id3v1 = Id3v1.value_or(TId3v1Tag());
        bool any = false;
        // A key without an ID3v1 field is refused, not dropped.
        for (const auto& [key, value] : changes) {
            if (!id3v1.SetExactly(key, value.value_or(std::string()), reason)) {
                if (!IsId3v1Key(key))
                    reason += " (the file has only an ID3v1 tag)";
                return std::nullopt;
            }
            any = true;
        }
        TMpegEdit edit;
        edit.OldSize = edit.FinalSize = FileSize;
        const std::string bytes = id3v1.Render();
        if (!any || bytes == Id3v1Bytes)
            return edit;
        if (Id3v1) {
            edit.Regions.push_back({FileSize - TId3v1Tag::Size, bytes});
        } else {
            edit.Regions.push_back({FileSize, bytes});
            edit.FinalSize = FileSize + TId3v1Tag::Size;
        }
        return edit;
    }

    if (!CarryProblem.empty()) {
        reason = CarryProblem;
        return std::nullopt;
    }
    TId3v2Tag tag = *Tag;
    std::vector<TFrameRole> roles = Roles;
    int comment = CommentFrame;
    for (const auto& [key, value] : changes)
        ApplyChange(tag, roles, comment, key, value, *this);
    if (tag.MinimumSize() - TId3v2Tag::HeaderSize > 0x0FFFFFFFu - 0x100000u) {
        reason = "the ID3v2 tag would be larger than 256 MB";
        return std::nullopt;
    }
    // Only the ID3v1 fields of the keys written here change; the others keep their bytes
    // (they may hold what the ID3v2 tag does not, or differ from it on purpose).
    std::optional<TId3v1Tag> id3v1 = Id3v1;
    if (id3v1) {
        for (const auto& [key, value] : changes)
            if (IsId3v1Key(key))
                id3v1->SetNearest(key, value.value_or(std::string()));
    }
    return PlaceTag(tag, id3v1);
}

std::optional<TMpegEdit> TMpegFile::PlanAddId3v2() const {
    if (Tag)
        return std::nullopt;
    TMpegFile fresh = *this;
    fresh.Tag = TId3v2Tag::Empty(3);
    fresh.Roles.clear();
    fresh.CommentFrame = -1;
    TId3v2Tag tag = *fresh.Tag;
    if (Id3v1) {
        for (const char* key : {"DISP", "IART", "IALB", "IYER", "IGRE", "ICMT", "ITRK"})
            if (std::string value = Id3v1->Get(key); !value.empty())
                ApplyChange(tag, fresh.Roles, fresh.CommentFrame, key, value, fresh);
    }
    return fresh.PlaceTag(tag, std::nullopt);
}

} // namespace riffkit
