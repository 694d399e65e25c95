// The C operations on WAV files: round trips, text handling, format sniffing, bad arguments.
#include "RiffBuilder.h"
#include "TempDir.h"
#include "WavTestFiles.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace {

const char* const InfoKeys[] = {
    "IART", "ISRC", "BFAD", "ISRF", "IMED", "HKST", "HKEN", "IGNR", "BSTM", "IKEY", "BETM", "BSTW",
    "BETW", "IALB", "IYER", "IGRE", "ITRK", "IENG", "ITCH", "ICOM", "IPUB", "BCPR", "ICMT", "INAM",
    "ICOP", "ISFT", "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO", "IBPM"};

std::string Tag(const char* key, int32_t size = 1024) {
    std::vector<char> buf(static_cast<std::size_t>(std::max(size, 1)), 'x');
    GetTagInfo(key, buf.data(), size);
    return buf.data();
}

std::string Title(int32_t size = 1024) {
    std::vector<char> buf(static_cast<std::size_t>(std::max(size, 1)), 'x');
    GetChunkInfo("DISP", buf.data(), size);
    return buf.data();
}

void Set(const char* key, const std::string& v) {
    SetTagInfo(key, v.data(), static_cast<uint16_t>(v.size()));
}

std::string PlainWav(const std::string& path, const std::string& extra = {}) {
    TRiffBuilder b;
    b.Chunk("fmt ", TRiffBuilder::Fmt()).Raw(extra).Chunk("data", TRiffBuilder::Audio(4000));
    b.WriteTo(path);
    return b.Build();
}

class WavCInterface : public ::testing::Test {
protected:
    void TearDown() override { CloseWavFile(); }
    TTempDir Dir;
};

} // namespace

TEST_F(WavCInterface, AllKeysRoundTripWithLineBreaksInOneEncoding) {
    const std::string path = Dir.File("all.wav");
    const std::string original = PlainWav(path);
    std::vector<std::string> values;
    for (std::size_t i = 0; i < std::size(InfoKeys); ++i) {
        switch (i % 3) {
        case 0:
            values.push_back("line " + std::to_string(i) + "\r\nnext line");
            break;
        case 1:
            values.push_back("Caf\xC3\xA9 \xE2\x82\xAC" + std::to_string(i));
            break; // 1252
        default:
            values.push_back("\xE6\x97\xA5\xE6\x9C\xAC " + std::to_string(i)); // UTF-8
        }
    }
    const std::string title = "Na\xC3\xAFve title \xE2\x80\x93 \xE2\x84\x96"; // № needs UTF-8

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    for (std::size_t i = 0; i < std::size(InfoKeys); ++i)
        Set(InfoKeys[i], values[i]);
    SetChunkInfo("DISP", title.data(), static_cast<uint16_t>(title.size()));
    ASSERT_EQ(CloseWavFile(), 0);

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    for (std::size_t i = 0; i < std::size(InfoKeys); ++i)
        EXPECT_EQ(Tag(InfoKeys[i]), values[i]) << InfoKeys[i];
    EXPECT_EQ(Title(), title);
    EXPECT_EQ(CloseWavFile(), 0);

    const std::string saved = WavTestFiles::Slurp(path);
    EXPECT_EQ(WavTestFiles::Untouchable(saved), WavTestFiles::Untouchable(original));
    // Some values need UTF-8, so every value is stored in it: no list mixes encodings.
    EXPECT_NE(saved.find("Caf\xC3\xA9 \xE2\x82\xAC"
                         "1"),
              std::string::npos);
    EXPECT_EQ(saved.find("Caf\xE9"), std::string::npos);
}

TEST_F(WavCInterface, ReadsForeignTagsAndKeepsWhatItDoesNotKnow) {
    const std::string path = Dir.File("foreign.wav");
    TRiffBuilder b;
    b.Chunk("fmt ", TRiffBuilder::Fmt())
        .Chunk("DISP", TRiffBuilder::Disp("BMPDATA", 8)) // not text: not the title
        .Chunk("LIST", TRiffBuilder::Info({{"IART", "Caf\xE9"}, {"ICRD", "2001"}}))
        .Chunk("DISP", TRiffBuilder::Disp("Title"))
        .Chunk("bext", std::string(602, 'b'))
        .Chunk("data", TRiffBuilder::Audio(1000));
    b.WriteTo(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Tag("IART"), "Caf\xC3\xA9");
    EXPECT_EQ(Title(), "Title");
    Set("IART", "Someone else");
    ASSERT_EQ(CloseWavFile(), 0);

    const std::string saved = WavTestFiles::Slurp(path);
    EXPECT_EQ(WavTestFiles::Untouchable(saved), WavTestFiles::Untouchable(b.Build()));
    EXPECT_NE(saved.find(TRiffBuilder::Disp("BMPDATA", 8)), std::string::npos);
    const auto tags = WavTestFiles::Tags(saved);
    EXPECT_EQ(tags.Get("ICRD"), "2001");
    EXPECT_EQ(tags.Get("IART"), "Someone else");
    EXPECT_EQ(tags.Title, "Title");
}

