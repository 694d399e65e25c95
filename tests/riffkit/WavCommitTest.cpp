// The commit: audio and foreign chunks untouched by every kind of save, space reused,
// crash safety at every single write, and the advisory lock.
#include "RiffBuilder.h"
#include "TempDir.h"
#include "WavCommitter.h"
#include "WavTestFiles.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using B = TRiffBuilder;
using riffkit::TWavTags;

// Fails the N-th write (1-based); in Stop mode every later write and truncation fails too,
// as if the process had died there.
class TFailingIo : public riffkit::TFileIo {
public:
    enum class TMode { Once, Stop };
    TFailingIo(riffkit::TFileIo& inner, int failAt, TMode mode)
        : Inner(inner), FailAt(failAt), Mode(mode) {}

    bool Read(std::uint64_t o, void* b, std::size_t n) override { return Inner.Read(o, b, n); }
    bool Write(std::uint64_t o, const void* b, std::size_t n) override {
        ++Writes;
        if (Writes == FailAt || (Mode == TMode::Stop && Writes > FailAt))
            return false;
        return Inner.Write(o, b, n);
    }
    bool Sync() override { return Inner.Sync(); }
    std::uint64_t Size() override { return Inner.Size(); }
    bool Truncate(std::uint64_t s) override {
        return Mode == TMode::Stop && Writes >= FailAt ? false : Inner.Truncate(s);
    }
    int Writes = 0;

private:
    riffkit::TFileIo& Inner;
    int FailAt;
    TMode Mode;
};

// A cart chunk's body: the version, a title and tag text after the fixed part.
std::string CartBody(const std::string& title, const std::string& tagText = {}) {
    std::string body(2048, '\0');
    body.replace(0, 4, "0101");
    body.replace(4, title.size(), title);
    return body + tagText;
}

TWavTags Edited(const std::string& bytes, const std::string& title, const std::string& artist,
                const std::optional<std::string>& cart = std::nullopt,
                const std::optional<std::string>& bext = std::nullopt) {
    TWavTags tags = WavTestFiles::Tags(bytes);
    if (cart)
        tags.Cart = cart;
    if (bext)
        tags.Bext = bext;
    tags.SetTitle(title);
    if (artist.empty())
        tags.Remove("IART");
    else
        tags.Set("IART", artist);
    return tags;
}

struct TScenario {
    const char* Name;
    std::string Bytes;
    std::string Title;
    std::string Artist;
    std::optional<std::string> Cart = std::nullopt; // the cart the save writes, if any
    std::optional<std::string> Bext = std::nullopt; // likewise the bext
};

const std::string Audio = B::Audio(6000, 7);

std::vector<TScenario> Scenarios() {
    const std::string longTitle(700, 'T');
    return {
        {"into JUNK after the tags",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("JUNK", std::string(1024, '\0'))
             .Chunk("data", Audio)
             .Build(),
         "New title", "New artist"},
        {"appended at the end",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", B::Info({{"IART", "Old"}, {"ICMT", "c"}}))
             .Chunk("data", Audio)
             .Chunk("cue ", std::string(28, 'c'))
             .Build(),
         longTitle, "New artist"},
        {"scattered title and INFO are gathered first",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("DISP", B::Disp("Old title"))
             .Chunk("bext", std::string(100, 'b'))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Stale"}}))
             .Build(),
         "New title", "New artist"},
        {"key removed, in place before old tags after the audio",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("JUNK", std::string(200, 'j'))
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Old"}, {"IALB", "Album"}}))
             .Build(),
         "Title", ""},
        {"RIFF size wrong and odd unpadded chunk",
         B().RiffSize(100)
             .Chunk("fmt ", B::Fmt())
             .Chunk("odd ", "xyz", false)
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("data", Audio)
             .Raw(std::string(6, '\0'))
             .Build(),
         longTitle, "A"},
        {"a first cart behind old tags after the audio",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Build(),
         "Title", "New", CartBody("Title")},
        {"a first cart into free space behind the old tags",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("JUNK", std::string(4096, '\0'))
             .Chunk("data", Audio)
             .Build(),
         "Title", "New", CartBody("Title")},
        {"a foreign cart and bext around the audio, edited",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("bext", std::string(602, 'b'))
             .Chunk("cart", CartBody("Old", "text\r\n"))
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Build(),
         "Title", "New", CartBody("Title", "text\r\n")},
        {"a cart grown past its block",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("JUNK", "")
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("cart", CartBody("Old"))
             .Chunk("JUNK", std::string(64, '\0'))
             .Chunk("data", Audio)
             .Build(),
         "Old", "Old", CartBody("Old", std::string(3001, 'x'))},
        {"a bext before fmt changed, the tags after the audio",
         B().Chunk("bext", std::string(602, 'b') + "A=PCM\r\n")
             .Chunk("fmt ", B::Fmt())
             .Chunk("data", Audio)
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Build(),
         "Title", "Old", std::nullopt, std::string(602, 'n') + "A=PCM\r\n"},
        {"a first bext into free space, with a first cart",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("JUNK", std::string(4096, '\0'))
             .Chunk("data", Audio)
             .Build(),
         "Title", "New", CartBody("Title"), std::string(602, 'n')},
        {"a first bext behind old tags, none in front",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("data", Audio)
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Build(),
         "Old", "Old", std::nullopt, std::string(603, 'n')},
        {"a first bext and a title behind a block of ours",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("JUNK", "")
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("data", Audio)
             .Build(),
         "New title", "Old", std::nullopt, std::string(602, 'n')},
        {"a bext in a block of ours grown, the tags unchanged",
         B().Chunk("fmt ", B::Fmt())
             .Chunk("JUNK", "")
             .Chunk("DISP", B::Disp("Old"))
             .Chunk("LIST", B::Info({{"IART", "Old"}}))
             .Chunk("bext", std::string(602, 'b'))
             .Chunk("JUNK", std::string(64, '\0'))
             .Chunk("data", Audio)
             .Build(),
         "Old", "Old", std::nullopt, std::string(602, 'n') + std::string(900, 'h')},
    };
}

