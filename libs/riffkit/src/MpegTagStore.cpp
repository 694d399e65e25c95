// The MPEG back end of the tag store: ID3v2 frames through TagLib, or the five ID3v1
// fields when the file has no ID3v2 tag. Tags are read once at open; a commit renders the
// changed tag with TagLib and rewrites the file through MpegRewrite, never in place.
#include "MpegTagStore.h"

#include "Id3v1Genres.h"
#include "MpegRewrite.h"
#include "TextCodec.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>

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
constexpr const char* Id3v1Keys[] = {"DISP", "IART", "IALB", "IYER", "IGRE"};

// Keeps TagLib's diagnostics about damaged files off the host program's stderr.
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
    for (const TFrameKey& entry : FrameKeys) {
        if (key == entry.Key)
            return entry.FrameId;
    }
    return nullptr;
}

bool IsId3v1Key(std::string_view key) {
    return std::find(std::begin(Id3v1Keys), std::end(Id3v1Keys), key) != std::end(Id3v1Keys);
}

// Texts cross the library's interface as UTF-8; bytes that are not UTF-8 are read as
// Windows-1252 rather than dropped.
TagLib::String FromUtf8(const std::string& text) {
    return TagLib::String(TTextCodec::IsValidUtf8(text) ? text : TTextCodec::Cp1252ToUtf8(text),
                          TagLib::String::UTF8);
}

std::string ToUtf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

TagLib::String::Type EncodingFor(const TagLib::String& text) {
    return text.isLatin1() ? TagLib::String::Latin1 : TagLib::String::UTF16;
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

// 255, "no genre", for a name that has no number.
unsigned GenreNumber(const std::string& name) {
    const int ours = Id3v1Genres::Number(name);
    if (ours >= 0)
        return static_cast<unsigned>(ours);
    return static_cast<unsigned>(TagLib::ID3v1::genreIndex(FromUtf8(name)));
}

// Genre frames may hold ID3v1 numbers ("(17)" in v2.3, read by TagLib as "17").
std::string GenreText(const TagLib::StringList& values) {
    TagLib::StringList names;
    for (const TagLib::String& value : values) {
        const std::string text = ToUtf8(value);
        TagLib::String name = value;
        if (IsDigits(text) && text.size() <= 3) {
            name = FromUtf8(GenreName(std::stoi(text)));
            if (name.isEmpty())
                name = value;
        }
        if (!names.contains(name))
            names.append(name);
    }
    return JoinValues(names);
}

TagLib::ID3v2::CommentsFrame* FindComment(TagLib::ID3v2::Tag& tag) {
    TagLib::ID3v2::CommentsFrame* any = nullptr;
    for (TagLib::ID3v2::Frame* frame : tag.frameListMap()["COMM"]) {
        auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame);
        if (!comment || !comment->description().isEmpty())
            continue;
        if (comment->language() == "eng")
            return comment;
        if (!any)
            any = comment;
    }
    return any;
}

using TValues = std::map<std::string, std::string, std::less<>>;

void ReadId3v2(TagLib::ID3v2::Tag& tag, TValues& values) {
    const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
    for (const TFrameKey& entry : FrameKeys) {
        const auto found = frames.find(entry.FrameId);
        if (found == frames.end() || found->second.isEmpty())
            continue;
        const auto* frame =
            dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(found->second.front());
        if (!frame)
            continue;
        const std::string text = std::string_view(entry.Key) == "IGRE"
                                     ? GenreText(frame->fieldList())
                                     : JoinValues(frame->fieldList());
        if (!text.empty())
            values[entry.Key] = text;
    }
    if (const auto* comment = FindComment(tag); comment && !comment->text().isEmpty())
        values[CommentKey] = ToUtf8(comment->text());

    const auto user = frames.find("TXXX");
    if (user == frames.end())
        return;
    for (const TagLib::ID3v2::Frame* frame : user->second) {
        const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (!text)
            continue;
        const std::string key = ToUtf8(text->description());
        if (key.empty() || FrameIdOf(key) || key == CommentKey || values.count(key))
            continue;
        TagLib::StringList fields = text->fieldList();
        if (!fields.isEmpty())
            fields.erase(fields.begin()); // the description
        const std::string value = JoinValues(fields);
        if (!value.empty())
            values[key] = value;
    }
}

void ReadId3v1(const TagLib::ID3v1::Tag& tag, TValues& values) {
    const auto put = [&values](const char* key, const std::string& text) {
        if (!text.empty())
            values[key] = text;
    };
    put("DISP", ToUtf8(tag.title()));
    put("IART", ToUtf8(tag.artist()));
    put("IALB", ToUtf8(tag.album()));
    put("IYER", tag.year() ? std::to_string(tag.year()) : std::string());
    put("IGRE", GenreName(static_cast<int>(tag.genreNumber())));
}

void RemoveUserFrames(TagLib::ID3v2::Tag& tag, const TagLib::String& description) {
    while (auto* frame = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, description))
        tag.removeFrame(frame);
}

