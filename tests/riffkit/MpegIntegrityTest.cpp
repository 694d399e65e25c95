// MPEG saves that must not lose or alter anything: ID3v1 text in Windows-1252 and its
// refusals, ID3v2 versions and unmanaged frames kept byte for byte, year fallbacks,
// duplicate tags, ID3v1 kept in step, the file's identity, the lock, and crash safety of
// the in-place commit at every single write.
#include "AudioFixtures.h"
#include "MemoryFileIo.h"
#include "MemoryJournal.h"
#include "MpegCommitter.h"
#include "MpegFile.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>

#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using TBytes = std::vector<uint8_t>;

// Silent MPEG-1 Layer III frames, 128 kbit/s at 44.1 kHz, each numbered in its payload so
// that a moved or damaged frame shows.
TBytes Frames(int count) {
    TBytes out;
    for (int i = 0; i < count; ++i) {
        TBytes frame(417, static_cast<uint8_t>(i * 7));
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x44;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

TBytes Id3v1(const std::string& title, const std::string& artist, uint8_t genre) {
    TBytes tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), std::min<size_t>(title.size(), 30));
    std::memcpy(tag.data() + 33, artist.data(), std::min<size_t>(artist.size(), 30));
    std::memcpy(tag.data() + 93, "1999", 4);
    tag[127] = genre;
    return tag;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const TBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TBytes FromVector(const TagLib::ByteVector& v) {
    return TBytes(v.data(), v.data() + v.size());
}

// Our own walk over a v2.3/v2.4 tag at the start: frame id to its raw bytes (header
// included), in order. Independent of the library's parser.
std::vector<std::pair<std::string, std::string>> RawFrames(const TBytes& file) {
    std::vector<std::pair<std::string, std::string>> frames;
    if (file.size() < 10 || std::memcmp(file.data(), "ID3", 3) != 0)
        return frames;
    const unsigned version = file[3];
    const auto syncsafe = [](const uint8_t* p) {
        return size_t(p[0]) << 21 | size_t(p[1]) << 14 | size_t(p[2]) << 7 | p[3];
    };
    const size_t end = 10 + syncsafe(&file[6]);
    for (size_t at = 10; at + 10 <= end && file[at] != 0;) {
        const size_t size = version == 4 ? syncsafe(&file[at + 4])
                                         : size_t(file[at + 4]) << 24 | size_t(file[at + 5]) << 16 |
                                               size_t(file[at + 6]) << 8 | file[at + 7];
        frames.emplace_back(std::string(file.begin() + at, file.begin() + at + 4),
                            std::string(file.begin() + at, file.begin() + at + 10 + size));
        at += 10 + size;
    }
    return frames;
}

size_t TagSize(const TBytes& file) {
    return 10 + (size_t(file[6]) << 21 | size_t(file[7]) << 14 | size_t(file[8]) << 7 | file[9]);
}

std::string Reason() {
    char buffer[512];
    GetTagLastError(buffer, sizeof buffer);
    return buffer;
}

void SetKey(const char* key, const std::string& value) {
    if (std::string(key) == "DISP")
        SetChunkInfo(key, value.data(), static_cast<uint16_t>(value.size()));
    else
        SetTagInfo(key, value.data(), static_cast<uint16_t>(value.size()));
}

std::string GetKey(const char* key) {
    char buffer[1024] = {};
    GetTagInfo(key, buffer, sizeof buffer);
    return buffer;
}

// A save through the C operations; the reason when it fails.
std::string Save(const std::string& path, const std::map<std::string, std::string>& values) {
    if (OpenWavFile(path.c_str(), 0, 0) != 0)
        return "open: " + Reason();
    for (const auto& [key, value] : values)
        SetKey(key.c_str(), value);
    return CloseWavFile() == 0 ? std::string() : Reason();
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

class MpegIntegrityTest : public ::testing::Test {
protected:
    void TearDown() override { CloseWavFile(); }
    TTempDir Dir;
    std::string Path = Dir.File("spot.mp3");
};

TEST_F(MpegIntegrityTest, Id3v1OnlyStoresWindows1252AndRefusesWhatItCannotHold) {
    const TBytes audio = Frames(8);
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({audio, Id3v1("Old", "Old", 17)})));
    // U+2019, U+00E9 U+2014, U+20AC: all in Windows-1252 at 0x92, 0xE9 0x97, 0x80.
    ASSERT_EQ(Save(Path, {{"DISP", "Don\xE2\x80\x99t Stop"},
                          {"IART", "Caf\xC3\xA9 \xE2\x80\x94 Live"},
                          {"IALB", "\xE2\x82\xAC"}}),
              "");
    const TBytes saved = Fixtures::ReadBytes(Path);
    ASSERT_EQ(saved.size(), audio.size() + 128);
    const std::string tag(saved.end() - 128, saved.end());
    EXPECT_EQ(tag.substr(3, 11), std::string("Don\x92t Stop\0", 11));
    EXPECT_EQ(tag.substr(33, 12), std::string("Caf\xE9 \x97 Live\0", 12));
    EXPECT_EQ(tag.substr(63, 2), std::string("\x80\0", 2));
    ASSERT_EQ(OpenWavFile(Path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetKey("DISP"), "Don\xE2\x80\x99t Stop");
    EXPECT_EQ(GetKey("IART"), "Caf\xC3\xA9 \xE2\x80\x94 Live");
    EXPECT_EQ(GetKey("IALB"), "\xE2\x82\xAC");
    CloseWavFile();

    const struct {
        const char* Key;
        std::string Value;
        const char* Reason;
    } refused[] = {
        {"DISP", "Tokyo \xE6\x9D\xB1",
         "ID3v1 cannot hold the title: character '\xE6\x9D\xB1' "
         "is not in Windows-1252"},
        {"IART", std::string(31, 'a'), "ID3v1 cannot hold the artist: it is longer than 30 bytes"},
        {"IALB", Repeat("\xC3\xA9", 31), // 62 bytes of UTF-8, 31 of Windows-1252
         "ID3v1 cannot hold the album: it is longer than 30 bytes"},
        {"IYER", "Summer '69", "ID3v1 cannot hold the year: \"Summer '69\" is not four digits"},
        {"IGRE", "Hand typed",
         "ID3v1 cannot hold the genre: \"Hand typed\" is not in the genre "
         "table"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Key);
        const char* other = std::string(r.Key) == "DISP" ? "IART" : "DISP";
        EXPECT_EQ(Save(Path, {{other, "Changed"}, {r.Key, r.Value}}).rfind(r.Reason, 0), 0u)
            << Reason();
        EXPECT_EQ(Fixtures::ReadBytes(Path), saved); // nothing written, not even the title
    }
}

TEST_F(MpegIntegrityTest, Version24KeepsItsVersionAndEveryUnmanagedFrame) {
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Frames(30)));
    {
        TagLib::MPEG::File file(Path.c_str(), false);
        auto* tag = file.ID3v2Tag(true);
        tag->setTitle("Title");
        tag->setArtist("Artist");
        for (const char* id : {"TMOO", "TDRL", "TDOR"}) {
            auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
            frame->setText(std::string(id) + " \xC3\xA9");
            tag->addFrame(frame);
        }
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType("image/png");
        picture->setPicture(TagLib::ByteVector(3000, '\xFF'));
        tag->addFrame(picture);
        tag->addFrame(
            new TagLib::ID3v2::UnknownFrame(TagLib::ByteVector("PRIV\0\0\0\x06\0\0owner\0", 16)));
        auto* german = new TagLib::ID3v2::CommentsFrame(TagLib::String::Latin1);
        german->setLanguage("deu");
        german->setText("Anmerkung");
        tag->addFrame(german);
        auto* english = new TagLib::ID3v2::CommentsFrame(TagLib::String::Latin1);
        english->setLanguage("eng");
        english->setText("Note");
        tag->addFrame(english);
        ASSERT_TRUE(
            file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4));
    }
    const TBytes before = Fixtures::ReadBytes(Path);
    const auto framesBefore = RawFrames(before);
    ASSERT_GE(framesBefore.size(), 9u);

    ASSERT_EQ(Save(Path, {{"DISP", "A new title \xE2\x9C\x93"}, {"ICMT", "New note"}}), "");
    const TBytes after = Fixtures::ReadBytes(Path);
    EXPECT_EQ(after[3], 4);
    EXPECT_EQ(TBytes(after.begin() + TagSize(after), after.end()),
              TBytes(before.begin() + TagSize(before), before.end()));
    const auto framesAfter = RawFrames(after);
    std::vector<std::pair<std::string, std::string>> keptBefore, keptAfter;
    for (const auto& f : framesBefore)
        if (f.first != "TIT2" && !(f.first == "COMM" && f.second.find("Note") != std::string::npos))
            keptBefore.push_back(f);
    for (const auto& f : framesAfter)
        if (f.first != "TIT2" &&
            !(f.first == "COMM" && f.second.find("New note") != std::string::npos))
            keptAfter.push_back(f);
    EXPECT_EQ(keptAfter, keptBefore);

    TagLib::MPEG::File file(Path.c_str(), false);
    ASSERT_TRUE(file.ID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "A new title \xE2\x9C\x93");
    EXPECT_EQ(file.ID3v2Tag()->frameListMap()["COMM"].size(), 2u);
}

