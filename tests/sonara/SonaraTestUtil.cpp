#include "SonaraTestUtil.h"

#include "sonara.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace SonaraTest {

bool WaitForStatus(uint32_t handle, int16_t status, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (SN_Status(handle) != status) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        SleepMs(10);
    }
    return true;
}

bool WaitForPosition(uint32_t handle, uint32_t ms, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (SN_PlayGetTimeMs(handle) < ms) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        SleepMs(10);
    }
    return true;
}

std::string LastError() {
    char text[256] = "";
    SN_GetLastError(text, sizeof text);
    return text;
}

int OpenFdCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace SonaraTest
