// The MPEG half of the tagging library: content detection, the ID3v2 and ID3v1 mappings,
// adding an ID3v2 tag, and the crash-safe commit.
#include "MpegTagStore.h"
#include "Id3v1Genres.h"
#include "TagError.h"

#include "AudioFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <sndfile.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace riffkit;
namespace fs = std::filesystem;

namespace {

// The 35 keys of the catalogue.
const char* const AllKeys[] = {
    "DISP", "IART", "ISRC", "BFAD", "ISRF", "IMED", "HKST", "HKEN", "IGNR", "BSTM", "IKEY", "BETM",
    "BSTW", "BETW", "IALB", "IYER", "IGRE", "ITRK", "IENG", "ITCH", "ICOM", "IPUB", "BCPR", "ICMT",
    "INAM", "ICOP", "ISFT", "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO", "IBPM"};

using TBytes = std::vector<uint8_t>;

// Silent MPEG-1 Layer III frames, 128 kbit/s at 44.1 kHz: 417 bytes each.
TBytes Frames(int count) {
    TBytes frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x44;
    TBytes out;
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

TBytes Id3v1(const std::string& title, const std::string& artist, const std::string& album,
             const std::string& year, const std::string& comment, uint8_t track, uint8_t genre) {
    TBytes tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    const auto put = [&tag](size_t at, const std::string& text, size_t width) {
        std::memcpy(tag.data() + at, text.data(), std::min(text.size(), width));
    };
    put(3, title, 30);
    put(33, artist, 30);
    put(63, album, 30);
    put(93, year, 4);
    put(97, comment, 28);
    tag[126] = track;
    tag[127] = genre;
    return tag;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const TBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The file's bytes without a leading ID3v2 tag.
TBytes AfterId3v2(const TBytes& bytes) {
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0)
        return bytes;
    const size_t size = 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 |
                              (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
    return TBytes(bytes.begin() + static_cast<long>(size), bytes.end());
}

std::unique_ptr<TTagStore> Open(const std::string& path) {
    auto store = OpenMpegTagStore(path);
    EXPECT_TRUE(store) << path;
    return store;
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

class MpegTagStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        Mp3 = Dir.File("tone.mp3");
        ASSERT_TRUE(Fixtures::WriteMp3(Mp3, {44100, 2, 0.5, 440.0}, false));
    }

    TTempDir Dir;
    std::string Mp3;
};

TEST(MpegSnifferTest, DecidesByContent) {
    TTempDir dir;
    const TBytes text(2000, 'a');
    TBytes junkThenFrames = Concat({TBytes(3000, 0x20), Frames(3)});
    // A lone frame sync in other data, not followed by a second frame.
    TBytes strayByte = text;
    strayByte[100] = 0xFF;
    strayByte[101] = 0xFB;
    strayByte[102] = 0x90;
    strayByte[103] = 0x44;
    TBytes riffMpeg =
        Concat({TBytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, Frames(4)});
    TBytes id3v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    const struct {
        const char* Name;
        TBytes Bytes;
        bool Mpeg;
    } cases[] = {
        {"frames.bin", Frames(3), true},
        {"one-frame.bin", Frames(1), true},
        {"junk-then-frames.bin", junkThenFrames, true},
        {"id3v2-header.bin", Concat({id3v2, text}), true},
        {"id3v1-only.bin", Concat({text, Id3v1("t", "", "", "", "", 0, 0)}), true},
        {"text.mp3", text, false},
        {"stray-sync.mp3", strayByte, false},
        {"riff-with-mpeg.mp3", riffMpeg, false},
        {"empty.mp3", {}, false},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(c.Name);
        ASSERT_TRUE(Fixtures::WriteBytes(path, c.Bytes));
        EXPECT_EQ(LooksLikeMpeg(path), c.Mpeg) << c.Name;
    }
    EXPECT_FALSE(LooksLikeMpeg(dir.File("missing.mp3")));

    // Real encoder output, whatever the extension.
    const std::string mp2 = dir.File("tone.tmc");
    ASSERT_TRUE(Fixtures::WriteMp2(mp2, {}));
    EXPECT_TRUE(LooksLikeMpeg(mp2));
    const std::string mp3 = dir.File("tone.wav");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, {}, true));
    EXPECT_TRUE(LooksLikeMpeg(mp3));
}