TEST_F(WavCInterface, GetCutsOnCharacterBoundariesAndSetTakesLengthBytes) {
    const std::string path = Dir.File("cut.wav");
    PlainWav(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetTagInfo("ICMT", "abc\xC3\xA9zzzz", 5); // only "abcé"
    EXPECT_EQ(Tag("ICMT"), "abc\xC3\xA9");
    EXPECT_EQ(Tag("ICMT", 5), "abc"); // 4 bytes would split é
    EXPECT_EQ(Tag("ICMT", 6), "abc\xC3\xA9");
    EXPECT_EQ(Tag("ICMT", 1), "");
    EXPECT_EQ(Tag("INAM"), "");      // absent
    SetTagInfo("INAM", "x\xE9y", 3); // not UTF-8: taken as Windows-1252, not replaced
    EXPECT_EQ(Tag("INAM"), "x\xC3\xA9y");
    RemoveTag("ICMT");
    EXPECT_EQ(Tag("ICMT"), "");
}

TEST_F(WavCInterface, BadArgumentsNeitherCrashNorWrite) {
    char buf[8] = "zzzzzzz";
    EXPECT_NE(OpenWavFile(nullptr, 0, 0), 0);
    EXPECT_NE(OpenWavFile("", 0, 0), 0);
    GetTagInfo("IART", buf, 8); // nothing open
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CloseWavFile(), 0);

    const std::string path = Dir.File("args.wav");
    const std::string original = PlainWav(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    GetTagInfo(nullptr, buf, 8);
    GetTagInfo("IART", nullptr, 8);
    GetTagInfo("IART", buf, -5);
    GetTagInfo("IART", buf, 0);
    GetChunkInfo("XX", buf, 8);
    SetTagInfo(nullptr, "x", 1);
    SetTagInfo("IART", nullptr, 10);
    SetTagInfo("TOOLONG", "x", 1);
    SetChunkInfo("DISP", nullptr, 4);
    RemoveTag(nullptr);
    EXPECT_EQ(AddId3v2(nullptr), -1);
    EXPECT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(WavTestFiles::Slurp(path), original);
}

TEST_F(WavCInterface, UnchangedTagsWriteNothing) {
    const std::string path = Dir.File("same.wav");
    TRiffBuilder b;
    b.Chunk("fmt ", TRiffBuilder::Fmt())
        .Chunk("LIST", TRiffBuilder::Info({{"IART", "A"}}))
        .Chunk("data", TRiffBuilder::Audio(100));
    b.WriteTo(path);
    ::chmod(path.c_str(), 0444); // any write attempt would fail the close
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    Set("IART", "A");
    Set("IALB", "");
    SetChunkInfo("DISP", "", 0);
    EXPECT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(WavTestFiles::Slurp(path), b.Build());
}

TEST_F(WavCInterface, FormatComesFromContentNotExtension) {
    const std::string tmc = Dir.File("cart.tmc");
    PlainWav(tmc);
    EXPECT_EQ(OpenWavFile(tmc.c_str(), 0, 0), 0);
    EXPECT_EQ(HasId3v2(), 0);
    EXPECT_EQ(CloseWavFile(), 0);

    struct TCase {
        const char* Name;
        std::string Bytes;
    } bad[] = {
        {"text.wav", std::string(200, 'a')},
        {"avi.wav", TRiffBuilder("RIFF", "AVI ").Chunk("hdrl", "x").Build()},
        {"short.wav", "RIFF"},
        {"empty.wav", ""},
    };
    for (const auto& c : bad) {
        const std::string path = Dir.File(c.Name);
        std::ofstream(path, std::ios::binary) << c.Bytes;
        EXPECT_NE(OpenWavFile(path.c_str(), 0, 0), 0) << c.Name;
    }
    EXPECT_NE(OpenWavFile(Dir.File("missing.wav").c_str(), 0, 0), 0);
    EXPECT_NE(OpenWavFile(Dir.Path().string().c_str(), 0, 0), 0); // a folder
}
