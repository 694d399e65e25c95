// The audio columns of a row read with the real service libraries: Format and Time come
// from one open of the file by the playback library, the tag columns from one by the tagging
// library; a playback library without the combined call is asked twice, with the same texts.
// A pass of the list opens each file once and hands it to both libraries.
#include "AudioFixtures.h"
#include "PidlHelp.h"
#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TDetailReader.h"
#include "TFolderListModel.h"
#include "TOpenAudioFile.h"
#include "TShellItem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

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

// How often each file of a folder was opened while read ran.
template <typename F> std::map<std::string, int> OpensInFolder(const std::string& folder, F read) {
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(inotify_add_watch(watcher, folder.c_str(), IN_OPEN | IN_CLOSE), 0);
    read();
    std::map<std::string, int> opens;
    alignas(inotify_event) char events[8192];
    for (ssize_t got; (got = ::read(watcher, events, sizeof events)) > 0;)
        for (char* p = events; p < events + got;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
            const auto* event = reinterpret_cast<inotify_event*>(p);
            if ((event->mask & IN_OPEN) != 0 && event->len > 0)
                ++opens[event->name];
        }
    close(watcher);
    return opens;
}

// A WAV file with an artist, of about a second and a quarter.
void WriteTaggedWav(const std::string& path, const std::string& artist) {
    TRiffBuilder riff;
    riff.Chunk("fmt ", TRiffBuilder::Fmt());
    riff.Chunk("LIST", TRiffBuilder::Info({{"IART", artist}, {"IGNR", "Pop"}}));
    riff.Chunk("data", TRiffBuilder::Audio(220500)).WriteTo(path);
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

// Handed the file already open, neither library opens it again, and the texts are the same.
TEST_F(DetailReaderOpens, AnOpenFileIsNotOpenedAgain) {
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (const int n : {1, 2, ArtistColumn})
        columns.push_back({n, QString::number(n), 100});
    const TDetailPlan plan = TDetailReader::Plan(columns);
    ASSERT_TRUE(TDetailReader::ReadsOpenFiles(plan));
    const std::string path = Dir.File("spot.wav");
    WriteTaggedWav(path, "Open Artist");
    TOpenAudioFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.HeadLength(), TOpenAudioFile::HeadSize); // the file is longer
    TShellItem entry;
    entry.ParsingName = QByteArray::fromStdString(path);
    entry.IsFileSystem = true;
    EXPECT_EQ(OpensDuring(path, [&] { TDetailReader::ReadAudio(entry, plan, &file); }), 0);
    EXPECT_EQ(entry.Value(1), "PCM 16 bit - 44100 Hz Stereo");
    EXPECT_EQ(entry.Value(2), "00:01.2");
    EXPECT_EQ(entry.Value(ArtistColumn), "Open Artist");
    EXPECT_FALSE(entry.ReadFailed);
}

// A pass over a folder: every audio file opened once; a FIFO named like audio neither blocks
// the pass nor is taken for a file; a file that is gone by then is marked failed.
TEST_F(DetailReaderOpens, APassOpensEachFileOnce) {
    const std::string folder = Dir.Path().string();
    for (const char* name : {"one.wav", "two.wav", "three.WAV"})
        WriteTaggedWav(Dir.File(name), name);
    ASSERT_EQ(::mkfifo(Dir.File("pipe.wav").c_str(), 0644), 0);
    WriteTaggedWav(Dir.File("gone.wav"), "gone");
    // An MP3 file with an ID3v2 tag.
    const std::string song = Dir.File("song.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(song, {44100, 2, 2.0, 440.0}, false));
    ASSERT_NE(AudioLibs().AddId3v2(song.c_str()), -1);
    ASSERT_EQ(AudioLibs().OpenWavFile(song.c_str(), 0, 0), 0);
    AudioLibs().SetTagInfo("IART", "song.mp3", 8);
    ASSERT_EQ(AudioLibs().CloseWavFile(), 0);

    TFolderListModel model;
    std::vector<TListColumn> columns = TListColumns::Fixed();
    for (const int n : {1, 2, ArtistColumn})
        columns.push_back({n, QString::number(n), 100});
    model.SetColumns(columns);
    TPidl id;
    ASSERT_TRUE(GetPIDLFromPath(&model.DesktopFolder(), folder, id));
    ASSERT_TRUE(model.OpenFolder(id.Get()));
    ASSERT_EQ(model.Count(), 6);
    ASSERT_EQ(::unlink(Dir.File("gone.wav").c_str()), 0);

    const auto opens = OpensInFolder(folder, [&] { model.ReadEntryDetails(0, model.Count() - 1); });
    for (const char* name : {"one.wav", "two.wav", "three.WAV", "song.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(opens.count(name) ? opens.at(name) : 0, 1);
        const bool mp3 = std::string(name) == "song.mp3";
        const TShellItem& entry =
            model.Entry(model.RowOfPath(QByteArray::fromStdString(Dir.File(name))));
        EXPECT_EQ(entry.Value(1), mp3 ? "MPEG-1 Layer III 128 kbps - 44100 Hz Stereo"
                                      : "PCM 16 bit - 44100 Hz Stereo");
        EXPECT_EQ(entry.Value(2), mp3 ? "00:02.0" : "00:01.2");
        EXPECT_EQ(entry.Value(ArtistColumn), QString::fromLatin1(name));
        EXPECT_EQ(entry.Size, std::filesystem::file_size(Dir.File(name)));
        EXPECT_FALSE(entry.ReadFailed);
    }
    const TShellItem& pipe =
        model.Entry(model.RowOfPath(QByteArray::fromStdString(Dir.File("pipe.wav"))));
    EXPECT_TRUE(pipe.ReadFailed);
    EXPECT_TRUE(S_ISFIFO(pipe.Attributes));
    const TShellItem& gone =
        model.Entry(model.RowOfPath(QByteArray::fromStdString(Dir.File("gone.wav"))));
    EXPECT_TRUE(gone.ReadFailed);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