TEST(Id3v1GenresTest, NamesAndNumbers) {
    EXPECT_EQ(Id3v1Genres::Name(0), "Blues");
    EXPECT_EQ(Id3v1Genres::Name(29), "Juzz+Funk");
    EXPECT_EQ(Id3v1Genres::Name(59), "Gangsta ");
    EXPECT_EQ(Id3v1Genres::Name(123), "Acapella");
    EXPECT_EQ(Id3v1Genres::Name(147), "Synthpop");
    EXPECT_EQ(Id3v1Genres::Name(148), "");
    EXPECT_EQ(Id3v1Genres::Name(255), "");
    EXPECT_EQ(Id3v1Genres::Name(-1), "");

    const struct {
        const char* Name;
        int Number;
    } cases[] = {
        {"Juzz+Funk", 29}, {"juzz+funk", 29},        {"Jazz+Funk", 29},  {"Gangsta ", 59},
        {"Gangsta", 59},   {"Musical", 77},          {"Big band", 96},   {"Psychadelic Rock", 93},
        {"Rock", 17},      {"Alternative Rock", 40}, {"Worldbeat", 133}, {"Hand typed", -1},
        {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(Id3v1Genres::Number(c.Name), c.Number) << c.Name;
    for (int i = 0; i < Id3v1Genres::Count; ++i)
        EXPECT_EQ(Id3v1Genres::Number(Id3v1Genres::Name(i)), i) << i;
}

TEST_F(MpegTagStoreTest, Id3v2RoundTripOfEveryKey) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    const TBytes audio = AfterId3v2(Fixtures::ReadBytes(Mp3));

    auto valueOf = [](const std::string& key) {
        if (key == "ICMT")
            return std::string("first line\r\nsecond line");
        if (key == "IYER")
            return std::string("1999");
        if (key == "IGRE")
            return std::string("Juzz+Funk");
        return key + " value \xC3\xA4\xE2\x9C\x93"; // a-umlaut and a check mark
    };
    {
        auto store = Open(Mp3);
        ASSERT_TRUE(store->HasId3v2());
        for (const char* key : AllKeys) {
            if (std::string(key) == "DISP")
                store->SetChunk(key, valueOf(key));
            else
                store->SetTag(key, valueOf(key));
        }
        ASSERT_TRUE(store->Commit());
    }
    auto store = Open(Mp3);
    for (const char* key : AllKeys)
        EXPECT_EQ(store->GetTag(key), valueOf(key)) << key;
    EXPECT_EQ(store->GetChunk("DISP"), valueOf("DISP"));

    // Audio untouched; a version 2.3 tag with the agreed frames.
    EXPECT_EQ(AfterId3v2(Fixtures::ReadBytes(Mp3)), audio);
    TagLib::MPEG::File file(Mp3.c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->header()->majorVersion(), 3u);
    const struct {
        const char* Frame;
        const char* Key;
    } frames[] = {{"TIT2", "DISP"}, {"TPE1", "IART"}, {"TALB", "IALB"}, {"TCON", "IGRE"},
                  {"TRCK", "ITRK"}, {"TCOM", "ICOM"}, {"TPUB", "IPUB"}, {"TCOP", "BCPR"},
                  {"TBPM", "IBPM"}, {"TDRC", "IYER"}};
    for (const auto& f : frames) {
        const auto& list = tag->frameListMap()[f.Frame];
        ASSERT_EQ(list.size(), 1u) << f.Frame;
        EXPECT_EQ(list.front()->toString().to8Bit(true), valueOf(f.Key)) << f.Frame;
    }
    auto* comment = TagLib::ID3v2::CommentsFrame::findByDescription(tag, "");
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->language(), TagLib::ByteVector("eng"));
    EXPECT_EQ(comment->text().to8Bit(true), valueOf("ICMT"));
    auto* outCue = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "INAM");
    ASSERT_TRUE(outCue);
    EXPECT_EQ(outCue->fieldList().back().to8Bit(true), valueOf("INAM"));
    EXPECT_EQ(TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "DISP"), nullptr);
}