bool IsOneOf(const TWavTags& got, const TWavTags& a, const TWavTags& b) {
    return got.SameValues(a) || got.SameValues(b);
}

} // namespace

TEST(WavCommit, EverySaveKeepsAudioAndForeignChunks) {
    for (const auto& s : Scenarios()) {
        SCOPED_TRACE(s.Name);
        riffkit::TMemoryFileIo io = WavTestFiles::Io(s.Bytes);
        const TWavTags target = Edited(s.Bytes, s.Title, s.Artist, s.Cart, s.Bext);
        ASSERT_TRUE(riffkit::TWavCommitter::Commit(io, target));
        const std::string after(io.Data().begin(), io.Data().end());
        EXPECT_EQ(WavTestFiles::DataPayload(after), Audio);
        EXPECT_EQ(WavTestFiles::Untouchable(after, s.Bext.has_value()),
                  WavTestFiles::Untouchable(s.Bytes, s.Bext.has_value()));
        EXPECT_TRUE(WavTestFiles::Tags(after).SameValues(target));
        // The audio never moves.
        EXPECT_EQ(
            WavTestFiles::Layout(after)->Chunks[WavTestFiles::Layout(after)->DataIndex].Offset,
            WavTestFiles::Layout(s.Bytes)->Chunks[WavTestFiles::Layout(s.Bytes)->DataIndex].Offset);
    }
}

TEST(WavCommit, RepeatedSavesReuseTheirSpace) {
    riffkit::TMemoryFileIo io = WavTestFiles::Io(Scenarios()[1].Bytes);
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 12; ++i) {
        const std::string now(io.Data().begin(), io.Data().end());
        // Titles of varying length, as an editor would save them.
        const TWavTags target = Edited(now, std::string(40 + (i % 3) * 30, char('a' + i)), "X");
        ASSERT_TRUE(riffkit::TWavCommitter::Commit(io, target)) << i;
        sizes.push_back(io.Data().size());
    }
    // After the first few saves the freed blocks take every new one: the file stops growing.
    EXPECT_EQ(sizes.back(), sizes[5]);
}

