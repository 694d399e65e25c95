// Files as real tools leave them: each kind is read without a crash, with the tags that are
// there; a commit goes ahead only where the audio's place is certain.
#include "RiffBuilder.h"
#include "TempDir.h"
#include "WavTestFiles.h"
#include "riffkit.h"

#include <gtest/gtest.h>

namespace {

using B = TRiffBuilder;

std::string Get(const char* key) {
    char buf[256];
    GetTagInfo(key, buf, sizeof buf);
    return buf;
}

std::string Title() {
    char buf[256];
    GetChunkInfo("DISP", buf, sizeof buf);
    return buf;
}

const std::string Info = B::Info({{"IART", "Artist"}});
const std::string Audio = B::Audio(3000);

struct TCase {
    const char* Name;
    std::string Bytes;
    std::string Artist;
    std::string Title;
    bool Committable; // a changed title can be stored
};

std::vector<TCase> Cases() {
    return {
        {"odd chunk with pad",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("odd ", "abc")
             .Chunk("LIST", Info)
             .Chunk("data", Audio)
             .Build(),
         "Artist", "", true},
        {"odd chunk without pad",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("odd ", "abc", false)
             .Chunk("LIST", Info)
             .Chunk("data", Audio)
             .Build(),
         "Artist", "", true},
        {"odd title chunk without pad",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("DISP", B::Disp("Odd!"), false)
             .Chunk("data", Audio)
             .Build(),
         "", "Odd!", true},
        {"RIFF size too small",
         B().RiffSize(20).Chunk("fmt ", B::Fmt()).Chunk("LIST", Info).Chunk("data", Audio).Build(),
         "Artist", "", true},
        {"RIFF size too large",
         B().RiffSize(0x7FFFFFF0)
             .Chunk("fmt ", B::Fmt())
             .Chunk("data", Audio)
             .Chunk("LIST", Info)
             .Build(),
         "Artist", "", true},
        {"truncated data chunk",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .ChunkWithSize("data", 90000, Audio)
             .Build(),
         "Artist", "", false},
        {"truncated INFO list after the audio",
         B().Chunk("fmt ", B::Fmt()).Chunk("data", Audio).ChunkWithSize("LIST", 400, Info).Build(),
         "Artist", "", false},
        {"data size 0, audio to the end",
         B().Chunk("fmt ", B::Fmt()).Chunk("LIST", Info).ChunkWithSize("data", 0, Audio).Build(),
         "Artist", "", false},
        {"data size 0xFFFFFFFF",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .ChunkWithSize("data", 0xFFFFFFFF, Audio)
             .Build(),
         "Artist", "", false},
        {"two INFO lists, the first counts",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Second"}}))
             .Build(),
         "Artist", "", true},
        {"NUL padding inside values",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", B::Info({{"IART", std::string("Pad\0\0\0\0", 7)}}))
             .Chunk("DISP", B::Disp(std::string("T\0\0\0", 4)))
             .Chunk("data", Audio)
             .Build(),
         "Pad", "T", true},
        {"trailing garbage",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .Chunk("data", Audio)
             .Raw("\x01\x02garbage!!")
             .Build(),
         "Artist", "", false},
        {"trailing NUL bytes",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .Chunk("data", Audio)
             .Raw(std::string(13, '\0'))
             .Build(),
         "Artist", "", true},
        {"garbage in front of the audio",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .Raw("\x01\x02\x03\x04\x05\x06\x07\x08")
             .Chunk("data", Audio)
             .Build(),
         "Artist", "", false},
        {"chunk size running past the end before the audio",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", Info)
             .ChunkWithSize("bext", 0x10000000, "x")
             .Chunk("data", Audio)
             .Build(),
         "Artist", "", false},
        {"INFO item running past its list",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", "INFO"
                            "IART" +
                                B::Le32(5000) + "abc")
             .Chunk("data", Audio)
             .Build(),
         "abc", "", true},
        {"no data chunk", B().Chunk("fmt ", B::Fmt()).Chunk("LIST", Info).Build(), "Artist", "",
         true},
        {"header only", B().Build(), "", "", true},
    };
}

} // namespace

TEST(WavMalformed, EachKindReadsAndCommitsOnlyWhenSafe) {
    TTempDir dir;
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.File("bad.wav");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.Bytes;
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        EXPECT_EQ(Get("IART"), c.Artist);
        EXPECT_EQ(Title(), c.Title);
        SetChunkInfo("DISP", "A much longer new title", 23);
        const int16_t rc = CloseWavFile();
        const std::string after = WavTestFiles::Slurp(path);
        if (c.Committable) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(WavTestFiles::Untouchable(after), WavTestFiles::Untouchable(c.Bytes));
            EXPECT_EQ(WavTestFiles::DataPayload(after), WavTestFiles::DataPayload(c.Bytes));
            ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
            EXPECT_EQ(Title(), "A much longer new title");
            EXPECT_EQ(Get("IART"), c.Artist);
            EXPECT_EQ(CloseWavFile(), 0);
        } else {
            EXPECT_NE(rc, 0);
            EXPECT_EQ(after, c.Bytes);
        }
    }
}

TEST(WavMalformed, Rf64IsReadAndItsSizesKeptRight) {
    TTempDir dir;
    const std::string path = dir.File("rf64.wav");
    const std::string audio = B::Audio(5000);
    // ds64: RIFF size, data size, sample count, table length.
    const auto build = [&](std::uint64_t riffSize) {
        return B("RF64")
            .RiffSize(0xFFFFFFFF)
            .Chunk("ds64", B::Le64(riffSize) + B::Le64(audio.size()) + B::Le64(1250) + B::Le32(0))
            .Chunk("fmt ", B::Fmt())
            .Chunk("LIST", Info)
            .ChunkWithSize("data", 0xFFFFFFFF, audio)
            .Build();
    };
    const std::string bytes = build(build(0).size() - 8);
    std::ofstream(path, std::ios::binary) << bytes;
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(Get("IART"), "Artist");
    const std::string longer(300, 'L'); // does not fit in place: appended
    SetTagInfo("IART", longer.data(), static_cast<uint16_t>(longer.size()));
    ASSERT_EQ(CloseWavFile(), 0);

    const std::string after = WavTestFiles::Slurp(path);
    EXPECT_GT(after.size(), bytes.size());
    EXPECT_EQ(after.substr(4, 4), B::Le32(0xFFFFFFFF));
    EXPECT_EQ(after.substr(20, 8), B::Le64(after.size() - 8)); // ds64 RIFF size
    EXPECT_EQ(WavTestFiles::DataPayload(after), audio);
    EXPECT_EQ(WavTestFiles::Tags(after).Get("IART"), longer);
}
