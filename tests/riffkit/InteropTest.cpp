// INFO keys written through the C interface are what TagLib reads from a WAV file, and
// INFO that TagLib wrote reads back through the C interface.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <string>
#include <vector>

namespace {

struct TKeyValue {
    const char* Key;
    std::string Value;
};

// Common INFO keys, with this system's meanings for INAM and ICOP. ASCII only: we store
// Windows-1252 as Windows tools do, while TagLib reads INFO texts as UTF-8.
const std::vector<TKeyValue> InfoValues = {
    {"IART", "Artist"}, {"INAM", "and that's the news"}, {"ICMT", "A comment"},
    {"ICOP", "Agency"}, {"IGNR", "2003/12/16"},          {"ISRC", "NEWS"},
    {"IALB", "Album"},  {"ISFT", "Sales person"},        {"BSTM", "06:30"}};

std::string InfoViaC(const char* key) {
    char buffer[1024] = {};
    GetTagInfo(key, buffer, sizeof buffer);
    return buffer;
}

class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        Wav = Dir.File("tone.wav");
        ASSERT_TRUE(Fixtures::WritePcmWav(Wav, {44100, 2, 0.2, 440.0}, SF_FORMAT_PCM_16));
    }
    void TearDown() override { CloseWavFile(); }

    TTempDir Dir;
    std::string Wav;
};

TEST_F(InteropTest, TagLibReadsInfoWeWrite) {
    ASSERT_EQ(OpenWavFile(Wav.c_str(), 0, 0), 0);
    for (const auto& [key, value] : InfoValues)
        SetTagInfo(key, value.data(), static_cast<uint16_t>(value.size()));
    SetChunkInfo("DISP", "Title", 5);
    ASSERT_EQ(CloseWavFile(), 0);

    TagLib::RIFF::WAV::File file(Wav.c_str(), false);
    ASSERT_TRUE(file.isValid());
    ASSERT_TRUE(file.hasInfoTag());
    for (const auto& [key, value] : InfoValues)
        EXPECT_EQ(file.InfoTag()->fieldText(key).to8Bit(true), value) << key;
    // The title lives in its own chunk, not in INAM.
    EXPECT_EQ(file.InfoTag()->title().to8Bit(true), InfoValues[1].Value);
}

TEST_F(InteropTest, WeReadInfoTagLibWrote) {
    {
        TagLib::RIFF::WAV::File file(Wav.c_str(), false);
        for (const auto& [key, value] : InfoValues)
            file.InfoTag()->setFieldText(key, TagLib::String(value, TagLib::String::UTF8));
        file.InfoTag()->setFieldText(
            "IENG", TagLib::String("Caf\xC3\xA9 \xE2\x9C\x93", TagLib::String::UTF8));
        ASSERT_TRUE(file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone));
    }
    ASSERT_EQ(OpenWavFile(Wav.c_str(), 0, 0), 0);
    for (const auto& [key, value] : InfoValues)
        EXPECT_EQ(InfoViaC(key), value) << key;
    EXPECT_EQ(InfoViaC("IENG"), "Caf\xC3\xA9 \xE2\x9C\x93");
    EXPECT_EQ(InfoViaC("IURL"), "");
}

} // namespace