TEST_F(MpegIntegrityTest, Version23StaysAndTyerIsReadInVersion24) {
    // A v2.4 tag with only the older year frame, as files in the wild have.
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Frames(10)));
    {
        TagLib::MPEG::File file(Path.c_str(), false);
        auto* year = new TagLib::ID3v2::TextIdentificationFrame("TYER", TagLib::String::Latin1);
        year->setText("1987");
        file.ID3v2Tag(true)->addFrame(year);
        ASSERT_TRUE(
            file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4));
    }
    ASSERT_EQ(OpenWavFile(Path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetKey("IYER"), "1987");
    SetKey("IYER", "1988");
    ASSERT_EQ(CloseWavFile(), 0);
    {
        TagLib::MPEG::File file(Path.c_str(), false);
        EXPECT_EQ(file.ID3v2Tag()->year(), 1988u);
        EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 4u);
    }
    // Version 2.3 stays 2.3; a full date goes to TYER and TDAT.
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Frames(10)));
    {
        TagLib::MPEG::File file(Path.c_str(), false);
        file.ID3v2Tag(true)->setTitle("T");
        ASSERT_TRUE(
            file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3));
    }
    ASSERT_EQ(Save(Path, {{"IYER", "2004-05-06"}}), "");
    const TBytes saved = Fixtures::ReadBytes(Path);
    EXPECT_EQ(saved[3], 3);
    std::map<std::string, std::string> frames;
    for (const auto& f : RawFrames(saved))
        frames[f.first] = f.second.substr(10);
    EXPECT_EQ(frames["TYER"], std::string("\0"
                                          "2004",
                                          5));
    EXPECT_EQ(frames["TDAT"], std::string("\0"
                                          "0605",
                                          5));
    ASSERT_EQ(OpenWavFile(Path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetKey("IYER"), "2004-05-06");
}

