// The program loads the library with dlopen and unloads it at exit, possibly with a handle
// still playing: nothing of the library or of SDL's audio threads may outlive the unload.
#include "AudioFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <dlfcn.h>
#include <thread>

TEST(SonaraUnload, UnloadWhilePlayingIsClean) {
    TTempDir dir;
    const std::string wav = dir.File("a.wav");
    Fixtures::TToneSpec tone;
    tone.Seconds = 3.0;
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, tone, SF_FORMAT_PCM_16));
    for (int round = 0; round < 2; ++round) {
        void* lib = dlopen(SONARA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        using TGetHandle = uint32_t (*)(int32_t, int16_t, const char*);
        using TStart = int16_t (*)(uint32_t, uint32_t, uint32_t);
        auto getHandle = reinterpret_cast<TGetHandle>(dlsym(lib, "SN_GetHandlePlay"));
        auto start = reinterpret_cast<TStart>(dlsym(lib, "SN_PlayStartXY"));
        using TLastError = int16_t (*)(char*, int32_t);
        auto lastError = reinterpret_cast<TLastError>(dlsym(lib, "SN_GetLastError"));
        ASSERT_TRUE(getHandle && start && lastError);
        const uint32_t handle = getHandle(0, 0, wav.c_str());
        char error[256] = "";
        const int16_t started = start(handle, 0, 0);
        lastError(error, sizeof error);
        ASSERT_EQ(started, 0) << "round " << round << ": " << error;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(dlclose(lib), 0);
        // Any thread left running code of the unloaded library would crash here.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}
