#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Every member of the table, in declaration order.
std::vector<const void*> Members(const TAudioLibs& t) {
    return {reinterpret_cast<const void*>(t.SN_GetWaveFileFormat),
            reinterpret_cast<const void*>(t.SN_GetNumPlayHandles),
            reinterpret_cast<const void*>(t.SN_GetLastError),
            reinterpret_cast<const void*>(t.SN_GetNumOutputDevices),
            reinterpret_cast<const void*>(t.SN_GetOutputDeviceName),
            reinterpret_cast<const void*>(t.SN_GetHandlePlay),
            reinterpret_cast<const void*>(t.SN_SetBuffers),
            reinterpret_cast<const void*>(t.SN_FreeHandlePlay),
            reinterpret_cast<const void*>(t.SN_FreeHandlePlayAll),
            reinterpret_cast<const void*>(t.SN_PlayGetLengthMsFile),
            reinterpret_cast<const void*>(t.SN_PlayGetLengthMs),
            reinterpret_cast<const void*>(t.SN_PlayStartXY),
            reinterpret_cast<const void*>(t.SN_PlayPause),
            reinterpret_cast<const void*>(t.SN_PlayResume),
            reinterpret_cast<const void*>(t.SN_PlayStop),
            reinterpret_cast<const void*>(t.SN_PlayGetTimeMs),
            reinterpret_cast<const void*>(t.SN_PlayGetTimeMsS),
            reinterpret_cast<const void*>(t.SN_Status),
            reinterpret_cast<const void*>(t.SN_ForceCodec),
            reinterpret_cast<const void*>(t.OpenWavFile),
            reinterpret_cast<const void*>(t.CloseWavFile),
            reinterpret_cast<const void*>(t.GetTagInfo),
            reinterpret_cast<const void*>(t.SetTagInfo),
            reinterpret_cast<const void*>(t.GetChunkInfo),
            reinterpret_cast<const void*>(t.SetChunkInfo),
            reinterpret_cast<const void*>(t.HasId3v2),
            reinterpret_cast<const void*>(t.AddId3v2),
            reinterpret_cast<const void*>(t.RemoveTag)};
}

} // namespace

// Runs with the complete stub libraries first on LD_LIBRARY_PATH.
TEST(StubLibraries, LoadsPlaybackFirstBindsEverythingAndReleasesTaggingFirst) {
    TTempDir dir;
    const std::string marker = dir.File("marker.txt");
    setenv("CUEMARK_STUB_MARKER", marker.c_str(), 1);

    TAudioLibsBinder binder;
    const TAudioLibsBinder::TResult result = binder.Load();
    ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    EXPECT_TRUE(result.Message.empty());
    for (const void* member : Members(AudioLibs()))
        EXPECT_NE(member, nullptr);
    EXPECT_EQ(ReadLines(marker), (std::vector<std::string>{"load sonara", "load riffkit"}));
    // Optional: the stub has no combined format and length, and still binds.
    EXPECT_EQ(AudioLibs().SN_GetWaveFileFormatAndLength, nullptr);
    EXPECT_EQ(AudioLibs().SetLoudness, nullptr);
    EXPECT_EQ(StoreLoudness({-2300}), TLoudnessStore::Unsupported);
    EXPECT_EQ(StoredLoudness(), std::nullopt);

    binder.Release();
    EXPECT_EQ(ReadLines(marker), (std::vector<std::string>{"load sonara", "load riffkit",
                                                           "unload riffkit", "unload sonara"}));
    for (const void* member : Members(AudioLibs()))
        EXPECT_EQ(member, nullptr);
    unsetenv("CUEMARK_STUB_MARKER");
}

// Runs without LD_LIBRARY_PATH: the libraries built beside the executable.
TEST(RealLibraries, ExportEveryBoundOperation) {
    TAudioLibsBinder binder;
    const TAudioLibsBinder::TResult result = binder.Load();
    ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    for (const void* member : Members(AudioLibs()))
        EXPECT_NE(member, nullptr);
    EXPECT_EQ(AudioLibs().SN_Status(0), SN_STATUS_DONE);
    EXPECT_NE(AudioLibs().SN_GetWaveFileFormatAndLength, nullptr);
    EXPECT_NE(AudioLibs().SetLoudness, nullptr);
    EXPECT_NE(AudioLibs().GetLoudness, nullptr);
    binder.Release();
}

// The loudness calls through the real tagging library, with a WAV file that has a bext.
TEST(RealLibraries, LoudnessIsStoredAndReadBack) {
    TAudioLibsBinder binder;
    ASSERT_EQ(binder.Load().Outcome, TAudioLibsBinder::TOutcome::Bound);
    const auto& libs = AudioLibs();
    TTempDir dir;
    const std::string path = dir.File("bext.wav");
    using B = TRiffBuilder;
    ASSERT_TRUE(B().Chunk("bext", std::string(602, '\0'))
                    .Chunk("fmt ", B::Fmt())
                    .Chunk("data", B::Audio(400))
                    .WriteTo(path));
    const TStoredLoudness figures{-2345, 512, -105, -1500, RIFFKIT_NOT_MEASURED};
    EXPECT_EQ(StoreLoudness(figures), TLoudnessStore::Failed); // no open file

    ASSERT_EQ(libs.OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(StoredLoudness(), std::nullopt);
    EXPECT_EQ(StoreLoudness(figures), TLoudnessStore::Stored);
    ASSERT_EQ(libs.CloseWavFile(), 0);
    ASSERT_EQ(libs.OpenWavFile(path.c_str(), 0, 0), 0);
    EXPECT_EQ(StoredLoudness(), figures);
    // Broadcast chunks left alone: not stored, and the reason is told.
    ASSERT_EQ(libs.SetBroadcastOptions(2, 0), 0);
    EXPECT_EQ(StoreLoudness({-1800}), TLoudnessStore::NotStored);
    EXPECT_NE(TagLastError(), "");
    ASSERT_EQ(libs.SetBroadcastOptions(0, 0), 0);
    ASSERT_EQ(libs.CloseWavFile(), 0);
    binder.Release();
}
