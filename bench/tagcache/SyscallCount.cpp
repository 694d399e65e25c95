// Counts the file system calls of the whole process by interposing the C library's entry
// points (the executable's definitions win over libc's for every shared library), so the
// benchmark reports what a pass really costs per file rather than what we think it does.
#include "SyscallCount.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>

TSyscallCount SyscallCount;

namespace {

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

mode_t ModeOf(int flags, va_list& args) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    ++SyscallCount.Opens;
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    ++SyscallCount.Opens;
    static const auto next = Next<int (*)(const char*, int, ...)>("open64");
    return next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    ++SyscallCount.Opens;
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
    return next(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    ++SyscallCount.Opens;
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
    return next(dir, path, flags, mode);
}

int close(int fd) {
    ++SyscallCount.Closes;
    static const auto next = Next<int (*)(int)>("close");
    return next(fd);
}

ssize_t read(int fd, void* buffer, size_t size) {
    ++SyscallCount.Reads;
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    return next(fd, buffer, size);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t at) {
    ++SyscallCount.Reads;
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return next(fd, buffer, size, at);
}

ssize_t pread64(int fd, void* buffer, size_t size, off64_t at) {
    ++SyscallCount.Reads;
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    return next(fd, buffer, size, at);
}

off_t lseek(int fd, off_t at, int whence) {
    ++SyscallCount.Others;
    static const auto next = Next<off_t (*)(int, off_t, int)>("lseek");
    return next(fd, at, whence);
}

off64_t lseek64(int fd, off64_t at, int whence) {
    ++SyscallCount.Others;
    static const auto next = Next<off64_t (*)(int, off64_t, int)>("lseek64");
    return next(fd, at, whence);
}

int stat(const char* __restrict path, struct stat* __restrict buffer) {
    ++SyscallCount.Stats;
    static const auto next = Next<int (*)(const char*, struct stat*)>("stat");
    return next(path, buffer);
}

int lstat(const char* __restrict path, struct stat* __restrict buffer) {
    ++SyscallCount.Stats;
    static const auto next = Next<int (*)(const char*, struct stat*)>("lstat");
    return next(path, buffer);
}

int fstat(int fd, struct stat* buffer) {
    ++SyscallCount.Stats;
    static const auto next = Next<int (*)(int, struct stat*)>("fstat");
    return next(fd, buffer);
}

int access(const char* path, int mode) {
    ++SyscallCount.Others;
    static const auto next = Next<int (*)(const char*, int)>("access");
    return next(path, mode);
}

} // extern "C"