TEST_F(MpegTagStoreTest, Id3v2RemovesAndKeepsOddValuesWhole) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    {
        auto store = Open(Mp3);
        store->SetTag("IYER", "Summer '69");
        store->SetTag("ISRC", "NEWS");
        store->SetTag("IALB", "Album");
        store->SetTag("ICMT", "note");
        ASSERT_TRUE(store->Commit());
    }
    {
        auto store = Open(Mp3);
        EXPECT_EQ(store->GetTag("IYER"), "Summer '69");
        store->RemoveTag("ISRC");
        store->SetTag("IALB", "");
        store->RemoveTag("ICMT");
        store->RemoveTag("IURL"); // absent
        ASSERT_TRUE(store->Commit());
    }
    auto store = Open(Mp3);
    EXPECT_EQ(store->GetTag("ISRC"), "");
    EXPECT_EQ(store->GetTag("IALB"), "");
    EXPECT_EQ(store->GetTag("ICMT"), "");
    EXPECT_EQ(store->GetTag("IYER"), "Summer '69");
    EXPECT_TRUE(store->HasId3v2());
}

TEST_F(MpegTagStoreTest, Id3v1OnlyFileHoldsItsSevenFieldsAndRefusesOtherKeys) {
    const TBytes audio = Frames(20);
    ASSERT_TRUE(
        Fixtures::WriteBytes(Mp3, Concat({audio, Id3v1("Old title", "Old artist", "Old album",
                                                       "1987", "Old comment", 4, 29)})));
    {
        auto store = Open(Mp3);
        EXPECT_FALSE(store->HasId3v2());
        EXPECT_EQ(store->GetChunk("DISP"), "Old title");
        EXPECT_EQ(store->GetTag("IART"), "Old artist");
        EXPECT_EQ(store->GetTag("IALB"), "Old album");
        EXPECT_EQ(store->GetTag("IYER"), "1987");
        EXPECT_EQ(store->GetTag("IGRE"), "Juzz+Funk");
        EXPECT_EQ(store->GetTag("ICMT"), "Old comment");
        EXPECT_EQ(store->GetTag("ITRK"), "4");

        store->SetChunk("DISP", "New title");
        store->SetTag("IART", "New artist");
        store->SetTag("IALB", "New album");
        store->SetTag("IYER", "2004");
        store->SetTag("IGRE", "Gangsta ");
        store->SetTag("ICMT", "New comment");
        store->SetTag("ITRK", "12");
        ASSERT_TRUE(store->Commit());
    }
    const TBytes bytes = Fixtures::ReadBytes(Mp3);
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin()));
    EXPECT_EQ(bytes.back(), 59);            // genre number
    EXPECT_EQ(bytes[bytes.size() - 2], 12); // ID3v1.1 track byte
    EXPECT_EQ(bytes[bytes.size() - 3], 0);  // and the zero before it
    EXPECT_EQ(std::string(bytes.end() - 31, bytes.end() - 3).substr(0, 12),
              std::string("New comment", 12));

    auto store = Open(Mp3);
    EXPECT_FALSE(store->HasId3v2());
    EXPECT_EQ(store->GetChunk("DISP"), "New title");
    EXPECT_EQ(store->GetTag("IGRE"), "Gangsta ");
    EXPECT_EQ(store->GetTag("ITRK"), "12");
    // The stored forms of nothing the editor writes for every file are no change.
    {
        auto blanks = Open(Mp3);
        blanks->SetTag("IGNR", " ");
        blanks->SetTag("BFAD", "0");
        EXPECT_TRUE(blanks->Commit());
        EXPECT_EQ(Fixtures::ReadBytes(Mp3), bytes);
    }
    // Keys without an ID3v1 field are refused by name; nothing is written.
    for (const char* key : {"IENG", "INAM", "BFAD"}) {
        auto other = Open(Mp3);
        other->SetTag(key, "value");
        riffkit::TTagError::Clear();
        EXPECT_FALSE(other->Commit());
        EXPECT_NE(riffkit::TTagError::Text().find(key), std::string::npos)
            << riffkit::TTagError::Text();
        EXPECT_EQ(Fixtures::ReadBytes(Mp3), bytes);
    }
}

