// Special files named like audio files (a FIFO, a device) are refused at once with a reason:
// measuring, opening a handle and starting playback never wait on them. Each check runs in a
// child process that an alarm ends, so a regression fails the test instead of hanging it.
#include "AudioFixtures.h"
#include "TempDir.h"
#include "sonara.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string LastError() {
    char text[256] = "";
    SN_GetLastError(text, sizeof text);
    return text;
}

// Runs body in a child that is killed after 10 s; returns what the body reported, or a note
// that it hung.
std::string InChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(10);
        const std::string result = body();
        const ssize_t written = ::write(fds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return "hung or crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    return result;
}

// Measuring and opening a handle: both refused, with the reason as the last error.
std::string MeasureAndOpen(const std::string& path) {
    char a[64] = "stale", b[64] = "stale";
    std::string out;
    out += "format=" + std::to_string(SN_GetWaveFileFormat(path.c_str(), a, 64, b, 64));
    out += " [" + LastError() + "]";
    out += " length=" + std::to_string(SN_PlayGetLengthMsFile(path.c_str()));
    out += " [" + LastError() + "]";
    out += " handle=" + std::to_string(SN_GetHandlePlay(0, 0, path.c_str()));
    out += " [" + LastError() + "]";
    return out;
}

TEST(SonaraNonRegularFiles, FifosAndDevicesAreRefusedWithoutWaiting) {
    TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe.mp3").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(dir.File("pipe.wav").c_str(), 0644), 0);
    ASSERT_EQ(::symlink(dir.File("pipe.wav").c_str(), dir.File("link.wav").c_str()), 0);
    for (const std::string& path :
         {dir.File("pipe.mp3"), dir.File("pipe.wav"), dir.File("link.wav"),
          std::string("/dev/zero"), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        const std::string refused = " [Cannot open \"" + path + "\": not a regular file]";
        EXPECT_EQ(InChild([&] { return MeasureAndOpen(path); }),
                  "format=0" + refused + " length=0" + refused + " handle=0" + refused);
    }
}

// A file replaced by a FIFO after its handle was made: the start opens it again and must
// refuse it, whichever decoder plays it.
TEST(SonaraNonRegularFiles, StartRefusesAFileSwappedForAFifo) {
    TTempDir dir;
    Fixtures::TToneSpec tone;
    const std::string wav = dir.File("song.wav"), mp3 = dir.File("song.mp3");
    ASSERT_TRUE(Fixtures::WritePcmWav(wav, tone, SF_FORMAT_PCM_16));
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, false));
    for (const std::string& path : {wav, mp3}) {
        for (const int16_t force : {0, 1}) {
            SCOPED_TRACE(path + " force " + std::to_string(force));
            const std::string result = InChild([&] {
                const uint32_t handle = SN_GetHandlePlay(0, 0, path.c_str());
                if (!handle)
                    return "no handle: " + LastError();
                SN_ForceCodec(handle, force);
                if (std::remove(path.c_str()) != 0 || ::mkfifo(path.c_str(), 0644) != 0)
                    return std::string("cannot make the FIFO");
                const int16_t started = SN_PlayStartXY(handle, 0, 0);
                return "start=" + std::to_string(started) + " [" + LastError() + "]";
            });
            EXPECT_EQ(result.rfind("start=1 [", 0), 0u) << result;
            EXPECT_NE(result.find("not a regular file"), std::string::npos) << result;
            // The child replaced the file; the next round starts from a real one again.
            std::remove(path.c_str());
            ASSERT_TRUE(path == wav ? Fixtures::WritePcmWav(path, tone, SF_FORMAT_PCM_16)
                                    : Fixtures::WriteMp3(path, tone, false));
        }
    }
}

} // namespace
