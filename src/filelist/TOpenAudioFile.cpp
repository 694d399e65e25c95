#include "TOpenAudioFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

TOpenAudioFile::~TOpenAudioFile() {
    Close();
}

bool TOpenAudioFile::Open(const char* path) {
    Close();
    if (path == nullptr || *path == '\0')
        return false;
    do {
        Fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (Fd < 0 && errno == EINTR);
    if (Fd < 0)
        return false;
    if (::fstat(Fd, &Examined) != 0 || !S_ISREG(Examined.st_mode)) {
        Close();
        return false;
    }
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(Size(), HeadSize));
    Bytes.resize(HeadSize);
    while (Length < wanted) {
        const ssize_t got =
            ::pread(Fd, Bytes.data() + Length, wanted - Length, static_cast<off_t>(Length));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            Close();
            return false;
        }
        if (got == 0)
            break; // shorter than it was: the libraries see the same end
        Length += static_cast<std::size_t>(got);
    }
    return true;
}

void TOpenAudioFile::Close() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
    Length = 0;
    Examined = {};
}
