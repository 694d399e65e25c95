#include "SonaraTestUtil.h"

#include "sonara.h"

#include <chrono>
#include <cstdio>
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

bool FfmpegDecode(const std::string& path, std::vector<int16_t>& samples, int rate) {
    samples.clear();
    std::string quoted = "'";
    for (const char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string command =
        "ffmpeg -nostdin -v error -i " + quoted +
        (rate > 0 ? " -af aresample=" + std::to_string(rate) : std::string()) +
        " -f s16le -acodec pcm_s16le - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    const int status = ::pclose(pipe);
    samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return status == 0 && !samples.empty();
}

std::vector<int16_t> ReadCapture(const std::string& path) {
    std::vector<int16_t> samples;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return samples;
    int16_t block[4096];
    for (size_t got; (got = std::fread(block, 2, 4096, file)) > 0;)
        samples.insert(samples.end(), block, block + got);
    std::fclose(file);
    return samples;
}

size_t FirstNonZeroFrame(const std::vector<int16_t>& samples, size_t channels) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != 0)
            return i / channels;
    return samples.size() / channels;
}

size_t EndOfSoundFrames(const std::vector<int16_t>& samples, size_t channels) {
    size_t end = samples.size();
    while (end > 0 && samples[end - 1] == 0)
        --end;
    return (end + channels - 1) / channels;
}

bool DropLeadingSilence(std::vector<int16_t>& captured, const std::vector<int16_t>& expected,
                        size_t channels) {
    const size_t lead = FirstNonZeroFrame(captured, channels);
    const size_t expectedLead = FirstNonZeroFrame(expected, channels);
    if (lead < expectedLead)
        return false;
    captured.erase(captured.begin(),
                   captured.begin() + static_cast<long>((lead - expectedLead) * channels));
    return true;
}

} // namespace SonaraTest
