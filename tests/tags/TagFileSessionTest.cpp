// The tag-file session through the real tagging library (long UTF-8 values, a file name that
// is not UTF-8) and through the scripted table (the library's reasons, refused values).
#include "AudioFixtures.h"
#include "TAudioLibs.h"
#include "TScriptedAudioLibs.h"
#include "TTagFileSession.h"
#include "TagCatalogue.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <string>

namespace {

class TagFileSessionRealLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    }
    void TearDown() override { Binder.Release(); }

    // A value read back with the library directly, through a buffer larger than any value.
    static std::string RawValue(const char* path, const char* key) {
        std::string buffer(1 << 17, '\0');
        EXPECT_EQ(AudioLibs().OpenWavFile(path, 0, 0), 0);
        AudioLibs().GetTagInfo(key, buffer.data(), int32_t(buffer.size()));
        AudioLibs().CloseWavFile();
        return buffer.c_str();
    }

    TTempDir Dir;
    TAudioLibsBinder Binder;
};

TEST_F(TagFileSessionRealLibrary, LongUtf8ValuesComeBackWholeAndSaveAgainUnchanged) {
    const std::string path = Dir.File("copy.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {8000, 1, 0.5, 440.0}, SF_FORMAT_PCM_16));
    // The longest field's limit in characters, each two or three bytes in UTF-8.
    QString copy;
    while (copy.size() < 1024)
        copy += QStringLiteral("Grüße aus Köln € ");
    copy.truncate(1024);
    const QString talent = QString(512, QChar(0x20AC)); // 1536 bytes

    {
        TTagFileSession session(QByteArray::fromStdString(path));
        ASSERT_TRUE(session.Open());
        TEditorValues values = session.ReadValues();
        values.SetField("ISBJ", copy);
        values.SetField("ITCH", talent);
        ASSERT_TRUE(session.Write(values));
        ASSERT_TRUE(session.Close()) << session.Reason().toStdString();
    }
    EXPECT_EQ(RawValue(path.c_str(), "ISBJ"), copy.toStdString());

    // Read into the editor's values and saved again: nothing is cut.
    {
        TTagFileSession session(QByteArray::fromStdString(path));
        ASSERT_TRUE(session.Open());
        const TEditorValues values = session.ReadValues();
        EXPECT_EQ(values.Field("ISBJ").size(), 1024);
        EXPECT_EQ(values.Field("ITCH"), talent);
        ASSERT_TRUE(session.Write(values));
        ASSERT_TRUE(session.Close());
    }
    EXPECT_EQ(RawValue(path.c_str(), "ISBJ"), copy.toStdString());
    EXPECT_EQ(RawValue(path.c_str(), "ITCH"), talent.toStdString());
}

TEST_F(TagFileSessionRealLibrary, AFileNameThatIsNotUtf8IsOpenedByItsBytes) {
    const std::string made = Dir.File("made.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(made, {8000, 1, 0.5, 440.0}, SF_FORMAT_PCM_16));
    const std::string latin1 = (Dir.Path() / "caf\xe9.wav").string();
    ASSERT_EQ(std::rename(made.c_str(), latin1.c_str()), 0);

    TTagFileSession session(QByteArray::fromStdString(latin1));
    ASSERT_TRUE(session.Open()) << session.Reason().toStdString();
    TEditorValues values = session.ReadValues();
    values.SetField("DISP", "Café");
    ASSERT_TRUE(session.Write(values));
    ASSERT_TRUE(session.Close());
    char title[64] = {};
    ASSERT_EQ(AudioLibs().OpenWavFile(latin1.c_str(), 0, 0), 0);
    AudioLibs().GetChunkInfo("DISP", title, sizeof title);
    AudioLibs().CloseWavFile();
    EXPECT_STREQ(title, "Café");
}

TEST_F(TagFileSessionRealLibrary, AMissingFileGivesTheLibrarysReason) {
    TTagFileSession session(QByteArray::fromStdString(Dir.File("missing.wav")));
    EXPECT_FALSE(session.Open());
    if (AudioLibs().GetTagLastError != nullptr) {
        EXPECT_FALSE(session.Reason().isEmpty());
    }
}

TEST(TagFileSessionScripted, WritesInTheSavesOrderAndReportsReasons) {
    TScriptedAudioLibs libs;
    libs.Files["/a.wav"].Tags["IART"] = "Artist";
    TTagFileSession session(QByteArray("/a.wav"));
    ASSERT_TRUE(session.Open());
    TEditorValues values = session.ReadValues();
    EXPECT_EQ(values.Field("IART"), "Artist");
    libs.Calls.clear();
    ASSERT_TRUE(session.Write(values));
    std::vector<std::string> writes;
    for (const std::string& call : libs.Calls)
        if (call.rfind("Set", 0) == 0 || call.rfind("Remove", 0) == 0)
            writes.push_back(
                call.substr(0, call.find(',') == std::string::npos ? call.size() : call.find(',')));
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], "SetChunkInfo(DISP");
    EXPECT_EQ(writes[1], "SetTagInfo(IART");

    libs.CloseResult = 1;
    libs.FailureReason = "the file was changed by another program";
    EXPECT_FALSE(session.Close());
    EXPECT_EQ(session.Reason(), "the file was changed by another program");
    EXPECT_FALSE(session.IsOpen());

    // A value longer than the library can be given is refused, naming its key.
    libs.CloseResult = 0;
    TTagFileSession again(QByteArray("/a.wav"));
    ASSERT_TRUE(again.Open());
    values.SetField("ICMT", QString(70000, QLatin1Char('x')));
    EXPECT_FALSE(again.Write(values));
    EXPECT_TRUE(again.Reason().startsWith("ICMT")) << again.Reason().toStdString();
}

} // namespace
