// The C operations on MPEG files: detection by content, HasId3v2 around open and close,
// AddId3v2, and the out-cue kept apart from the title.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "riffkit.h"

#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <string>

namespace {

std::string ViaC(const char* key) {
    char buffer[1024] = {};
    if (std::string(key) == "DISP")
        GetChunkInfo(key, buffer, sizeof buffer);
    else
        GetTagInfo(key, buffer, sizeof buffer);
    return buffer;
}

void SetViaC(const char* key, const std::string& value) {
    if (std::string(key) == "DISP")
        SetChunkInfo(key, value.data(), static_cast<uint16_t>(value.size()));
    else
        SetTagInfo(key, value.data(), static_cast<uint16_t>(value.size()));
}

class MpegCInterfaceTest : public ::testing::Test {
protected:
    void TearDown() override { CloseWavFile(); }
    TTempDir Dir;
};

TEST_F(MpegCInterfaceTest, AddId3v2ThenHasId3v2) {
    // MPEG content under an extension that says nothing about it.
    const std::string path = Dir.File("spot.tmc");
    ASSERT_TRUE(Fixtures::WriteMp2(path, {44100, 2, 0.3, 440.0}));

    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(HasId3v2(), 0);
    SetViaC("DISP", "Only title");
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_EQ(HasId3v2(), 0);
    // A key ID3v1 has no field for is refused by name, and nothing is written.
    const auto before = Fixtures::ReadBytes(path);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    SetViaC("INAM", "no field without ID3v2");
    ASSERT_EQ(CloseWavFile(), 1);
    char reason[256];
    GetTagLastError(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("INAM"), std::string::npos) << reason;
    EXPECT_EQ(Fixtures::ReadBytes(path), before);

    ASSERT_NE(AddId3v2(path.c_str()), -1);
    ASSERT_EQ(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_NE(HasId3v2(), 0);
    EXPECT_EQ(ViaC("DISP"), "Only title");
    EXPECT_EQ(ViaC("INAM"), "");
    SetViaC("INAM", "out-cue words");
    SetViaC("ISRC", "SPOTS");
    ASSERT_EQ(CloseWavFile(), 0);
    EXPECT_NE(HasId3v2(), 0); // still answers for the file last opened

    TagLib::MPEG::File file(path.c_str(), false);
    ASSERT_TRUE(file.ID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Only title");
    auto* outCue = TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(), "INAM");
    ASSERT_TRUE(outCue);
    EXPECT_EQ(outCue->fieldList().back().to8Bit(true), "out-cue words");
}

TEST_F(MpegCInterfaceTest, UnknownContentDoesNotOpen) {
    const std::string path = Dir.File("notes.mp3");
    ASSERT_TRUE(Fixtures::WriteBytes(path, std::vector<uint8_t>(4000, 'x')));
    EXPECT_NE(OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(AddId3v2(path.c_str()), -1);
    EXPECT_EQ(Fixtures::ReadBytes(path), std::vector<uint8_t>(4000, 'x'));
}

} // namespace
