#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Helpers shared by the playback tests: generous polling, never tight timing.
namespace SonaraTest {

// Polls SN_Status until it gives status; false after timeoutMs.
bool WaitForStatus(uint32_t handle, int16_t status, int timeoutMs = 10000);
// Polls SN_PlayGetTimeMs until it reaches ms; false after timeoutMs.
bool WaitForPosition(uint32_t handle, uint32_t ms, int timeoutMs = 10000);
// The last failure text of the library.
std::string LastError();
// The number of open file descriptors of this process.
int OpenFdCount();
void SleepMs(int ms);
// The interleaved 16-bit samples ffmpeg decodes from a file, its channels kept: the
// independent reference for what the library plays. False when ffmpeg cannot run or decode.
// rate, when given, is the output rate (ffmpeg converts parts at other rates to it).
bool FfmpegDecode(const std::string& path, std::vector<int16_t>& samples, int rate = 0);
// The 16-bit samples SDL's disk driver wrote to a capture file.
std::vector<int16_t> ReadCapture(const std::string& path);
// The first frame with a non-zero sample (the frame count when all are silent).
size_t FirstNonZeroFrame(const std::vector<int16_t>& samples, size_t channels);
// The frames up to and including the last non-zero sample.
size_t EndOfSoundFrames(const std::vector<int16_t>& samples, size_t channels);
// Removes the silence a paused device writes before the first sample: as many leading
// frames as put captured's first sound where expected has its own. False when captured
// starts its sound too early to be the expected audio.
bool DropLeadingSilence(std::vector<int16_t>& captured, const std::vector<int16_t>& expected,
                        size_t channels);

} // namespace SonaraTest
