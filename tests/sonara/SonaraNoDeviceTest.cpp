// Without any working audio driver, starting playback fails with a reason a user understands.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <string>

TEST(SonaraNoDevice, StartFailsWithAPlainReason) {
    TTempDir dir;
    const std::string wav = dir.File("a.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, {}, SF_FORMAT_PCM_16));
    EXPECT_EQ(SN_GetNumOutputDevices(), 1); // the default entry only
    const uint32_t handle = SN_GetHandlePlay(0, 0, wav.c_str());
    ASSERT_NE(handle, 0u); // measuring needs no device
    EXPECT_NE(SN_PlayStartXY(handle, 0, 0), 0);
    char text[256];
    SN_GetLastError(text, sizeof text);
    EXPECT_EQ(std::string(text).rfind("No audio output device is available: ", 0), 0u) << text;
    EXPECT_EQ(SN_Status(handle), SN_STATUS_DONE);
    SN_FreeHandlePlayAll();
}
