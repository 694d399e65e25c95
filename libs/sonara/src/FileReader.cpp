#include "FileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileReader::TFileReader(const std::string& path) {
    if (path.empty()) {
        ErrorText = "No file name was given";
        return;
    }
    Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        ErrorText = std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ErrorText = S_ISDIR(st.st_mode) ? "Is a folder, not a file" : "Not a regular file";
        ::close(Fd);
        Fd = -1;
        return;
    }
    FileSize = static_cast<uint64_t>(st.st_size);
}

TFileReader::~TFileReader() {
    if (Fd >= 0)
        ::close(Fd);
}

size_t TFileReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (Fd < 0 || offset >= FileSize)
        return 0;
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size) {
        const ssize_t got = ::pread(Fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}
