// The audio columns of a row read with the real service libraries: Format and Time come
// from one open of the file by the playback library, the tag columns from one by the tagging
// library; a playback library without the combined call is asked twice, with the same texts.
#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TDetailReader.h"
#include "TShellItem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int ArtistColumn = 3;

// How often the file was opened while read ran (closes are watched too, as inotify merges
// events that follow each other alike).
template <typename F> int OpensDuring(const std::string& path, F read) {
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const int watch = inotify_add_watch(watcher, path.c_str(), IN_OPEN | IN_CLOSE);
    EXPECT_GE(watch, 0);
    read();
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = ::read(watcher, events, sizeof events)) > 0;)
        for (char* p = events; p < events + got;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            opens += (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) ? 1 : 0;
    close(watcher);
    return opens;
}

class DetailReaderOpens : public ::testing::Test {
protected:
    void SetUp() override {
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    }
    void TearDown() override { Binder.Release(); }

    TAudioLibsBinder Binder;
    TTempDir Dir;
};

TEST_F(DetailReaderOpens, FormatTimeAndTagsTakeTwoOpens) {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (const int n : {1, 2, ArtistColumn})
        columns.push_back({n, QString::number(n), 100});
    const TDetailPlan plan = TDetailReader::Plan(columns);

    struct TCase {
        const char* Name;
        bool OddChunks; // INFO texts and a DISP title of odd length before the audio
        size_t AudioBytes;
        const char* Time; // 16-bit stereo at 44.1 kHz: 176,400 bytes a second
    };
    const TCase cases[] = {{"plain", false, 220500, "00:01.2"},
                           {"odd_chunks", true, 220500, "00:01.2"},
                           {"longer", true, 176400 * 65 + 4 * 441, "01:05.0"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Dir.File(std::string(c.Name) + ".wav");
        TRiffBuilder riff;
        riff.Chunk("fmt ", TRiffBuilder::Fmt());
        const std::string artist = c.OddChunks ? "Odd Artist" : "Even Artist";
        riff.Chunk("LIST", TRiffBuilder::Info({{"IART", artist}, {"IGNR", "Pop"}}));
        if (c.OddChunks)
            riff.Chunk("DISP", TRiffBuilder::Disp("Title 10"));
        riff.Chunk("data", TRiffBuilder::Audio(c.AudioBytes)).WriteTo(path);

        // With the combined call, then as a playback library without it would be asked.
        const TAudioLibs bound = AudioLibs();
        TAudioLibs older = bound;
        older.SN_GetWaveFileFormatAndLength = nullptr;
        for (const bool combined : {true, false}) {
            SCOPED_TRACE(combined ? "combined" : "two calls");
            SetAudioLibs(combined ? bound : older);
            TShellItem entry;
            entry.ParsingName = QByteArray::fromStdString(path);
            entry.IsFileSystem = true;
            EXPECT_EQ(OpensDuring(path, [&] { TDetailReader::ReadAudio(entry, plan); }),
                      combined ? 2 : 3);
            EXPECT_EQ(entry.Value(1), "PCM 16 bit - 44100 Hz Stereo");
            EXPECT_EQ(entry.Value(2), c.Time);
            EXPECT_EQ(entry.Value(ArtistColumn), QString::fromStdString(artist));
        }
        SetAudioLibs(bound);
    }
}

} // namespace
