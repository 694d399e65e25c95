// The editor document through the real libraries: a WAV file whose INFO strings libsndfile
// wrote is loaded, edited and saved, and read back with libsndfile; a read-only file is made
// writable; a save that cannot happen says why and keeps the edits unsaved.
#include "TAudioLibs.h"
#include "TEditorDocument.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A 0.5 s mono tone at 8 kHz with a title (INAM) and an artist (IART), written by libsndfile.
bool WriteTaggedWav(const std::string& path, const char* title, const char* artist) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    sf_set_string(file, SF_STR_TITLE, title);
    sf_set_string(file, SF_STR_ARTIST, artist);
    std::vector<short> samples(4000, 1000);
    const bool written = sf_write_short(file, samples.data(), sf_count_t(samples.size())) == 4000;
    return sf_close(file) == 0 && written;
}

// An INFO string as libsndfile reads it; "" when absent.
std::string SndfileString(const std::string& path, int which) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return "<unreadable>";
    const char* text = sf_get_string(file, which);
    std::string value = text ? text : "";
    sf_close(file);
    return value;
}

class EditorDocument : public ::testing::Test {
protected:
    void SetUp() override {
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
        Path = Dir.File("spot.wav");
        ASSERT_TRUE(WriteTaggedWav(Path, "Morning Jingle", "Station One"));
        Document.CurrentFile = TFilePath(QByteArray::fromStdString(Path));
    }
    void TearDown() override { Binder.Release(); }

    TTempDir Dir;
    TAudioLibsBinder Binder;
    std::string Path;
    TEditorDocument Document;
    QList<bool> Writing; // what the save told its `writing` step, in order
    TEditorDocument::TSaved Save(const TEditorValues& values) {
        return Document.Save(values, [this](bool done) { Writing.append(done); });
    }
};

TEST_F(EditorDocument, LoadsEditsAndSavesWhatLibsndfileReadsBack) {
    int whileOpen = 0;
    const TEditorDocument::TLoaded loaded = Document.Load([&] { ++whileOpen; });
    ASSERT_TRUE(loaded.Opened);
    EXPECT_TRUE(loaded.Error.isEmpty()) << loaded.Error.toStdString();
    EXPECT_EQ(whileOpen, 1);
    EXPECT_EQ(loaded.Values.Field("INAM"), "Morning Jingle");
    EXPECT_EQ(loaded.Values.Field("IART"), "Station One");
    EXPECT_EQ(loaded.LengthMs, 500u); // 4000 frames at 8000 Hz
    EXPECT_TRUE(loaded.Format.startsWith("WAV File / ")) << loaded.Format.toStdString();
    EXPECT_FALSE(loaded.Id3v1Only);

    // Edits made while a load fills the editor are not the user's.
    Document.Loading = true;
    EXPECT_FALSE(Document.NoteEdit());
    EXPECT_FALSE(Document.HasUnsavedChanges());
    Document.Loading = false;
    EXPECT_TRUE(Document.NoteEdit());
    EXPECT_TRUE(Document.HasUnsavedChanges());

    TEditorValues values = loaded.Values;
    values.SetField("IART", QStringLiteral("Caf\u00e9 Radio"));
    const TEditorDocument::TSaved saved = Save(values);
    EXPECT_TRUE(saved.Saved) << saved.Message.toStdString();
    EXPECT_FALSE(Document.Modified);
    EXPECT_EQ(Writing, (QList<bool>{false, true}));
    EXPECT_EQ(SndfileString(Path, SF_STR_ARTIST), "Caf\xe9 Radio"); // INFO holds Windows-1252
    EXPECT_EQ(SndfileString(Path, SF_STR_TITLE), "Morning Jingle");
    EXPECT_EQ(Document.ReadValues()->Field("IART"), QStringLiteral("Caf\u00e9 Radio"));

    // The header dump's head: the file's own first bytes.
    std::ifstream in(Path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(Document.Head(), QByteArray::fromStdString(bytes.substr(0, 256)));
    Document.Clear();
    EXPECT_EQ(Document.Head(), std::nullopt);
}

TEST_F(EditorDocument, AReadOnlyFileIsMadeWritableAndKeepsItsOtherPermissions) {
    ASSERT_EQ(::chmod(Path.c_str(), 0444), 0);
    EXPECT_TRUE(Document.MakeWritable());
    struct stat status {};
    ASSERT_EQ(::stat(Path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    EXPECT_FALSE(Document.MakeWritable()); // already writable: nothing to say
    Document.CurrentFile = TFilePath(QByteArray::fromStdString(Dir.File("gone.wav")));
    EXPECT_FALSE(Document.MakeWritable());
}

TEST_F(EditorDocument, ASaveThatCannotHappenSaysWhyAndKeepsTheEditsUnsaved) {
    const TEditorDocument::TLoaded loaded = Document.Load();
    ASSERT_TRUE(loaded.Opened);

    // A value that fails validation: nothing is written, the failing field is named.
    Document.NoteEdit();
    TEditorValues invalid = loaded.Values;
    invalid.SetField("IART", "Changed");
    invalid.SetField("IGNR", "13/45/2020");
    TEditorDocument::TSaved saved = Save(invalid);
    EXPECT_FALSE(saved.Saved);
    ASSERT_TRUE(saved.Invalid);
    EXPECT_EQ(saved.Invalid->FocusKey, "IGNR");
    EXPECT_EQ(saved.Message, "Invalid Start Date");
    EXPECT_TRUE(Document.Modified);
    EXPECT_EQ(Writing, (QList<bool>{false, true})); // the notices come back on after a failure
    EXPECT_EQ(SndfileString(Path, SF_STR_ARTIST), "Station One");

    // The file went away under the editor: the save cannot open it.
    Writing.clear();
    ASSERT_EQ(std::remove(Path.c_str()), 0);
    saved = Save(loaded.Values);
    EXPECT_FALSE(saved.Saved);
    EXPECT_FALSE(saved.Invalid);
    EXPECT_TRUE(saved.Message.startsWith("Cannot open file to save tags."))
        << saved.Message.toStdString();
    EXPECT_TRUE(Document.Modified);
    EXPECT_TRUE(Writing.isEmpty()); // nothing was about to be written
    EXPECT_FALSE(Document.Load().Opened);
    EXPECT_EQ(Document.ReadValues(), std::nullopt);
}

} // namespace
