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

} // namespace SonaraTest