TEST_F(MpegIntegrityTest, DuplicateLeadingTagsBecomeOne) {
    TagLib::ID3v2::Tag first, second;
    first.setTitle("First");
    second.setTitle("Second");
    second.setAlbum("Only in the second");
    const TBytes audio = Frames(12);
    ASSERT_TRUE(
        Fixtures::WriteBytes(Path, Concat({FromVector(first.render(TagLib::ID3v2::v3)),
                                           FromVector(second.render(TagLib::ID3v2::v3)), audio})));
    ASSERT_EQ(OpenWavFile(Path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetKey("DISP"), "First");
    EXPECT_EQ(GetKey("IALB"), "Only in the second");
    SetKey("IART", "Artist");
    ASSERT_EQ(CloseWavFile(), 0);

    const TBytes saved = Fixtures::ReadBytes(Path);
    EXPECT_EQ(TBytes(saved.begin() + TagSize(saved), saved.end()), audio);
    TagLib::MPEG::File file(Path.c_str(), false);
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "First");
    EXPECT_EQ(file.ID3v2Tag()->artist().to8Bit(true), "Artist");
    EXPECT_EQ(file.ID3v2Tag()->album().to8Bit(true), "Only in the second");
}

TEST_F(MpegIntegrityTest, Id3v1BesideId3v2IsKeptInStep) {
    TagLib::ID3v2::Tag v2;
    v2.setTitle("Stale");
    ASSERT_TRUE(Fixtures::WriteBytes(Path, Concat({FromVector(v2.render(TagLib::ID3v2::v3)),
                                                   Frames(10), Id3v1("Stale", "Stale", 17)})));
    ASSERT_EQ(Save(Path, {{"DISP", "Fresh \xE2\x80\x99"},
                          {"IART", "A name far longer than thirty bytes, cut"},
                          {"ICMT", "Comment"},
                          {"IGRE", "Jazz"}}),
              "");
    TagLib::MPEG::File file(Path.c_str(), false);
    ASSERT_TRUE(file.hasID3v1Tag());
    const TBytes saved = Fixtures::ReadBytes(Path);
    const std::string v1(saved.end() - 128, saved.end());
    EXPECT_EQ(v1.substr(3, 8), "Fresh \x92" + std::string(1, '\0'));
    // Cut to the field; the blank it would end in is padding to every reader.
    EXPECT_EQ(v1.substr(33, 30), std::string("A name far longer than thirty\0", 30));
    EXPECT_EQ(file.ID3v1Tag()->comment().to8Bit(true), "Comment");
    EXPECT_EQ(file.ID3v1Tag()->genre().to8Bit(true), "Jazz");
    EXPECT_EQ(file.ID3v2Tag()->artist().to8Bit(true), "A name far longer than thirty bytes, cut");
}