void SetTextFrame(TagLib::ID3v2::Tag& tag, const char* frameId, const TagLib::String& value) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(frameId, EncodingFor(value));
    frame->setText(value);
    tag.addFrame(frame);
}

void SetComment(TagLib::ID3v2::Tag& tag, const TagLib::String& value) {
    while (auto* comment = FindComment(tag))
        tag.removeFrame(comment);
    if (value.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::CommentsFrame(EncodingFor(value));
    frame->setLanguage("eng");
    frame->setText(value);
    tag.addFrame(frame);
}

// One key into an ID3v2 tag; an absent value removes the key's frames.
void ApplyToId3v2(TagLib::ID3v2::Tag& tag, const std::string& key,
                  const std::optional<std::string>& value) {
    const TagLib::String text = value ? FromUtf8(*value) : TagLib::String();
    if (key == CommentKey) {
        SetComment(tag, text);
        return;
    }
    const char* frameId = FrameIdOf(key);
    if (!frameId) {
        const TagLib::String description = FromUtf8(key);
        RemoveUserFrames(tag, description);
        if (!text.isEmpty()) {
            tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(
                description, TagLib::StringList(text),
                EncodingFor(TagLib::String(description).append(text))));
        }
        return;
    }
    tag.removeFrames(frameId);
    if (key == "IYER")
        tag.removeFrames("TYER");
    if (!text.isEmpty())
        SetTextFrame(tag, frameId, text);
}

// True when TagLib turns the recording time into version 2.3 year, date and time frames
// without loss: "yyyy", "yyyy-MM-dd" or "yyyy-MM-ddTHH:mm".
bool IsPlainRecordingTime(const std::string& text) {
    const std::string_view pattern = "dddd-dd-ddTdd:dd";
    if (text.size() != 4 && text.size() != 10 && text.size() != 16)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool ok =
            pattern[i] == 'd' ? (text[i] >= '0' && text[i] <= '9') : text[i] == pattern[i];
        if (!ok)
            return false;
    }
    return true;
}

// Rendering as version 2.3 keeps only the first four characters of any other year text;
// such a year goes to the year frame whole instead.
void KeepYearWhole(TagLib::ID3v2::Tag& tag) {
    const TagLib::ID3v2::FrameList frames = tag.frameListMap()["TDRC"];
    for (TagLib::ID3v2::Frame* frame : frames) {
        const TagLib::String text = frame->toString();
        if (IsPlainRecordingTime(ToUtf8(text)))
            continue;
        tag.removeFrame(frame);
        SetTextFrame(tag, "TYER", text);
    }
}

std::string RenderVersion23(TagLib::ID3v2::Tag& tag) {
    KeepYearWhole(tag);
    const TagLib::ByteVector data = tag.render(TagLib::ID3v2::v3);
    return std::string(data.data(), data.size());
}

void ApplyToId3v1(TagLib::ID3v1::Tag& tag, const std::string& key, const std::string& value) {
    const TagLib::String text = FromUtf8(value);
    if (key == "DISP") {
        tag.setTitle(text);
    } else if (key == "IART") {
        tag.setArtist(text);
    } else if (key == "IALB") {
        tag.setAlbum(text);
    } else if (key == "IYER") {
        // The field holds four digits; anything else leaves it empty.
        const bool digits = IsDigits(value) && value.size() <= 4;
        tag.setYear(digits ? static_cast<unsigned>(std::stoul(value)) : 0);
    } else if (key == "IGRE") {
        tag.setGenreNumber(GenreNumber(value));
    }
}

