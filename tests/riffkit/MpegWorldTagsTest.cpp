// MPEG tags as other programs leave them: two leading ID3v2 tags (also of two versions),
// an ID3v1 tag beside an ID3v2 one that says more, a tag after leading junk.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Frames(int count) {
    TBytes out;
    for (int i = 0; i < count; ++i) {
        TBytes frame(417, static_cast<uint8_t>(i * 5 + 2));
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x44;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const TBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// An ID3v2 tag rendered by TagLib with the given frames.
TBytes Tag(TagLib::ID3v2::Version version, const std::function<void(TagLib::ID3v2::Tag&)>& fill) {
    TagLib::ID3v2::Tag tag;
    fill(tag);
    const TagLib::ByteVector bytes = tag.render(version);
    return TBytes(bytes.data(), bytes.data() + bytes.size());
}

TagLib::ID3v2::Frame* UserText(const std::string& description, const std::string& value) {
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
    frame->setDescription(TagLib::String(description, TagLib::String::UTF8));
    frame->setText(TagLib::String(value, TagLib::String::UTF8));
    return frame;
}

TagLib::ID3v2::Frame* Comment(const char* language, const std::string& description,
                              const std::string& text) {
    auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::Latin1);
    frame->setLanguage(TagLib::ByteVector(language, 3));
    frame->setDescription(description);
    frame->setText(text);
    return frame;
}

TagLib::ID3v2::Frame* Text(const char* id, const std::string& text) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
    frame->setText(text);
    return frame;
}

TBytes Id3v1(const std::string& title, const std::string& artist, const std::string& comment,
             uint8_t track, uint8_t genre) {
    TBytes tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), title.size());
    std::memcpy(tag.data() + 33, artist.data(), artist.size());
    std::memcpy(tag.data() + 63, "Album v1", 8);
    std::memcpy(tag.data() + 93, "1977", 4);
    std::memcpy(tag.data() + 97, comment.data(), comment.size());
    tag[126] = track;
    tag[127] = genre;
    return tag;
}

std::string Save(const std::string& path,
                 const std::vector<std::pair<const char*, std::string>>& values) {
    if (OpenWavFile(path.c_str(), 0, 0) != 0)
        return "open failed";
    for (const auto& [key, value] : values)
        SetTagInfo(key, value.data(), static_cast<uint16_t>(value.size()));
    if (CloseWavFile() == 0)
        return std::string();
    char reason[512] = {};
    GetTagLastError(reason, sizeof reason);
    return reason;
}

// TagLib's reading of the first tag: the frames of an id as "description=text" lines.
std::vector<std::string> FramesOf(const std::string& path, const char* id) {
    TagLib::MPEG::File file(path.c_str(), false);
    std::vector<std::string> out;
    for (auto* frame : file.ID3v2Tag()->frameList(id)) {
        if (auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
            out.push_back(user->description().to8Bit(true) + "=" +
                          user->fieldList().back().to8Bit(true));
        else if (auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame))
            out.push_back(std::string(comment->language().data(), 3) + ":" +
                          comment->description().to8Bit(true) + "=" + comment->text().to8Bit(true));
        else
            out.push_back(frame->toString().to8Bit(true));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class MpegWorldTagsTest : public ::testing::Test {
protected:
    void TearDown() override { CloseWavFile(); }
    TTempDir Dir;
    const std::string Path = Dir.File("world.mp3");
};

TEST_F(MpegWorldTagsTest, SecondLeadingTagIsMergedByFrameIdentityAcrossVersions) {
    const TBytes first = Tag(TagLib::ID3v2::v3, [](TagLib::ID3v2::Tag& t) {
        t.addFrame(Text("TIT2", "First title"));
        t.addFrame(UserText("OTHER", "kept"));
        t.addFrame(Comment("eng", "", "English comment"));
    });
    for (auto version : {TagLib::ID3v2::v3, TagLib::ID3v2::v4}) {
        SCOPED_TRACE(version == TagLib::ID3v2::v3 ? "second tag v2.3" : "second tag v2.4");
        const TBytes second = Tag(version, [](TagLib::ID3v2::Tag& t) {
            t.addFrame(Text("TIT2", "Second title"));
            t.addFrame(UserText("MOOD", "calm"));
            t.addFrame(Comment("deu", "", "Deutscher Kommentar"));
            t.addFrame(Text("TPE1", "Second artist"));
        });
        ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({first, second, Frames(20)})));
        ASSERT_EQ(Save(Path, {{"IENG", "Engineer"}}), "");
        EXPECT_EQ(FramesOf(Path, "TIT2"), std::vector<std::string>{"First title"});
        EXPECT_EQ(FramesOf(Path, "TPE1"), std::vector<std::string>{"Second artist"});
        EXPECT_EQ(FramesOf(Path, "TXXX"),
                  (std::vector<std::string>{"IENG=Engineer", "MOOD=calm", "OTHER=kept"}));
        EXPECT_EQ(FramesOf(Path, "COMM"),
                  (std::vector<std::string>{"deu:=Deutscher Kommentar", "eng:=English comment"}));
        TagLib::MPEG::File file(Path.c_str(), false);
        EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 3u);
    }
    // A frame version 2.3 has no id for is not dropped: the save is refused by its name.
    const TBytes second = Tag(
        TagLib::ID3v2::v4, [](TagLib::ID3v2::Tag& t) { t.addFrame(Text("TMOO", "Melancholic")); });
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({first, second, Frames(20)})));
    const auto before = Fixtures::ReadBytes(Path);
    const std::string reason = Save(Path, {{"IENG", "Engineer"}});
    EXPECT_NE(reason.find("TMOO"), std::string::npos) << reason;
    EXPECT_EQ(Fixtures::ReadBytes(Path), before);
}