TEST_F(MpegTagStoreTest, FileWithoutTagsGetsAnId3v1Tag) {
    const TBytes audio = Frames(10);
    ASSERT_TRUE(Fixtures::WriteBytes(Mp3, audio));
    {
        auto store = Open(Mp3);
        EXPECT_FALSE(store->HasId3v2());
        EXPECT_EQ(store->GetChunk("DISP"), "");
        store->SetChunk("DISP", " ");
        ASSERT_TRUE(store->Commit());
    }
    const TBytes bytes = Fixtures::ReadBytes(Mp3);
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin()));
    EXPECT_EQ(Open(Mp3)->GetChunk("DISP"), "");
}

TEST_F(MpegTagStoreTest, Id3v1GenreByteFromName) {
    ASSERT_TRUE(Fixtures::WriteBytes(Mp3, Frames(10)));
    const struct {
        const char* Written;
        uint8_t Byte;
        const char* Read;
    } cases[] = {{"jazz+funk", 29, "Juzz+Funk"},
                 {"Dubstep", 189, "Dubstep"}, // later Winamp numbers
                 {"", 255, ""}};
    for (const auto& c : cases) {
        {
            auto store = Open(Mp3);
            store->SetTag("IGRE", c.Written);
            ASSERT_TRUE(store->Commit());
        }
        EXPECT_EQ(Fixtures::ReadBytes(Mp3).back(), c.Byte) << c.Written;
        EXPECT_EQ(Open(Mp3)->GetTag("IGRE"), c.Read) << c.Written;
    }
}

TEST_F(MpegTagStoreTest, AddId3v2CarriesId3v1Values) {
    const TBytes v1 = Id3v1("Title", "Artist", "Album", "1999", "Comment", 7, 93);
    const TBytes original = Concat({Frames(12), v1});
    ASSERT_TRUE(Fixtures::WriteBytes(Mp3, original));

    ASSERT_TRUE(AddId3v2Tag(Mp3));
    EXPECT_EQ(AfterId3v2(Fixtures::ReadBytes(Mp3)), original); // ID3v1 tag kept
    auto store = Open(Mp3);
    EXPECT_TRUE(store->HasId3v2());
    EXPECT_EQ(store->GetChunk("DISP"), "Title");
    EXPECT_EQ(store->GetTag("IART"), "Artist");
    EXPECT_EQ(store->GetTag("IALB"), "Album");
    EXPECT_EQ(store->GetTag("IYER"), "1999");
    EXPECT_EQ(store->GetTag("IGRE"), "Psychadelic Rock");
    EXPECT_EQ(store->GetTag("ICMT"), "Comment");
    EXPECT_EQ(store->GetTag("ITRK"), "7");

    // A second call finds the tag and leaves the file alone.
    const ino_t inode = Inode(Mp3);
    EXPECT_TRUE(AddId3v2Tag(Mp3));
    EXPECT_EQ(Inode(Mp3), inode);
}