TEST(WavCommit, FailingAnyWriteLeavesOldOrNewTagsAndTheAudio) {
    for (auto mode : {TFailingIo::TMode::Stop, TFailingIo::TMode::Once}) {
        for (const auto& s : Scenarios()) {
            SCOPED_TRACE(s.Name);
            const TWavTags oldTags = WavTestFiles::Tags(s.Bytes);
            const TWavTags target = Edited(s.Bytes, s.Title, s.Artist, s.Cart, s.Bext);
            for (int failAt = 1;; ++failAt) {
                SCOPED_TRACE(failAt);
                riffkit::TMemoryFileIo mem = WavTestFiles::Io(s.Bytes);
                TFailingIo io(mem, failAt, mode);
                const bool ok = riffkit::TWavCommitter::Commit(io, target);
                const std::string after(mem.Data().begin(), mem.Data().end());
                const auto layout = WavTestFiles::Layout(after);
                ASSERT_TRUE(layout);
                EXPECT_TRUE(layout->StructureOk);
                EXPECT_EQ(WavTestFiles::DataPayload(after), Audio);
                EXPECT_EQ(WavTestFiles::Untouchable(after, s.Bext.has_value()),
                          WavTestFiles::Untouchable(s.Bytes, s.Bext.has_value()));
                const TWavTags got = WavTestFiles::Tags(after);
                EXPECT_TRUE(IsOneOf(got, oldTags, target));
                if (ok) {
                    EXPECT_TRUE(got.SameValues(target));
                }
                if (io.Writes < failAt) {
                    EXPECT_TRUE(ok); // every write done: the commit went through
                    break;
                }
                // A later commit on the damaged file still completes.
                riffkit::TMemoryFileIo retry = WavTestFiles::Io(after);
                ASSERT_TRUE(riffkit::TWavCommitter::Commit(retry, target));
                const std::string fixed(retry.Data().begin(), retry.Data().end());
                EXPECT_EQ(WavTestFiles::DataPayload(fixed), Audio);
                EXPECT_TRUE(WavTestFiles::Tags(fixed).SameValues(target));
            }
        }
    }
}

TEST(WavCommit, LockHeldByAnotherProcessFailsAndLeavesTheFile) {
    TTempDir dir;
    const std::string path = dir.File("locked.wav");
    const std::string bytes = Scenarios()[0].Bytes;
    std::ofstream(path, std::ios::binary) << bytes;

    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const char ok = (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetChunkInfo("DISP", "New", 3);
    EXPECT_NE(CloseWavFile(), 0);
    EXPECT_EQ(WavTestFiles::Slurp(path), bytes);

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);

    // With the lock gone the same save goes through.
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetChunkInfo("DISP", "New", 3);
    EXPECT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(WavTestFiles::Tags(WavTestFiles::Slurp(path)).Title, "New");
}

TEST(WavCommit, UnwritableOrVanishedFileFailsUnchanged) {
    TTempDir dir;
    const std::string bytes = Scenarios()[0].Bytes;
    const std::string path = dir.File("ro.wav");
    std::ofstream(path, std::ios::binary) << bytes;
    ::chmod(path.c_str(), 0444);
    if (::access(path.c_str(), W_OK) != 0) { // not meaningful when running as root
        ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
        SetChunkInfo("DISP", "New", 3);
        EXPECT_NE(CloseWavFile(), 0);
        EXPECT_EQ(WavTestFiles::Slurp(path), bytes);
    }
    const std::string gone = dir.File("gone.wav");
    std::ofstream(gone, std::ios::binary) << bytes;
    ASSERT_EQ(OpenWavFile(gone.c_str(), 0, 0), 0);
    ::unlink(gone.c_str());
    SetChunkInfo("DISP", "New", 3);
    EXPECT_NE(CloseWavFile(), 0);
}

TEST(WavCommit, TextTheCodePageCannotHoldIsRefusedNotReplaced) {
    const std::string bytes = B().Chunk("fmt ", B::Fmt())
                                  .Chunk("CSET", B::Le32(1252) + B::Le32(0))
                                  .Chunk("LIST", B::Info({{"IART", "Caf\xE9"}}))
                                  .Chunk("JUNK", std::string(300, '\0'))
                                  .Chunk("data", Audio)
                                  .Build();
    EXPECT_EQ(WavTestFiles::Tags(bytes).Get("IART"), "Caf\xC3\xA9");
    riffkit::TMemoryFileIo io = WavTestFiles::Io(bytes);
    TWavTags tags = WavTestFiles::Tags(bytes);
    tags.Set("IART", "\xE6\x97\xA5");
    EXPECT_FALSE(riffkit::TWavCommitter::Commit(io, tags));
    EXPECT_EQ(std::string(io.Data().begin(), io.Data().end()), bytes);
    tags.Set("IART", "na\xC3\xAFve \xC3\x83\xC2\xA9"); // fits 1252; the CSET decides
    EXPECT_TRUE(riffkit::TWavCommitter::Commit(io, tags));
    const std::string after(io.Data().begin(), io.Data().end());
    EXPECT_NE(after.find("na\xEFve \xC3\xA9"), std::string::npos);
}