// Where TagLib found the ID3v2 tag: normally at the start, possibly after leading junk.
std::optional<uint64_t> FindId3v2(const std::string& path, unsigned completeSize) {
    std::ifstream in(path, std::ios::binary);
    std::string head(65536, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    for (size_t at = head.find("ID3"); at != std::string::npos; at = head.find("ID3", at + 1)) {
        if (at + TagLib::ID3v2::Header::size() > head.size())
            break;
        const TagLib::ID3v2::Header header(
            TagLib::ByteVector(head.data() + at, TagLib::ID3v2::Header::size()));
        if (header.completeTagSize() == completeSize)
            return at;
    }
    return std::nullopt;
}

uint64_t FileSize(TagLib::MPEG::File& file) {
    const long size = file.length();
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

struct TOpenFile {
    std::unique_ptr<TagLib::FileStream> Stream;
    std::unique_ptr<TagLib::MPEG::File> File;
};

// Opens read-only and without reading audio properties: only tags are looked at.
std::optional<TOpenFile> OpenRead(const std::string& path) {
    SilenceTagLib();
    TOpenFile open;
    open.Stream = std::make_unique<TagLib::FileStream>(path.c_str(), true);
    if (!open.Stream->isOpen())
        return std::nullopt;
    open.File = std::make_unique<TagLib::MPEG::File>(
        open.Stream.get(), TagLib::ID3v2::FrameFactory::instance(), false);
    if (!open.File->isValid())
        return std::nullopt;
    return open;
}

class TMpegTagStore : public TTagStore {
public:
    TMpegTagStore(std::string path, bool hasId3v2, TValues values)
        : Path(std::move(path)), Id3v2(hasId3v2), Values(std::move(values)) {}

    std::string GetTag(std::string_view key) const override {
        const auto found = Values.find(key);
        return found == Values.end() ? std::string() : found->second;
    }

    void SetTag(std::string_view key, std::string value) override {
        if (!Id3v2 && !IsId3v1Key(key))
            return;
        if (value.empty()) {
            RemoveTag(key);
            return;
        }
        const auto found = Values.find(key);
        if (found != Values.end() && found->second == value)
            return;
        Values[std::string(key)] = std::move(value);
        Changed.emplace(key);
    }

    void RemoveTag(std::string_view key) override {
        const auto found = Values.find(key);
        if (found == Values.end())
            return;
        Values.erase(found);
        Changed.emplace(key);
    }

    std::string GetChunk(std::string_view chunkId) const override { return GetTag(chunkId); }
    void SetChunk(std::string_view chunkId, std::string value) override {
        SetTag(chunkId, std::move(value));
    }

    bool HasId3v2() const override { return Id3v2; }

    bool Commit() override {
        if (Changed.empty())
            return true;
        if (!(Id3v2 ? CommitId3v2() : CommitId3v1()))
            return false;
        Changed.clear();
        return true;
    }

private:
    std::optional<std::string> ValueOf(const std::string& key) const {
        const auto found = Values.find(key);
        return found == Values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    bool CommitId3v2() {
        auto open = OpenRead(Path);
        if (!open || !open->File->hasID3v2Tag())
            return false;
        TagLib::ID3v2::Tag& tag = *open->File->ID3v2Tag();
        const unsigned oldSize = tag.header()->completeTagSize();
        const auto location = FindId3v2(Path, oldSize);
        const uint64_t size = FileSize(*open->File);
        if (!location || *location + oldSize > size)
            return false;
        for (const std::string& key : Changed)
            ApplyToId3v2(tag, key, ValueOf(key));
        const std::string rendered = RenderVersion23(tag);
        open.reset();

        std::vector<TMpegPiece> pieces;
        if (*location > 0)
            pieces.push_back(TMpegPiece::Source(0, *location));
        pieces.push_back(TMpegPiece::Data(rendered));
        pieces.push_back(TMpegPiece::Source(*location + oldSize, size - *location - oldSize));
        return RewriteMpegFile(Path, pieces);
    }

    bool CommitId3v1() {
        auto open = OpenRead(Path);
        if (!open || open->File->hasID3v2Tag())
            return false;
        const bool hadTag = open->File->hasID3v1Tag();
        const uint64_t size = FileSize(*open->File);
        TagLib::ID3v1::Tag& tag = *open->File->ID3v1Tag(true);
        for (const std::string& key : Changed)
            ApplyToId3v1(tag, key, ValueOf(key).value_or(std::string()));
        const TagLib::ByteVector data = tag.render();
        const std::string rendered(data.data(), data.size());
        open.reset();
        if (hadTag && size < 128)
            return false;
        return RewriteMpegFile(
            Path, {TMpegPiece::Source(0, hadTag ? size - 128 : size), TMpegPiece::Data(rendered)});
    }

    std::string Path;
    bool Id3v2;
    TValues Values;
    std::set<std::string, std::less<>> Changed;
};

} // namespace

std::unique_ptr<TTagStore> OpenMpegTagStore(const std::string& path) {
    auto open = OpenRead(path);
    if (!open)
        return nullptr;
    TValues values;
    const bool hasId3v2 = open->File->hasID3v2Tag();
    if (hasId3v2)
        ReadId3v2(*open->File->ID3v2Tag(), values);
    else if (open->File->hasID3v1Tag())
        ReadId3v1(*open->File->ID3v1Tag(), values);
    return std::make_unique<TMpegTagStore>(path, hasId3v2, std::move(values));
}

bool AddId3v2Tag(const std::string& path) {
    if (!LooksLikeMpeg(path))
        return false;
    auto open = OpenRead(path);
    if (!open)
        return false;
    if (open->File->hasID3v2Tag())
        return true;
    const uint64_t size = FileSize(*open->File);

    TagLib::ID3v2::Tag tag;
    if (const TagLib::ID3v1::Tag* old =
            open->File->hasID3v1Tag() ? open->File->ID3v1Tag() : nullptr) {
        TValues values;
        ReadId3v1(*old, values);
        if (!old->comment().isEmpty())
            values[CommentKey] = ToUtf8(old->comment());
        if (old->track())
            values["ITRK"] = std::to_string(old->track());
        for (const auto& [key, value] : values)
            ApplyToId3v2(tag, key, value);
    }
    // Written even when empty, so that the file now carries an ID3v2 tag.
    const std::string rendered = RenderVersion23(tag);
    open.reset();
    return RewriteMpegFile(path, {TMpegPiece::Data(rendered), TMpegPiece::Source(0, size)});
}

} // namespace riffkit