TEST_F(MpegIntegrityTest, SaveKeepsIdentityAndGrowsWithPadding) {
    TagLib::ID3v2::Tag v2;
    v2.setTitle("T");
    ASSERT_TRUE(
        Fixtures::WriteBytes(Path, Concat({FromVector(v2.render(TagLib::ID3v2::v3)), Frames(40)})));
    ASSERT_EQ(::chmod(Path.c_str(), 0640), 0);
    const std::string link = Dir.File("hard link.mp3");
    ASSERT_EQ(::link(Path.c_str(), link.c_str()), 0);
    const bool xattrs = ::setxattr(Path.c_str(), "user.station", "kept", 4, 0) == 0;
    struct stat before {};
    ASSERT_EQ(::stat(Path.c_str(), &before), 0);

    // Grows: the audio moves once, and the tag gets room for what comes next.
    ASSERT_EQ(Save(Path, {{"ICMT", std::string(3000, 'c')}}), "");
    const TBytes grown = Fixtures::ReadBytes(Path);
    EXPECT_GE(TagSize(grown) - RawFrames(grown).size(), 3000u + 1024u);
    EXPECT_EQ(TBytes(grown.begin() + TagSize(grown), grown.end()), Frames(40));
    // Fits: the file keeps its size.
    ASSERT_EQ(Save(Path, {{"ICMT", std::string(3500, 'd')}, {"DISP", "Longer title"}}), "");
    EXPECT_EQ(Fixtures::ReadBytes(Path).size(), grown.size());

    struct stat after {};
    ASSERT_EQ(::stat(Path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(Fixtures::ReadBytes(link), Fixtures::ReadBytes(Path));
    if (xattrs) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(Path.c_str(), "user.station", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    // No journal left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 2);
}

TEST_F(MpegIntegrityTest, ReadOnlyFileAndSecondWriterAreRefused) {
    TagLib::ID3v2::Tag v2;
    v2.setTitle("T");
    ASSERT_TRUE(
        Fixtures::WriteBytes(Path, Concat({FromVector(v2.render(TagLib::ID3v2::v3)), Frames(10)})));
    const TBytes original = Fixtures::ReadBytes(Path);

    ASSERT_EQ(::chmod(Path.c_str(), 0444), 0);
    EXPECT_EQ(Save(Path, {{"DISP", "New"}}), "file is read-only");
    EXPECT_EQ(Fixtures::ReadBytes(Path), original);
    ASSERT_EQ(::chmod(Path.c_str(), 0644), 0);

    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(Path.c_str(), O_RDONLY);
        const char ok = (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_EQ(Save(Path, {{"DISP", "New"}}), "another program is writing this file");
    EXPECT_EQ(AddId3v2(Path.c_str()), -1);
    EXPECT_EQ(Fixtures::ReadBytes(Path), original);
    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
    EXPECT_EQ(Save(Path, {{"DISP", "New"}}), "");
}

// A writable file in a folder the user cannot write: the journal goes to the user's state
// folder instead, and the save goes through.
TEST_F(MpegIntegrityTest, WritableFileInReadOnlyFolderSaves) {
    const std::string folder = Dir.File("locked folder");
    const std::string state = Dir.File("state");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/spot.mp3";
    TagLib::ID3v2::Tag v2;
    v2.setTitle("T");
    ASSERT_TRUE(
        Fixtures::WriteBytes(path, Concat({FromVector(v2.render(TagLib::ID3v2::v3)), Frames(6)})));
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::string kept = oldState ? oldState : "";
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    EXPECT_EQ(Save(path, {{"ICMT", std::string(2000, 'x')}}), "");
    if (oldState)
        ::setenv("XDG_STATE_HOME", kept.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    ::chmod(folder.c_str(), 0755);
    TagLib::MPEG::File file(path.c_str(), false);
    EXPECT_EQ(file.ID3v2Tag()->comment().to8Bit(true), std::string(2000, 'x'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST(TagLastError, CutsAtCharacterBoundaryAndReportsFullLength) {
    TTempDir dir;
    ASSERT_NE(OpenWavFile(dir.File("missing.mp3").c_str(), 0, 0), 0);
    EXPECT_EQ(GetTagLastError(nullptr, 0), 14); // "file not found"
    char small[5];
    EXPECT_EQ(GetTagLastError(small, sizeof small), 14);
    EXPECT_STREQ(small, "file");

    // A reason with a three-byte character cut in the middle loses the whole character.
    const std::string path = dir.File("v1.mp3");
    ASSERT_TRUE(Fixtures::WriteBytes(path, Concat({Frames(4), Id3v1("t", "a", 1)})));
    ASSERT_EQ(Save(path, {{"DISP", "\xE6\x9D\xB1"}}).substr(0, 36),
              "ID3v1 cannot hold the title: charact");
    const std::string prefix = "ID3v1 cannot hold the title: character '";
    char cut[64];
    const int32_t full = GetTagLastError(cut, static_cast<int32_t>(prefix.size() + 3));
    EXPECT_EQ(std::string(cut), prefix);
    const std::string whole = prefix + "\xE6\x9D\xB1' is not in Windows-1252";
    EXPECT_EQ(full, static_cast<int32_t>(whole.size()));
    // Cleared by the next open.
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(GetTagLastError(nullptr, 0), 0);
    EXPECT_EQ(CloseWavFile(), 0);
}

// Fails the N-th write of the file or the journal (1-based); in Stop mode every later write,
// truncation and journal removal fails too, as if the process had died there.
class TFaults {
public:
    TFaults(int failAt, bool stop) : FailAt(failAt), Stop(stop) {}
    bool Allow() { return ++Writes != FailAt && !(Stop && Writes > FailAt); }
    bool Dead() const { return Stop && Writes >= FailAt; }
    int Writes = 0;

private:
    int FailAt;
    bool Stop;
};

class TFailingIo : public riffkit::TFileIo {
public:
    TFailingIo(riffkit::TFileIo& inner, TFaults& faults) : Inner(inner), Faults(faults) {}
    bool Read(std::uint64_t o, void* b, std::size_t n) override { return Inner.Read(o, b, n); }
    bool Write(std::uint64_t o, const void* b, std::size_t n) override {
        return Faults.Allow() && Inner.Write(o, b, n);
    }
    bool Sync() override { return !Faults.Dead() && Inner.Sync(); }
    std::uint64_t Size() override { return Inner.Size(); }
    bool Truncate(std::uint64_t s) override { return !Faults.Dead() && Inner.Truncate(s); }

private:
    riffkit::TFileIo& Inner;
    TFaults& Faults;
};

class TFailingJournal : public riffkit::TJournal {
public:
    TFailingJournal(riffkit::TMemoryJournal& inner, TFaults& faults)
        : Inner(inner), Faults(faults) {}
    riffkit::TFileIo* Create() override {
        if (Faults.Dead() || !Inner.Create())
            return nullptr;
        Io.emplace(*Inner.Data, Faults);
        return &*Io;
    }
    riffkit::TFileIo* OpenExisting(std::string& refusal) override {
        if (!Inner.OpenExisting(refusal))
            return nullptr;
        Io.emplace(*Inner.Data, Faults);
        return &*Io;
    }
    bool MakeDurable() override { return !Faults.Dead() && Inner.MakeDurable(); }
    bool Remove() override { return !Faults.Dead() && Inner.Remove(); }

private:
    riffkit::TMemoryJournal& Inner;
    TFaults& Faults;
    std::optional<TFailingIo> Io;
};

std::map<std::string, std::string> ValuesOf(const TBytes& bytes) {
    riffkit::TMemoryFileIo io(bytes);
    std::string reason;
    auto file = riffkit::TMpegFile::Read(io, reason);
    if (!file)
        return {{"<unreadable>", reason}};
    return {file->Values().begin(), file->Values().end()};
}

// The audio of a file: everything between the leading ID3v2 tag and the ID3v1 tag.
TBytes AudioOf(const TBytes& bytes) {
    const size_t start = TagSize(bytes);
    return TBytes(bytes.begin() + static_cast<long>(std::min(start, bytes.size())),
                  bytes.end() - 128);
}

TEST(MpegCommitFaults, EveryWriteFailingLeavesOldOrNewTagsAndTheAudio) {
    TagLib::ID3v2::Tag v2;
    v2.setTitle("Old title");
    v2.setArtist("Old artist");
    const TBytes original = Concat({FromVector(v2.render(TagLib::ID3v2::v3)), Frames(30),
                                    Id3v1("Old title", "Old artist", 17)});
    // "fits" rewrites the tag in its padding; "grows" moves the audio in several steps.
    const struct {
        const char* Name;
        riffkit::TMpegFile::TChanges Changes;
    } cases[] = {
        {"fits", {{"DISP", std::string("New title")}, {"IART", std::nullopt}}},
        {"grows", {{"DISP", std::string("New title")}, {"ICMT", std::string(5000, 'n')}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        riffkit::TMemoryFileIo plain(original);
        std::string reason;
        const auto file = riffkit::TMpegFile::Read(plain, reason);
        ASSERT_TRUE(file);
        const auto edit = file->PlanSave(c.Changes, reason);
        ASSERT_TRUE(edit);
        if (std::string(c.Name) == "grows")
            ASSERT_GT(edit->Delta, 0u);
        else
            ASSERT_EQ(edit->Delta, 0u);
        riffkit::TMemoryJournal cleanJournal;
        ASSERT_TRUE(riffkit::TMpegCommitter::Commit(plain, cleanJournal, *edit));
        const auto oldValues = ValuesOf(original);
        const auto newValues = ValuesOf(plain.Data());
        ASSERT_NE(oldValues, newValues);
        const TBytes audio = AudioOf(original);

        for (bool stop : {true, false}) {
            for (int failAt = 1;; ++failAt) {
                SCOPED_TRACE(std::string(stop ? "stop" : "once") + " at write " +
                             std::to_string(failAt));
                riffkit::TMemoryFileIo mem(original);
                riffkit::TMemoryJournal journal;
                TFaults faults(failAt, stop);
                TFailingIo io(mem, faults);
                TFailingJournal failing(journal, faults);
                // Small move steps, so that a growth takes several and both journal slots.
                const bool ok = riffkit::TMpegCommitter::Commit(io, failing, *edit, {}, 3000);
                // Between the crash and the next open, the original is restored (same file,
                // as cp does): it stays exactly as it is and the journal goes.
                if (!ok && journal.Data) {
                    riffkit::TMemoryFileIo restored(original);
                    riffkit::TMemoryJournal copy = journal;
                    EXPECT_EQ(riffkit::TMpegCommitter::Recover(restored, copy),
                              riffkit::TMpegCommitter::TRecovery::Discarded);
                    EXPECT_EQ(restored.Data(), original);
                    EXPECT_FALSE(copy.Data.has_value());
                }
                // The next open completes or discards what the journal holds.
                const auto recovery = riffkit::TMpegCommitter::Recover(mem, journal);
                EXPECT_NE(recovery, riffkit::TMpegCommitter::TRecovery::Failed);
                EXPECT_FALSE(journal.Data.has_value());
                const auto got = ValuesOf(mem.Data());
                EXPECT_TRUE(got == oldValues || got == newValues);
                if (ok) {
                    EXPECT_EQ(got, newValues);
                }
                EXPECT_EQ(AudioOf(mem.Data()), audio);
                if (faults.Writes < failAt) {
                    EXPECT_TRUE(ok);
                    break;
                }
            }
        }
    }
}

} // namespace