// Files that mix Windows-1252 and UTF-8 values are written in one encoding, checked on the
// stored bytes: UTF-8 when the file's own non-ASCII values are UTF-8, Windows-1252 when
// every value fits it, else UTF-8 for the whole list.
TEST(WavCommit, EveryValueIsStoredInOneEncoding) {
    const struct {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Stored;
        std::string NewArtist;
        std::vector<std::string> Expected; // stored bytes of IART, ICMT, IALB after the save
    } cases[] = {
        {"UTF-8 file stays UTF-8",
         {{"ICMT", "Caf\xC3\xA9"}, {"IALB", "plain"}},
         "Na\xC3\xAFve",
         {"Na\xC3\xAFve", "Caf\xC3\xA9", "plain"}},
        {"mixed file, every value fits Windows-1252",
         {{"ICMT", "Caf\xE9"}, {"IALB", "\xE2\x82\xAC 5"}},
         "Na\xC3\xAFve",
         {"Na\xEFve", "Caf\xE9", "\x80 5"}},
        {"Windows-1252 file with a value only UTF-8 holds",
         {{"ICMT", "Caf\xE9"}, {"IALB", "\x80 5"}},
         "\xE6\x97\xA5",
         {"\xE6\x97\xA5", "Caf\xC3\xA9", "\xE2\x82\xAC 5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = B().Chunk("fmt ", B::Fmt())
                                      .Chunk("LIST", B::Info(c.Stored))
                                      .Chunk("JUNK", std::string(400, '\0'))
                                      .Chunk("data", Audio)
                                      .Build();
        riffkit::TMemoryFileIo io = WavTestFiles::Io(bytes);
        TWavTags tags = WavTestFiles::Tags(bytes);
        tags.Set("IART", c.NewArtist);
        ASSERT_TRUE(riffkit::TWavCommitter::Commit(io, tags));
        const std::string after(io.Data().begin(), io.Data().end());
        // Our own walk over the INFO items of the live list.
        const auto layout = WavTestFiles::Layout(after);
        ASSERT_TRUE(layout);
        std::map<std::string, std::string> stored;
        for (const auto& chunk : layout->Chunks) {
            if (!chunk.IsList("INFO"))
                continue;
            const std::string payload = after.substr(chunk.PayloadOffset() + 4, chunk.Size - 4);
            for (std::size_t at = 0; at + 8 <= payload.size();) {
                const std::uint32_t size = static_cast<unsigned char>(payload[at + 4]) |
                                           static_cast<unsigned char>(payload[at + 5]) << 8;
                stored.emplace(payload.substr(at, 4),
                               payload.substr(at + 8, payload.find('\0', at + 8) - at - 8));
                at += 8 + size + (size & 1);
            }
            break;
        }
        EXPECT_EQ(stored["IART"], c.Expected[0]);
        EXPECT_EQ(stored["ICMT"], c.Expected[1]);
        EXPECT_EQ(stored["IALB"], c.Expected[2]);
        EXPECT_EQ(WavTestFiles::DataPayload(after), Audio);
    }
}

// Keys only a second INFO list holds are read and carried into the one list a save
// writes; where both lists hold a key, the first one's value wins.
TEST(WavCommit, SecondInfoListIsMergedOnSave) {
    const std::string bytes = B().Chunk("fmt ", B::Fmt())
                                  .Chunk("LIST", B::Info({{"IART", "First"}}))
                                  .Chunk("data", Audio)
                                  .Chunk("LIST", B::Info({{"IART", "Second"}, {"ICOP", "(c)"}}))
                                  .Build();
    const TWavTags read = WavTestFiles::Tags(bytes);
    EXPECT_EQ(read.Get("IART"), "First");
    EXPECT_EQ(read.Get("ICOP"), "(c)");
    riffkit::TMemoryFileIo io = WavTestFiles::Io(bytes);
    TWavTags tags = read;
    tags.SetTitle("Title");
    ASSERT_TRUE(riffkit::TWavCommitter::Commit(io, tags));
    const std::string after(io.Data().begin(), io.Data().end());
    const auto layout = WavTestFiles::Layout(after);
    ASSERT_TRUE(layout);
    int lists = 0;
    for (const auto& chunk : layout->Chunks)
        lists += chunk.IsList("INFO") ? 1 : 0;
    EXPECT_EQ(lists, 1); // the old lists are free space now
    EXPECT_EQ(WavTestFiles::Tags(after).Get("ICOP"), "(c)");
    EXPECT_EQ(WavTestFiles::Tags(after).Get("IART"), "First");
}