TEST_F(MpegTagStoreTest, AddId3v2ToUntaggedFileAndRefusals) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    auto store = Open(Mp3);
    EXPECT_TRUE(store->HasId3v2());

    // Not MPEG audio: refused, file unchanged.
    const std::string wav = Dir.File("tone.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, {}, SF_FORMAT_PCM_16));
    const TBytes wavBytes = Fixtures::ReadBytes(wav);
    EXPECT_FALSE(AddId3v2Tag(wav));
    EXPECT_EQ(Fixtures::ReadBytes(wav), wavBytes);
    EXPECT_FALSE(AddId3v2Tag(Dir.File("missing.mp3")));
}

TEST_F(MpegTagStoreTest, UnchangedValuesWriteNothingAndKeepVersion24) {
    {
        TagLib::MPEG::File file(Mp3.c_str(), false);
        file.ID3v2Tag(true)->setTitle("Title");
        file.ID3v2Tag()->setArtist("Artist");
        ASSERT_TRUE(
            file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4));
    }
    const TBytes before = Fixtures::ReadBytes(Mp3);
    const ino_t inode = Inode(Mp3);
    {
        auto store = Open(Mp3);
        store->SetChunk("DISP", "Title"); // the editor writes every key back on save
        store->SetTag("IART", "Artist");
        store->RemoveTag("IALB");
        EXPECT_TRUE(store->Commit());
    }
    EXPECT_EQ(Inode(Mp3), inode);
    EXPECT_EQ(Fixtures::ReadBytes(Mp3), before);
    {
        auto store = Open(Mp3);
        store->SetTag("IART", "Other");
        EXPECT_TRUE(store->Commit());
        EXPECT_TRUE(store->Commit()); // nothing left to write
    }
    const TBytes after = Fixtures::ReadBytes(Mp3);
    EXPECT_EQ(after[3], 4); // still version 2.4
    EXPECT_EQ(AfterId3v2(after), AfterId3v2(before));
    EXPECT_EQ(Open(Mp3)->GetChunk("DISP"), "Title");
}

TEST_F(MpegTagStoreTest, CommitKeepsModeAndLinks) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    ASSERT_EQ(::chmod(Mp3.c_str(), 0640), 0);
    const std::string link = Dir.File("link.mp3");
    fs::create_symlink(Mp3, link);
    {
        auto store = Open(link);
        store->SetChunk("DISP", "Through the link");
        ASSERT_TRUE(store->Commit());
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Open(Mp3)->GetChunk("DISP"), "Through the link");
    struct stat info {};
    ASSERT_EQ(::stat(Mp3.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 2);
}

// Writes fail part-way (file size limit); the original stays as it was and no temporary
// file is left behind.
TEST_F(MpegTagStoreTest, FailedWriteLeavesOriginal) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    const TBytes before = Fixtures::ReadBytes(Mp3);
    auto store = Open(Mp3);
    store->SetTag("ICMT", std::string(5000, 'x'));
    store->SetChunk("DISP", "New");

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = before.size() / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool committed = store->Commit();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(committed);
    EXPECT_EQ(Fixtures::ReadBytes(Mp3), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 1);
    // The changes are still pending and go in once writing works again.
    EXPECT_TRUE(store->Commit());
    EXPECT_EQ(Open(Mp3)->GetChunk("DISP"), "New");
}

TEST_F(MpegTagStoreTest, DamagedFilesDoNotOpenOrCrash) {
    ASSERT_TRUE(AddId3v2Tag(Mp3));
    const TBytes tagged = Fixtures::ReadBytes(Mp3);
    // A tag header claiming far more than the file holds, and a file cut inside the tag.
    TBytes oversized = tagged;
    oversized[6] = 0x7F;
    TBytes cut(tagged.begin(), tagged.begin() + 40);
    for (const TBytes& damaged : {oversized, cut, TBytes{}}) {
        ASSERT_TRUE(Fixtures::WriteBytes(Mp3, damaged));
        if (auto store = OpenMpegTagStore(Mp3)) {
            store->SetChunk("DISP", "x");
            store->Commit();
        }
    }
    EXPECT_EQ(OpenMpegTagStore(Dir.File("missing.mp3")), nullptr);
}

} // namespace