TEST_F(MpegWorldTagsTest, Id3v1ChangesOnlyInTheFieldsOfTheKeysWritten) {
    const TBytes v2 = Tag(TagLib::ID3v2::v3, [](TagLib::ID3v2::Tag& t) {
        t.addFrame(Text("TIT2", "Title"));
        // What ffmpeg writes for the ID3v1 comment: a description, so not our comment.
        t.addFrame(Comment("eng", "ID3v1 Comment", "v1 comment"));
    });
    const TBytes v1 = Id3v1("Title", "Artist v1", "v1 comment", 3, 17);
    const struct {
        const char* Key;
        const char* Value;
        size_t Field, Width; // the ID3v1 bytes allowed to change
        const char* Bytes;
    } cases[] = {
        {"IENG", "Engineer", 0, 0, ""},
        {"DISP", "New title", 3, 30, "New title"},
        {"ITRK", "7/12", 126, 1, "\x07"},
        {"ICMT", "Our comment", 97, 28, "Our comment"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Key);
        ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({v2, Frames(10), v1})));
        ASSERT_EQ(Save(Path, {{c.Key, c.Value}}), "");
        const auto bytes = Fixtures::ReadBytes(Path);
        TBytes expected = v1;
        const size_t length = std::strlen(c.Bytes);
        for (size_t i = 0; i < c.Width; ++i)
            expected[c.Field + i] = i < length ? static_cast<uint8_t>(c.Bytes[i]) : 0;
        EXPECT_EQ(TBytes(bytes.end() - 128, bytes.end()), expected);
    }
}

TEST_F(MpegWorldTagsTest, TagAfterLeadingJunkIsUpdatedInPlace) {
    TBytes junk(2048);
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<uint8_t>("garbage!"[i % 8]);
    const TBytes tag = Tag(TagLib::ID3v2::v3, [](TagLib::ID3v2::Tag& t) {
        t.addFrame(Text("TIT2", "Junk title"));
        t.addFrame(Text("TPE1", "Junk artist"));
    });
    const TBytes audio = Frames(20);
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({junk, tag, audio})));
    ASSERT_EQ(OpenWavFile(Path.c_str(), 0, 0), 0);
    char title[64] = {};
    GetChunkInfo("DISP", title, sizeof title);
    EXPECT_STREQ(title, "Junk title");
    CloseWavFile();
    for (const char* newTitle : {"Short", "A title long enough to grow the tag past its size"}) {
        ASSERT_EQ(Save(Path, {{"DISP", newTitle}}), "");
        const auto bytes = Fixtures::ReadBytes(Path);
        // One tag, still after the junk; the audio whole at the end.
        EXPECT_TRUE(std::equal(junk.begin(), junk.end(), bytes.begin()));
        size_t tags = 0;
        for (size_t i = 0; i + 3 <= bytes.size(); ++i)
            tags += std::memcmp(&bytes[i], "ID3", 3) == 0;
        EXPECT_EQ(tags, 1u);
        EXPECT_TRUE(std::equal(audio.rbegin(), audio.rend(), bytes.rbegin()));
        TagLib::MPEG::File file(Path.c_str(), false);
        EXPECT_EQ(file.tag()->title().to8Bit(true), newTitle);
        EXPECT_EQ(file.tag()->artist().to8Bit(true), "Junk artist");
    }
}

} // namespace
